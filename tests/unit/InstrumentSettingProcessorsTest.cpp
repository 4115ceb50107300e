// The instrument-level setting processors: commands, replies, invalid replies.
#include "config/InstrumentSettingProcessors.h"
#include "ConfigTestSupport.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::commandsOf;
using korda::test::parseWith;
using korda::test::zeroRecord;

namespace {

using Commands = std::vector<std::string>;

TEST(SettingProcessors, ZeroRecordBuildsTheDefaults) {
    auto r = zeroRecord();
    TempConfigProcessor temp;
    DestinationProcessor destination;
    SampleRateProcessor rate;
    ScanCountProcessor count;
    TriggerTypeProcessor source;
    TriggerAutoOrderProcessor order;
    ResumeScanOnPowerProcessor resume;
    DataSecurityProcessor security;
    SourceControlProcessor control;
    AutoRecordingProcessor recording;
    ScanIntervalProcessor interval;
    TotalizerDebounceProcessor debounce;
    TotalizerStartCountProcessor start;
    TotalizerModeProcessor mode;
    TotalizerResetProcessor state;
    Commands all;
    for (IProcessor* p : std::initializer_list<IProcessor*>{
             &temp, &destination, &rate, &count, &source, &order, &resume, &security, &control,
             &recording, &interval, &debounce, &start, &mode, &state}) {
        for (auto& c : commandsOf(*p, *r))
            all.push_back(c);
        EXPECT_EQ(p->responseCount(), 1);
        EXPECT_FALSE(p->isSkipped());
    }
    EXPECT_EQ(all, (Commands{"UNIT:TEMP C", "DATA:LOG:AUTO 0", "RATE FAST", "TRIG:COUN 0",
                             "TRIG:SOUR TIM", "ROUT:SCAN:RES 0", "MEM:LOG:SEC 0", "DATA:LOG:AUTO 0",
                             "TRIG:TIM 0", "TOT:DEB OFF", "TOT:TYPE READ", "TOT:STAT OFF"}));
}

TEST(SettingProcessors, CommandsFollowTheRecord) {
    auto r = zeroRecord();
    r->flags = 0x10 | 0x20 | 0x40 | 0x80;
    r->recordDestination = 2;
    r->triggerCount = 99999;
    r->triggerSource = 3;
    r->autoTriggerOrder = 3;
    r->intervalHours = 1;
    r->intervalMinutes = 2;
    r->intervalSeconds = 5;
    r->totalizerDebounce = 7;
    r->totalizerType = 1;
    r->totalizerState = 1;

    TempConfigProcessor temp;
    EXPECT_EQ(commandsOf(temp, *r), Commands{"UNIT:TEMP F"});
    DestinationProcessor destination;
    EXPECT_EQ(commandsOf(destination, *r), (Commands{"DATA:LOG:AUTO 1", "DATA:LOG:DEST MMEM"}));
    r->recordDestination = 1;
    EXPECT_EQ(commandsOf(destination, *r), (Commands{"DATA:LOG:AUTO 1", "DATA:LOG:DEST MEM"}));
    r->recordDestination = 3;
    EXPECT_EQ(commandsOf(destination, *r), Commands{"DATA:LOG:AUTO 0"});
    AutoRecordingProcessor recording;
    EXPECT_EQ(commandsOf(recording, *r), Commands{"DATA:LOG:AUTO 1"});
    ScanCountProcessor count;
    EXPECT_EQ(commandsOf(count, *r), Commands{"TRIG:COUN 99999"});
    TriggerTypeProcessor source;
    EXPECT_EQ(commandsOf(source, *r), Commands{"TRIG:SOUR AUTO"});
    TriggerAutoOrderProcessor order;
    EXPECT_EQ(commandsOf(order, *r), Commands{"TRIG:AUTO:ORD REV"});
    r->autoTriggerOrder = 1;
    EXPECT_EQ(commandsOf(order, *r), Commands{"TRIG:AUTO:ORD ALT"});
    SourceControlProcessor control;
    EXPECT_EQ(commandsOf(control, *r), Commands{"TRIG:AUTO:CONT 1"});
    ResumeScanOnPowerProcessor resume;
    EXPECT_EQ(commandsOf(resume, *r), Commands{"ROUT:SCAN:RES 1"});
    DataSecurityProcessor security;
    EXPECT_EQ(commandsOf(security, *r), Commands{"MEM:LOG:SEC 1"});
    ScanIntervalProcessor interval;
    EXPECT_EQ(commandsOf(interval, *r), Commands{"TRIG:TIM 3725"});
    TotalizerDebounceProcessor debounce;
    EXPECT_EQ(commandsOf(debounce, *r), Commands{"TOT:DEB ON"});
    TotalizerStartCountProcessor start;
    EXPECT_TRUE(commandsOf(start, *r).empty());
    TotalizerModeProcessor mode;
    EXPECT_EQ(commandsOf(mode, *r), Commands{"TOT:TYPE RRES"});
    TotalizerResetProcessor state;
    EXPECT_EQ(commandsOf(state, *r), Commands{"TOT:STAT ON"});

    // Any source but automatic: no automatic-trigger commands; 7 still means automatic.
    r->triggerSource = 7;
    EXPECT_EQ(commandsOf(source, *r), Commands{"TRIG:SOUR AUTO"});
    EXPECT_TRUE(commandsOf(order, *r).empty());
    EXPECT_TRUE(commandsOf(control, *r).empty());
    // External trigger: the interval is infinite whatever the fields hold.
    r->triggerSource = 1;
    EXPECT_EQ(commandsOf(source, *r), Commands{"TRIG:SOUR EXT"});
    EXPECT_EQ(commandsOf(interval, *r), Commands{"TRIG:TIM INF"});
    r->triggerSource = 2;
    EXPECT_EQ(commandsOf(source, *r), Commands{"TRIG:SOUR ALAR"});
}

TEST(SettingProcessors, ReadingRateDecodingOrder) {
    auto r = zeroRecord();
    SampleRateProcessor rate;
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "RATE FAST"}, {1, "RATE MEDIUM"}, {2, "RATE FAST"}, {3, "RATE SLOW"},
        {4, "RATE FAST"}, {5, "RATE MEDIUM"}, {6, "RATE NPLC"}, {7, "RATE SLOW"}};
    for (const auto& [bits, command] : cases) {
        r->flags = 0xF0 | bits; // the other bits do not matter
        EXPECT_EQ(commandsOf(rate, *r), Commands{command}) << bits;
    }
}

