// The processors of a configuration record: the parse of the instrument's
// replies into each field, the text of names and units, the record's
// addressing and the composite rules. Their command texts are the cases of
// golden/commands-*.txt (CommandTranscriptTest.cpp).
#include "ConfigSupport.h"
#include "channels/ChannelProcessor.h"
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "channels/CompProcessors.h"
#include "channels/ComputedChannelProcessor.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include <tuple>

using namespace korda32ex;
using namespace korda::test;

namespace {

TEST(ChannelParse, FunctionWords) {
    auto r = zeroRecord();
    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    ChannelFunctionProcessor function(1, 4);
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"\"VOLT\"", 1},      {"\"volt:ac\"", 2},    {"\"CURR\"", 3},      {"\"CURR:AC\"", 4},
        {"\"RES\"", 5},       {"\"FRES\"", 6},       {"\"TEMP RTD\"", 7},  {"\"TEMP TRTD\"", 8},
        {"\"TEMP FRTD\"", 9}, {"\"TEMP THER\"", 10}, {"\"TEMP FTH\"", 11}, {"\"Temp Tc\"", 12},
        {"\"FREQ\"", 13}};
    for (const auto& [reply, code] : cases) {
        EXPECT_TRUE(parseWith(function, reply, *r).ok) << reply;
        EXPECT_EQ(r->modules[1].channels[4].function, code) << reply;
    }
    EXPECT_EQ(r->modules[1].moduleState, 2u); // a channel read back marks its module present

    r->modules[1].channels[4].function = 6;
    for (const char* reply : {"VOLT", "\"VOLT:DC\"", "\"TEMP\"", ""})
        EXPECT_TRUE(rejects(function, reply, *r));
    EXPECT_EQ(r->modules[1].channels[4].function, 6u);
}

TEST(ChannelParse, RangeRepliesBecomeRangeOrSensorCodes) {
    auto r = zeroRecord();
    ChannelRangeProcessor range(0, 0);
    ChannelRecord& ch = r->modules[0].channels[0];
    struct Case {
        std::uint32_t function;
        const char* reply;
        std::uint32_t code;
    };
    const Case cases[] = {{1, "+1.00000000E+01", 18},
                          {2, "150", 37},
                          {3, "0.5", 48},
                          {6, "garbage", 1},
                          {7, "a392", 82},
                          {9, "PT100", 81},
                          {10, "RPOL", 100},
                          {12, "X", 0x6F01},
                          {13, "+1.0", 0},
                          {0, "1", 0}};
    for (const auto& c : cases) {
        ch.function = c.function;
        ch.range = 12345;
        EXPECT_TRUE(parsesTo(range, c.reply, *r, ch.range, c.code)) << c.function;
    }
    ch.function = 1;
    EXPECT_TRUE(rejects(range, "-1.00000000E+01", *r));
}

TEST(ChannelSettingsParse, ReplyForms) {
    auto r = zeroRecord();
    ChannelRecord& c = r->modules[0].channels[0];

    ChannelAlarmTriggerProcessor trig(0, 0);
    EXPECT_TRUE(parsesTo(trig, "101", *r, c.alarmFlags, 1));
    c.alarmFlags = 0x7;
    EXPECT_TRUE(parsesTo(trig, "000", *r, c.alarmFlags, 0x6));
    EXPECT_TRUE(rejects(trig, "NONE", *r));

    FirstAlarmFunctionProcessor al1(0, 0);
    SecondAlarmFunctionProcessor al2(0, 0);
    c.alarmFlags = 0;
    EXPECT_TRUE(parsesTo(al1, "LOW", *r, c.alarmFlags, 0x2));
    EXPECT_TRUE(parsesTo(al2, "high", *r, c.alarmFlags, 0x12));
    EXPECT_TRUE(rejects(al2, "ON", *r));

    ChannelDelayProcessor delay(0, 0);
    SecondAlarmLimitProcessor lim2(0, 0);
    EXPECT_TRUE(parsesTo(delay, "+2.50000000E-01", *r, c.delay, 0.25));
    c.alarm2Limit = 3;
    EXPECT_TRUE(rejects(lim2, "-2.0", *r));

    SecondAlarmIOProcessor out2(0, 0);
    EXPECT_TRUE(parsesTo(out2, "3", *r, c.alarm2Output, 4));
    EXPECT_TRUE(rejects(out2, "40", *r));

    ThermoDetectionProcessor odet(0, 0);
    EXPECT_TRUE(parsesTo(odet, "on", *r, c.openDetect, 1));
    EXPECT_TRUE(rejects(odet, "1", *r));

    ThermoColdJunctionProcessor rjun(0, 0);
    EXPECT_TRUE(parsesTo(rjun, "EXT", *r, c.refJunction, 2));
    EXPECT_TRUE(rejects(rjun, "EXTERNAL", *r));

    ChannelNameProcessor name(0, 0); // names are accepted and dropped
    EXPECT_TRUE(parsesTo(name, "\"whatever\"", *r, c.name[0], 0));
}

