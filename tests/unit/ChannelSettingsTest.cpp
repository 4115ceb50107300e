// Alarms, scaling and the other per-channel settings of analog channels:
// command texts and reply parsing.
#include "SimConnection.h"
#include "channels/ChannelProcessorBase.h"
#include "channels/ChannelSettingProcessors.h"
#include "channels/ThermoColdJunctionProcessor.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::setText;
using korda::test::zeroRecord;

namespace {

CommandList build(IProcessor& p, const VmrInstConfig& r) {
    CommandList out;
    std::string text;
    int code = 0;
    EXPECT_TRUE(p.buildCommands(r, out, text, code));
    return out;
}

struct Parse {
    bool ok;
    std::string text;
    int code;
};

Parse parse(IProcessor& p, const std::string& reply, VmrInstConfig& r) {
    Parse out{false, "", 0};
    out.ok = p.parseResponse(reply, r, out.text, out.code);
    return out;
}

ChannelRecord& channel101(VmrInstConfig& r) {
    return r.modules[0].channels[0];
}

} // namespace

TEST(ChannelSettingsCommands, WholeChannelInChildOrder) {
    ModelCodeScope model(5);
    auto r = zeroRecord();
    r->flags = 0x6; // reading rate NPLC
    ChannelRecord& c = channel101(*r);
    c.function = 1;
    c.range = 23;
    c.alarmFlags = 0x1 | 0x2 | 0x4 | 0x10; // trigger; alarm 1 low and high (low wins); alarm 2 high
    c.alarm1Limit = -1.5;
    c.alarm2Limit = 100;
    c.alarm1Output = 5;  // output 3
    c.alarm2Output = 64; // output 0
    c.scaleM = 2.5;
    c.scaleB = 0;
    c.nplc = 10;
    c.delay = 0.5;
    c.openDetect = 1; // not a thermocouple: not sent
    setText(c.name, u"ABCDEFGHIJKLMNOPQRST");
    setText(c.unit, u"V");
    ChannelProcessor p(0, 0);
    EXPECT_EQ(build(p, *r), (CommandList{
                                "CONF:VOLT (@101)",
                                "VOLT:RANG:AUTO ON,(@101)",
                                "CALC:LIM1:STAT LOW,(@101)",
                                "CALC:LIM2:STAT HIGH,(@101)",
                                "CALC:SCAL:STAT ON,(@101)",
                                "CALC:SCAL:GAIN 2.5, (@101)",
                                "CALC:SCAL:OFFS 0, (@101)",
                                "NPLC 10,(@101)",
                                "ROUT:CHAN:DEL 0.5,(@101)",
                                "CALC:LIM1 -1.5,(@101)",
                                "CALC:LIM2 100,(@101)",
                                "CALC:LIM1:FEED 3, (@101)",
                                "CALC:LIM2:FEED 0, (@101)",
                                "TRIG:ALAR:CHAN (@101)",
                                "ROUT:CHAN:NAME \"ABCDEFGHIJKLMNO\", (@101)",
                                "CALC:SCAL:UNIT \"V\", (@101)",
                            }));
}

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
    CommandList both = build(m, *r);
    for (const auto& s : build(b, *r))
        both.push_back(s);
    EXPECT_EQ(both, (CommandList{"CALC:SCAL:STAT OFF,(@1)", "CALC:SCAL:STAT OFF,(@1)"}));

    // NPLC only for the 5129A with the NPLC reading rate.
    CustomSampleRateProcessor nplc(-1, 1);
    {
        ModelCodeScope model(4);
        EXPECT_TRUE(build(nplc, *r).empty());
    }
    {
        ModelCodeScope model(5);
        EXPECT_EQ(build(nplc, *r), (CommandList{"NPLC 2,(@1)"}));
        r->flags = 0x7; // slow: bits 1 and 2 are both set all the same
        EXPECT_EQ(build(nplc, *r).size(), 1u);
        r->flags = 0x2;
        EXPECT_TRUE(build(nplc, *r).empty());
    }

    // The trigger mark needs one of the alarms.
    ChannelAlarmTriggerProcessor trig(-1, 1);
    c.alarmFlags = 0x1;
    EXPECT_TRUE(build(trig, *r).empty());
    c.alarmFlags = 0x11;
    EXPECT_EQ(build(trig, *r), (CommandList{"TRIG:ALAR:CHAN (@1)"}));

    // Outputs: 0 and above 64 send nothing.
    FirstAlarmIOProcessor out1(-1, 1);
    for (const std::uint32_t v : {0u, 65u, 0xFFFFFFFFu}) {
        c.alarm1Output = v;
        EXPECT_TRUE(build(out1, *r).empty()) << v;
    }
    c.alarm1Output = 0x20;
    EXPECT_EQ(build(out1, *r), (CommandList{"CALC:LIM1:FEED 6, (@1)"}));

    // An empty unit is sent as two quotes; control characters never reach the wire.
    ChannelUnitProcessor unit(-1, 1);
    EXPECT_EQ(build(unit, *r), (CommandList{"CALC:SCAL:UNIT \"\", (@1)"}));
    const VmrChar16 injected[] = {'m', 'V', '\r', '\n', '*', 'R', 'S', 'T', 0x7F, 0};
    std::copy(std::begin(injected), std::end(injected), c.unit);
    EXPECT_EQ(build(unit, *r), (CommandList{"CALC:SCAL:UNIT \"mV*RST\", (@1)"}));

    // A channel that is not on, or whose module is absent, builds nothing.
    ChannelProcessor whole(0, 3);
    ChannelRecord& d = r->modules[0].channels[3];
    d.alarmFlags = 0x1F;
    d.alarm1Output = 1;
    setText(d.name, u"x");
    for (const std::uint32_t off : {0u, 0xFFFFFFFFu}) {
        d.function = off;
        EXPECT_TRUE(build(whole, *r).empty()) << off;
    }
    d.function = 1;
    d.range = 23;
    EXPECT_FALSE(build(whole, *r).empty());
    r->modules[0].moduleState = VMR_MODULE_ABSENT;
    EXPECT_TRUE(build(whole, *r).empty());
}