TEST(SettingProcessors, IntervalIsComputedInSixtyFourBits) {
    auto r = zeroRecord();
    r->intervalHours = 0xFFFFFFFF;
    r->intervalMinutes = 0xFFFFFFFF;
    r->intervalSeconds = 0xFFFFFFFF;
    ScanIntervalProcessor interval;
    EXPECT_EQ(commandsOf(interval, *r),
              Commands{"TRIG:TIM " + std::to_string(0xFFFFFFFFull * 3661)});
}

TEST(SettingProcessors, RepliesAreParsedIgnoringCase) {
    auto r = zeroRecord();
    TempConfigProcessor temp;
    EXPECT_TRUE(parseWith(temp, "f", *r).ok);
    EXPECT_EQ(r->flags, 0x10u);
    EXPECT_TRUE(parseWith(temp, "C", *r).ok);
    EXPECT_EQ(r->flags, 0u);

    SampleRateProcessor rate;
    EXPECT_TRUE(parseWith(rate, "slow", *r).ok);
    EXPECT_EQ(r->flags, 3u);
    r->flags = 0;
    EXPECT_TRUE(parseWith(rate, "NPLC", *r).ok);
    EXPECT_EQ(r->flags, 6u);
    r->flags = 0;
    EXPECT_TRUE(parseWith(rate, "Med", *r).ok);
    EXPECT_EQ(r->flags, 1u);
    EXPECT_TRUE(parseWith(rate, "FAST", *r).ok);
    EXPECT_EQ(r->flags, 1u); // fast sets no bit

    DestinationProcessor destination;
    EXPECT_TRUE(parseWith(destination, "mmem", *r).ok);
    EXPECT_EQ(r->recordDestination, 2u);
    EXPECT_TRUE(parseWith(destination, "MEM", *r).ok);
    EXPECT_EQ(r->recordDestination, 1u);
    EXPECT_EQ(r->flags, 1u); // the rate bits are not touched

    TriggerTypeProcessor source;
    EXPECT_TRUE(parseWith(source, "alar", *r).ok);
    EXPECT_EQ(r->triggerSource, 2u);
    TriggerAutoOrderProcessor order;
    EXPECT_TRUE(parseWith(order, "000", *r).ok);
    EXPECT_EQ(r->autoTriggerOrder, 3u);
    EXPECT_TRUE(parseWith(order, "alt", *r).ok);
    EXPECT_EQ(r->autoTriggerOrder, 1u);

    ResumeScanOnPowerProcessor resume;
    DataSecurityProcessor security;
    SourceControlProcessor control;
    EXPECT_TRUE(parseWith(resume, "1", *r).ok);
    EXPECT_TRUE(parseWith(security, "1", *r).ok);
    EXPECT_TRUE(parseWith(control, "1", *r).ok);
    EXPECT_EQ(r->flags, 0xE1u);
    EXPECT_TRUE(parseWith(security, "0", *r).ok);
    EXPECT_EQ(r->flags, 0xC1u);

    AutoRecordingProcessor recording;
    EXPECT_TRUE(parseWith(recording, "0", *r).ok);
    EXPECT_EQ(r->recordDestination, 0u);
    TotalizerModeProcessor mode;
    EXPECT_TRUE(parseWith(mode, "rres", *r).ok);
    EXPECT_EQ(r->totalizerType, 1u);
    TotalizerDebounceProcessor debounce;
    EXPECT_TRUE(parseWith(debounce, "1", *r).ok);
    EXPECT_EQ(r->totalizerDebounce, 1u);
    TotalizerResetProcessor state;
    EXPECT_TRUE(parseWith(state, "1", *r).ok);
    EXPECT_EQ(r->totalizerState, 1u);
    TotalizerStartCountProcessor start;
    EXPECT_TRUE(parseWith(start, "123456", *r).ok);
    EXPECT_EQ(r->totalizerCount, 123456u);
    EXPECT_TRUE(parseWith(start, "lots", *r).ok);
    EXPECT_EQ(r->totalizerCount, 0u);
}