// The text a name or unit field gives in a command, at most maxBytes long.
std::string text(const std::u16string& s, std::size_t maxBytes) {
    VmrChar16 field[VMR_TEXT_UNITS] = {};
    std::copy(s.begin(), s.end(), field);
    return channelrules::commandText(field, maxBytes);
}

TEST(ChannelText, ClassicLocale) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text(std::u16string(20, u'x'), 15), std::string(15, 'x'));
    EXPECT_EQ(text(u"caf\u00e9", 15), "caf\xe9"); // bytes 0x80-0xFF map one to one
    EXPECT_EQ(text(u"5 \u20ac", 15), "");         // not expressible: sent empty
    EXPECT_EQ(text(u"a\"b", 15), "a\"b");         // quotes are not escaped
    EXPECT_EQ(text(u"a\tb\u007fc\u0001", 15), "abc");

    // A field without terminator is read to its 256 units and no further.
    VmrChar16 full[VMR_TEXT_UNITS + 1];
    std::fill(std::begin(full), std::end(full), VmrChar16('y'));
    full[VMR_TEXT_UNITS] = 0x20AC; // would make the text inconvertible if it were read
    EXPECT_EQ(channelrules::commandText(full, 1000), std::string(VMR_TEXT_UNITS, 'y'));
}

TEST(ChannelText, Utf8LocaleAndDecimalComma) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_EQ(text(u"\u20acuro", 15), "\xe2\x82\xacuro");
    // Never cut inside a character: 8 + 2 bytes do not fit in 9.
    EXPECT_EQ(text(u"abcdefgh\u00e9", 9), "abcdefgh");
    EXPECT_EQ(text(u"abcdefg\u00e9", 9), "abcdefg\xc3\xa9");
    EXPECT_EQ(text(u"\U0001F600", 15), "\xf0\x9f\x98\x80"); // surrogate pair
    EXPECT_EQ(text({u'a', 0xD800, u'b'}, 15), "");          // a lone surrogate cannot be converted

    // Numbers stay in the classic form whatever the locale.
    auto r = zeroRecord();
    r->channel1.function = 1;
    r->channel1.delay = 0.125;
    ChannelDelayProcessor delay(-1, 1);
    EXPECT_EQ(joined(commandsOf(delay, *r)), "ROUT:CHAN:DEL 0.125,(@1)");
    FactorBProcessor b(-1, 1);
    EXPECT_TRUE(parsesTo(b, "+1.25000000E+00", *r, r->channel1.scaleB, 1.25));
}