TEST(ChannelSettingsCommands, ThermocoupleOptions) {
    auto r = zeroRecord();
    ChannelRecord& c = r->modules[1].channels[5]; // channel 206
    c.function = 12;
    c.range = 0x6401;
    ThermoDetectionProcessor odet(1, 5);
    ThermoColdJunctionProcessor rjun(1, 5);
    EXPECT_EQ(build(odet, *r), (CommandList{"TEMP:TC:ODET OFF, (@206)"}));
    c.openDetect = 7;
    EXPECT_EQ(build(odet, *r), (CommandList{"TEMP:TC:ODET ON, (@206)"}));
    EXPECT_EQ(build(rjun, *r), (CommandList{"TEMP:TC:RJUN:TYPE INT, (@206)"}));
    c.refJunction = 1;
    EXPECT_EQ(build(rjun, *r), (CommandList{"TEMP:TC:RJUN:TYPE FIX, (@206)"}));
    c.refJunction = 2;
    EXPECT_EQ(build(rjun, *r), (CommandList{"TEMP:TC:RJUN:TYPE EXT, (@206)"}));
    c.refJunction = 9;
    EXPECT_EQ(build(rjun, *r), (CommandList{"TEMP:TC:RJUN:TYPE INT, (@206)"}));
    c.function = 7;
    EXPECT_TRUE(build(odet, *r).empty());
    EXPECT_TRUE(build(rjun, *r).empty());
}

TEST(ChannelSettingsParse, ReplyForms) {
    auto r = zeroRecord();
    ChannelRecord& c = r->modules[0].channels[0];

    ChannelAlarmTriggerProcessor trig(0, 0);
    EXPECT_TRUE(parse(trig, "101", *r).ok);
    EXPECT_EQ(c.alarmFlags, 1u);
    EXPECT_TRUE(parse(trig, "205", *r).ok);
    EXPECT_EQ(c.alarmFlags, 0u);
    c.alarmFlags = 0x7;
    EXPECT_TRUE(parse(trig, "000", *r).ok);
    EXPECT_EQ(c.alarmFlags, 0x6u);
    for (const char* bad : {"0", "", "NONE"}) {
        const Parse p = parse(trig, bad, *r);
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_EQ(p.text, std::string("Invalid response: ") + bad);
        EXPECT_EQ(p.code, -1);
    }
    ChannelAlarmTriggerProcessor trig1(-1, 1);
    EXPECT_TRUE(parse(trig1, "1", *r).ok);
    EXPECT_EQ(r->channel1.alarmFlags, 1u);

    FirstAlarmFunctionProcessor al1(0, 0);
    SecondAlarmFunctionProcessor al2(0, 0);
    c.alarmFlags = 0;
    EXPECT_TRUE(parse(al1, "LOW", *r).ok);
    EXPECT_TRUE(parse(al2, "high", *r).ok);
    EXPECT_EQ(c.alarmFlags, 0x2u | 0x10u);
    EXPECT_FALSE(parse(al2, "ON", *r).ok);

    FactorMProcessor m(0, 0);
    ChannelDelayProcessor delay(0, 0);
    SecondAlarmLimitProcessor lim2(0, 0);
    CustomSampleRateProcessor nplc(0, 0);
    EXPECT_TRUE(parse(m, "+1.00000000E+00", *r).ok);
    EXPECT_EQ(c.scaleM, 1);
    EXPECT_TRUE(parse(delay, "+2.50000000E-01", *r).ok);
    EXPECT_EQ(c.delay, 0.25);
    EXPECT_TRUE(parse(nplc, "+1.00000000E+02", *r).ok);
    EXPECT_EQ(c.nplc, 100);
    c.alarm2Limit = 3;
    const Parse neg = parse(lim2, "-2.0", *r);
    EXPECT_FALSE(neg.ok);
    EXPECT_EQ(neg.text, "Invalid response: -2.0");
    EXPECT_EQ(neg.code, -1);
    EXPECT_EQ(c.alarm2Limit, 3);

    SecondAlarmIOProcessor out2(0, 0);
    EXPECT_TRUE(parse(out2, "3", *r).ok);
    EXPECT_EQ(c.alarm2Output, 4u);
    EXPECT_FALSE(parse(out2, "40", *r).ok);
    EXPECT_EQ(c.alarm2Output, 4u);

    ThermoDetectionProcessor odet(0, 0);
    EXPECT_TRUE(parse(odet, "on", *r).ok);
    EXPECT_EQ(c.openDetect, 1u);
    EXPECT_TRUE(parse(odet, "OFF", *r).ok);
    EXPECT_EQ(c.openDetect, 0u);
    EXPECT_FALSE(parse(odet, "1", *r).ok);

    ThermoColdJunctionProcessor rjun(0, 0);
    EXPECT_TRUE(parse(rjun, "EXT", *r).ok);
    EXPECT_EQ(c.refJunction, 2u);
    EXPECT_FALSE(parse(rjun, "EXTERNAL", *r).ok);
    EXPECT_EQ(c.refJunction, 2u);

    ChannelNameProcessor name(0, 0);
    ChannelUnitProcessor unit(0, 0);
    EXPECT_TRUE(parse(name, "\"whatever\"", *r).ok);
    EXPECT_TRUE(parse(unit, "garbage", *r).ok);
}