TEST(SettingProcessors, NumbersReadBack) {
    auto r = zeroRecord();
    ScanCountProcessor count;
    EXPECT_TRUE(parseWith(count, "99999", *r).ok);
    EXPECT_EQ(r->triggerCount, 99999u);
    EXPECT_TRUE(parseWith(count, "+12", *r).ok);
    EXPECT_EQ(r->triggerCount, 12u);
    EXPECT_TRUE(parseWith(count, "none", *r).ok); // not a number reads 0
    EXPECT_EQ(r->triggerCount, 0u);
    r->triggerCount = 5;
    for (const char* reply : {"100000", "99999999999999999999999", "-3"}) {
        const auto result = parseWith(count, reply, *r);
        EXPECT_FALSE(result.ok) << reply;
        EXPECT_EQ(result.text, std::string("Invalid response: ") + reply);
        EXPECT_EQ(result.code, -1);
        EXPECT_EQ(r->triggerCount, 5u);
    }

    ScanIntervalProcessor interval;
    EXPECT_TRUE(parseWith(interval, "3725", *r).ok);
    EXPECT_EQ(r->intervalHours, 1u);
    EXPECT_EQ(r->intervalMinutes, 2u);
    EXPECT_EQ(r->intervalSeconds, 5u);
    EXPECT_TRUE(parseWith(interval, "INF", *r).ok);
    EXPECT_EQ(r->intervalHours + r->intervalMinutes + r->intervalSeconds, 0u);
}

TEST(SettingProcessors, UnknownRepliesAreInvalidAndLeaveTheRecord) {
    auto r = zeroRecord();
    r->flags = 0x10;
    r->recordDestination = 2;
    r->triggerSource = 1;
    const auto before = *r;
    TempConfigProcessor temp;
    DestinationProcessor destination;
    SampleRateProcessor rate;
    TriggerTypeProcessor source;
    TriggerAutoOrderProcessor order;
    ResumeScanOnPowerProcessor resume;
    AutoRecordingProcessor recording;
    TotalizerModeProcessor mode;
    TotalizerResetProcessor state;
    const std::pair<IProcessor*, const char*> cases[] = {
        {&temp, "K"},       {&destination, "USB"}, {&destination, "0"}, {&rate, "MEDIUM"},
        {&source, "TIMER"}, {&order, "000 "},      {&resume, "ON"},     {&recording, "2"},
        {&mode, "RESET"},   {&state, ""}};
    for (const auto& [p, reply] : cases) {
        const auto result = parseWith(*p, reply, *r);
        EXPECT_FALSE(result.ok) << reply;
        EXPECT_EQ(result.text, std::string("Invalid response: ") + reply);
        EXPECT_EQ(result.code, -1);
    }
    EXPECT_EQ(std::memcmp(&before, r.get(), sizeof before), 0);
}

} // namespace