TEST(ComputedChannelParse, ReplyForms) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[1];

    CompChannelFunctionProcessor f(4, 1);
    EXPECT_TRUE(parseWith(f, "subt", *r).ok);
    EXPECT_EQ(c.function, 0x5007u);
    EXPECT_EQ(r->modules[4].moduleState, 5u); // a computed channel read back marks its area
    EXPECT_TRUE(rejects(f, "SUB", *r));

    CompChannelPolyCoeffProcessor coeff(4, 1);
    const auto coefficients = [&] {
        return std::vector<double>(c.coefficients, c.coefficients + 7);
    };
    EXPECT_TRUE(parseWith(coeff, "+1.5E+00,x,3,", *r).ok);
    EXPECT_EQ(coefficients(), (std::vector<double>{1.5, 0, 3, 0, 0, 0, 0}));
    c.listHasChannel1 = 77; // the word after the coefficients must stay untouched
    EXPECT_TRUE(parseWith(coeff, "1,2,3,4,5,6,7,8,9,", *r).ok);
    EXPECT_EQ(coefficients(), (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(c.listHasChannel1, 77u);
    EXPECT_TRUE(rejects(coeff, "", *r));

    CompAChannelProcessor a(4, 1);
    CompBChannelProcessor b(4, 1);
    EXPECT_TRUE(parsesTo(a, "  (@ 205)", *r, c.sourceA, 205));
    EXPECT_TRUE(parsesTo(b, "NONE", *r, c.sourceB, 0));

    CompFirstAlarmIOProcessor out1(4, 1);
    CompSecondAlarmIOProcessor out2(4, 1);
    EXPECT_TRUE(parsesTo(out1, "3", *r, c.alarm1Output, 4));
    EXPECT_TRUE(parsesTo(out2, "32", *r, c.alarm2Output, 0x80000000u));
    EXPECT_TRUE(parsesTo(out1, "NONE", *r, c.alarm1Output, 0));
    for (const char* bad : {"33", "-1", "4294967297"})
        EXPECT_TRUE(rejects(out1, bad, *r));

    CompFactorMProcessor m(4, 1);
    CompSecondAlarmLimitProcessor lim2(4, 1);
    EXPECT_TRUE(rejects(m, "-2.0", *r));
    c.alarm2Limit = 4;
    EXPECT_TRUE(parsesTo(lim2, "not a number", *r, c.alarm2Limit, 0));

    CompFirstAlarmFunctionProcessor al1(4, 1);
    CompSecondAlarmFunctionProcessor al2(4, 1);
    c.alarmFlags = 0;
    EXPECT_TRUE(parsesTo(al1, "high", *r, c.alarmFlags, 0x4));
    EXPECT_TRUE(parsesTo(al2, "LOW", *r, c.alarmFlags, 0xC));
    EXPECT_TRUE(rejects(al1, "MID", *r));

    // Names and lists are accepted and dropped.
    CompNameProcessor name(4, 1);
    CompSelectedChannelsProcessor list(4, 1);
    EXPECT_TRUE(parsesTo(name, "\"anything\"", *r, c.name[0], 0));
    EXPECT_TRUE(parsesTo(list, "(@101)", *r, c.sourceList[0], 0));
}

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

TEST(RecordAccess, AddressesStayInsideTheRecord) {
    EXPECT_EQ(channelNumber(kComputedSlot, 19), 520);
    auto r = zeroRecord();
    EXPECT_EQ(channelRecord(*r, 5, 21), &r->modules[5].channels[21]);
    EXPECT_EQ(computedRecord(*r, 19), &r->computed[19]);
    for (const auto& [slot, index] : {std::pair{6, 0}, {0, 22}, {-2, 0}})
        EXPECT_EQ(channelRecord(*r, slot, index), nullptr);
    EXPECT_EQ(computedRecord(*r, 20), nullptr);
    EXPECT_EQ(computedRecord(*r, -1), nullptr);

    // Three-digit numbers map back to area and index; nothing else does.
    int area = -1, index = -1;
    ASSERT_TRUE(channelFromNumber(322, area, index));
    EXPECT_EQ(area * 100 + index, 221);
    for (const int n : {1, 1000, 100, 123, 700})
        EXPECT_FALSE(channelFromNumber(n, area, index)) << n;

    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    EXPECT_TRUE(modulePresent(*r, 0)); // state 0 counts as present
    EXPECT_FALSE(modulePresent(*r, 1));
    EXPECT_TRUE(modulePresent(*r, -1)); // channel 1 is always there
    EXPECT_FALSE(modulePresent(*r, 6));
}

// The pieces takeReplyLines hands out for the given line counts, in turn.
std::vector<std::string> take(const std::string& text, std::initializer_list<int> counts) {
    std::vector<std::string> out;
    std::size_t cursor = 0;
    for (const int n : counts)
        out.push_back(takeReplyLines(text, cursor, n));
    EXPECT_LE(cursor, text.size());
    return out;
}

TEST(ReplyLines, EndingsOfEveryKind) {
    using V = std::vector<std::string>;
    // Single lines come without their ending; when the text runs out, what was collected.
    EXPECT_EQ(take("a\r\nb\n\rc\rd\ne", {1, 1, 1, 1, 1, 1}), (V{"a", "b", "c", "d", "e", ""}));
    // "\r\r" and "\n\n" are two endings: the second ends an empty line.
    EXPECT_EQ(take("x\n\ny", {1, 1, 1}), (V{"x", "", "y"}));
    // Several lines come each ended by CR LF.
    EXPECT_EQ(take("one\ntwo\r\nthree\nfour", {2, 3}), (V{"one\r\ntwo\r\n", "three\r\nfour"}));
}

// A child of one line that records what it was handed and can be told to fail.
class RecordingChild : public IProcessor {
  public:
    explicit RecordingChild(bool fails = false) : fails_(fails) {}
    bool buildCommands(const VmrInstConfig&, CommandList& c, std::string& t, int& e) override {
        c.push_back("C");
        return fails_ ? invalidResponse("refused", t, e) : true;
    }
    bool parseResponse(const std::string& reply, VmrInstConfig&, std::string& t, int& e) override {
        received.push_back(reply);
        return fails_ ? invalidResponse(reply, t, e) : true;
    }
    bool buildQueries(CommandList& q, SCPIHandler*) override {
        q.push_back("Q");
        return !fails_;
    }
    std::vector<std::string> received;

  private:
    bool fails_;
};

TEST(CompositeProcessor, StopsAtTheFirstFailingChild) {
    CompositeProcessor composite;
    auto good = std::make_shared<RecordingChild>();
    auto bad = std::make_shared<RecordingChild>(true);
    auto after = std::make_shared<RecordingChild>();
    for (const auto& c : {good, bad, after})
        composite.addChild(c);

    auto r = zeroRecord();
    CommandList commands;
    std::string text;
    int code = 0;
    EXPECT_FALSE(composite.buildCommands(*r, commands, text, code));
    EXPECT_EQ(commands, (CommandList{"C", "C"}));
    EXPECT_EQ(std::pair(text, code), std::pair(std::string("Invalid response: refused"), -1));

    CommandList queries;
    EXPECT_FALSE(composite.buildQueries(queries, nullptr));
    EXPECT_EQ(queries.size(), 2u);

    EXPECT_FALSE(composite.parseResponse("x\ny\nz\n", *r, text, code));
    EXPECT_EQ(std::pair(text, code), std::pair(std::string("Invalid response: y"), -1));
    EXPECT_EQ(good->received, std::vector<std::string>{"x"});
    EXPECT_TRUE(after->received.empty());
}

} // namespace
