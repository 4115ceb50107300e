// Alarms, scaling, texts and the other per-channel settings of analog
// channels: command texts and reply parsing.
#include "ConfigSupport.h"
#include "TestSupport.h"
#include "channels/ChannelProcessor.h"
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace korda32ex;
using namespace korda::test;

namespace {

// The text a name or unit field gives in a command, at most maxBytes long.
std::string text(const std::u16string& s, std::size_t maxBytes) {
    VmrChar16 field[VMR_TEXT_UNITS] = {};
    std::copy(s.begin(), s.end(), field);
    return channelrules::commandText(field, maxBytes);
}

// A whole channel in the order of its children is in the golden command lists.
TEST(ChannelSettingsCommands, ConditionsOfEachSetting) {
    auto r = zeroRecord();
    ChannelRecord& c = r->channel1;
    c.function = 5;
    c.scaleM = 1;
    c.nplc = 2;
    r->flags = 0x6;

    // Scaling off: the off state from both processors.
    FactorMProcessor m(-1, 1);
    FactorBProcessor b(-1, 1);
    EXPECT_EQ(joined(commandsOf(m, *r)) + joined(commandsOf(b, *r)),
              "CALC:SCAL:STAT OFF,(@1)CALC:SCAL:STAT OFF,(@1)");

    // NPLC only for the 5129A with the NPLC reading rate (slow sets bits 1 and 2 too).
    CustomSampleRateProcessor nplc(-1, 1);
    const std::tuple<int, std::uint32_t, const char*> rates[] = {
        {4, 0x6, ""}, {5, 0x7, "NPLC 2,(@1)"}, {5, 0x2, ""}};
    for (const auto& [model, flags, expected] : rates) {
        ModelCodeScope scope(model);
        r->flags = flags;
        EXPECT_EQ(joined(commandsOf(nplc, *r)), expected) << model << " " << flags;
    }

    // The trigger mark needs one of the alarms.
    ChannelAlarmTriggerProcessor trig(-1, 1);
    c.alarmFlags = 0x1;
    EXPECT_TRUE(commandsOf(trig, *r).empty());
    c.alarmFlags = 0x11;
    EXPECT_EQ(joined(commandsOf(trig, *r)), "TRIG:ALAR:CHAN (@1)");

    // Outputs: 0 and above 64 send nothing.
    FirstAlarmIOProcessor out1(-1, 1);
    for (const std::uint32_t v : {0u, 65u}) {
        c.alarm1Output = v;
        EXPECT_TRUE(commandsOf(out1, *r).empty()) << v;
    }
    c.alarm1Output = 0x20;
    EXPECT_EQ(joined(commandsOf(out1, *r)), "CALC:LIM1:FEED 6, (@1)");
    c.alarm1Output = 64; // none of outputs 1-6: output 0
    EXPECT_EQ(joined(commandsOf(out1, *r)), "CALC:LIM1:FEED 0, (@1)");

    // An alarm both low and high is low.
    FirstAlarmFunctionProcessor al1(-1, 1);
    c.alarmFlags = 0x2 | 0x4;
    EXPECT_EQ(joined(commandsOf(al1, *r)), "CALC:LIM1:STAT LOW,(@1)");

    // An empty unit is sent as two quotes; control characters never reach the wire.
    ChannelUnitProcessor unit(-1, 1);
    EXPECT_EQ(joined(commandsOf(unit, *r)), "CALC:SCAL:UNIT \"\", (@1)");
    setText(c.unit, u"mV\r\n*RST\x7f");
    EXPECT_EQ(joined(commandsOf(unit, *r)), "CALC:SCAL:UNIT \"mV*RST\", (@1)");

    // A quotation mark is doubled, so a name cannot end its string and start
    // another command; the limits count the characters given.
    ChannelNameProcessor name(-1, 1);
    setText(c.name, u"a\";*RST;\"");
    EXPECT_EQ(joined(commandsOf(name, *r)), "ROUT:CHAN:NAME \"a\"\";*RST;\"\"\", (@1)");
    setText(c.name, std::u16string(20, u'"'));
    EXPECT_EQ(joined(commandsOf(name, *r)),
              "ROUT:CHAN:NAME \"" + std::string(30, '"') + "\", (@1)");
    setText(c.unit, std::u16string(12, u'"'));
    EXPECT_EQ(joined(commandsOf(unit, *r)),
              "CALC:SCAL:UNIT \"" + std::string(18, '"') + "\", (@1)");
    // The instrument takes the name as it was given.
    SimLink link;
    setText(c.name, u"a\";*RST;\"");
    ASSERT_EQ(link.handler->sendCommands(commandsOf(name, *r)), 1);
    EXPECT_EQ(ask(link.instrument, "ROUT:CHAN:NAME? (@1)"), "\"a\"\";*RST;\"\"\"");

    // Thermocouple options only for thermocouples.
    ChannelRecord& tc = r->modules[1].channels[5]; // channel 206
    tc.function = 12;
    tc.range = 0x6401;
    ThermoDetectionProcessor odet(1, 5);
    ThermoColdJunctionProcessor rjun(1, 5);
    tc.openDetect = 7;
    tc.refJunction = 9; // not a junction type: internal
    EXPECT_EQ(joined(commandsOf(odet, *r)) + joined(commandsOf(rjun, *r)),
              "TEMP:TC:ODET ON, (@206)TEMP:TC:RJUN:TYPE INT, (@206)");
    tc.function = 7;
    EXPECT_TRUE(commandsOf(odet, *r).empty());
    EXPECT_TRUE(commandsOf(rjun, *r).empty());

    // A channel that is not on, or whose module is absent, builds nothing.
    ChannelProcessor whole(0, 3);
    ChannelRecord& d = r->modules[0].channels[3];
    d.alarmFlags = 0x1F;
    d.alarm1Output = 1;
    setText(d.name, u"x");
    for (const std::uint32_t off : {0u, 0xFFFFFFFFu}) {
        d.function = off;
        EXPECT_TRUE(commandsOf(whole, *r).empty()) << off;
    }
    d.function = 1;
    d.range = 23;
    EXPECT_FALSE(commandsOf(whole, *r).empty());
    r->modules[0].moduleState = VMR_MODULE_ABSENT;
    EXPECT_TRUE(commandsOf(whole, *r).empty());
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

} // namespace
