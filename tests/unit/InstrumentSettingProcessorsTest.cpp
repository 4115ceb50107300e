// The instrument-level setting processors: commands, replies, invalid replies.
#include "config/InstrumentSettingProcessors.h"
#include "ConfigSupport.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using namespace korda::test;

namespace {

// One of each instrument-level setting processor.
struct Settings {
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
};

TEST(SettingProcessors, CommandsFollowTheRecord) {
    Settings s;
    auto r = zeroRecord();
    std::string defaults;
    for (IProcessor* p : std::initializer_list<IProcessor*>{
             &s.temp, &s.destination, &s.rate, &s.count, &s.source, &s.order, &s.resume,
             &s.security, &s.control, &s.recording, &s.interval, &s.debounce, &s.start, &s.mode,
             &s.state})
        defaults += joined(commandsOf(*p, *r)) + "|";
    EXPECT_EQ(defaults, "UNIT:TEMP C|DATA:LOG:AUTO 0|RATE FAST|TRIG:COUN 0|TRIG:SOUR TIM||"
                        "ROUT:SCAN:RES 0|MEM:LOG:SEC 0||DATA:LOG:AUTO 0|TRIG:TIM 0|TOT:DEB OFF||"
                        "TOT:TYPE READ|TOT:STAT OFF|");

    // The set forms of every setting are in the golden command lists; here
    // the extremes and the codes those lists do not use.
    r->triggerCount = 99999;
    r->triggerSource = 3;
    r->autoTriggerOrder = 3;
    EXPECT_EQ(joined(commandsOf(s.count, *r)), "TRIG:COUN 99999");
    EXPECT_EQ(joined(commandsOf(s.order, *r)), "TRIG:AUTO:ORD REV");
    r->recordDestination = 3;
    EXPECT_EQ(joined(commandsOf(s.destination, *r)), "DATA:LOG:AUTO 0");
    // Any source but automatic: no automatic-trigger commands; 7 still means automatic.
    r->triggerSource = 7;
    EXPECT_EQ(joined(commandsOf(s.source, *r)), "TRIG:SOUR AUTO");
    EXPECT_TRUE(commandsOf(s.order, *r).empty());
    EXPECT_TRUE(commandsOf(s.control, *r).empty());
    // External trigger: the interval is infinite whatever the fields hold.
    r->triggerSource = 1;
    EXPECT_EQ(joined(commandsOf(s.source, *r)), "TRIG:SOUR EXT");
    EXPECT_EQ(joined(commandsOf(s.interval, *r)), "TRIG:TIM INF");

    // The interval is computed in 64 bits.
    r->triggerSource = 0;
    r->intervalHours = r->intervalMinutes = r->intervalSeconds = 0xFFFFFFFF;
    EXPECT_EQ(joined(commandsOf(s.interval, *r)),
              "TRIG:TIM " + std::to_string(0xFFFFFFFFull * 3661));

    // The reading rate is decoded from the low three bits; the others do not matter.
    const char* rates[] = {"FAST", "MEDIUM", "FAST", "SLOW", "FAST", "MEDIUM", "NPLC", "SLOW"};
    for (std::uint32_t bits = 0; bits < 8; ++bits) {
        r->flags = 0xF0 | bits;
        EXPECT_EQ(joined(commandsOf(s.rate, *r)), std::string("RATE ") + rates[bits]) << bits;
    }
}

TEST(SettingProcessors, RepliesChangeOnlyTheirOwnField) {
    Settings s;
    using Field = std::uint32_t VmrInstConfig::*;
    const Field flags = &VmrInstConfig::flags;
    struct Case {
        IProcessor* p;
        const char* reply;
        Field field;
        std::uint32_t before, after;
    };
    const Case cases[] = {
        {&s.temp, "f", flags, 0x01, 0x11},
        {&s.rate, "slow", flags, 0x10, 0x13},
        {&s.rate, "Med", flags, 0, 1},
        {&s.rate, "FAST", flags, 1, 1}, // fast sets no bit
        {&s.destination, "mmem", &VmrInstConfig::recordDestination, 0, 2},
        {&s.recording, "0", &VmrInstConfig::recordDestination, 2, 0},
        {&s.source, "alar", &VmrInstConfig::triggerSource, 0, 2},
        {&s.order, "000", &VmrInstConfig::autoTriggerOrder, 0, 3},
        {&s.resume, "1", flags, 0x01, 0x81},
        {&s.security, "0", flags, 0xE1, 0xC1},
        {&s.control, "1", flags, 0x01, 0x41},
        {&s.mode, "rres", &VmrInstConfig::totalizerType, 0, 1},
        {&s.start, "123456", &VmrInstConfig::totalizerCount, 0, 123456},
        {&s.start, "lots", &VmrInstConfig::totalizerCount, 5, 0},
        {&s.count, "none", &VmrInstConfig::triggerCount, 5, 0}, // not a number reads 0
    };
    auto r = zeroRecord();
    for (const auto& c : cases) {
        (*r).*c.field = c.before;
        EXPECT_TRUE(parsesTo(*c.p, c.reply, *r, (*r).*c.field, c.after));
    }

    EXPECT_TRUE(parseWith(s.interval, "3725", *r).ok);
    EXPECT_EQ(std::tuple(r->intervalHours, r->intervalMinutes, r->intervalSeconds),
              std::tuple(1u, 2u, 5u));
    EXPECT_TRUE(parseWith(s.interval, "INF", *r).ok);
    EXPECT_EQ(r->intervalHours + r->intervalMinutes + r->intervalSeconds, 0u);
}

TEST(SettingProcessors, AnUnknownReplyIsRefusedLeavingTheRecord) {
    Settings s;
    auto r = zeroRecord();
    r->flags = 0x10;
    r->recordDestination = 2;
    r->triggerSource = 1;
    r->triggerCount = 5;
    const std::pair<IProcessor*, const char*> cases[] = {
        {&s.temp, "K"},    {&s.destination, "USB"}, {&s.rate, "MEDIUM"},  {&s.order, "000 "},
        {&s.resume, "ON"}, {&s.state, ""},          {&s.count, "100000"}, {&s.count, "-3"}};
    for (const auto& [p, reply] : cases)
        EXPECT_TRUE(rejects(*p, reply, *r));
}

} // namespace
