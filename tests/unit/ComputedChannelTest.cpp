// Computed channels 501..520: command texts, reply parsing and a round trip
// through the virtual instrument.
#include "SimConnection.h"
#include "channels/CompProcessors.h"
#include "channels/ComputedChannelProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace korda32ex;
using korda::test::setText;
using korda::test::SimConnection;
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

} // namespace

TEST(ComputedChannelCommands, AddExampleInChildOrder) {
    auto r = zeroRecord();
    r->computed[0].function = 0x5008;
    r->computed[0].sourceA = 101;
    r->computed[0].sourceB = 102;
    ComputedChannelProcessor p(4, 0);
    EXPECT_EQ(p.number(), 501);
    EXPECT_EQ(p.responseCount(), 15);
    EXPECT_EQ(build(p, *r), (CommandList{
                                "CALC:MATH:FUNC ADD,(@501)",
                                "CALC:LIM1:STAT OFF,(@501)",
                                "CALC:LIM2:STAT OFF,(@501)",
                                "CALC:SCAL:STAT ON,(@501)",
                                "CALC:SCAL:GAIN 0, (@501)",
                                "CALC:SCAL:OFFS 0, (@501)",
                                "CALC:LIM1 0,(@501)",
                                "CALC:LIM2 0,(@501)",
                                "CALC:MATH:SOUR:ACH (@101),(@501)",
                                "CALC:MATH:SOUR:BCH (@102),(@501)",
                                "ROUT:CHAN:NAME \"\", (@501)",
                            }));
}

TEST(ComputedChannelCommands, PolynomialWithAlarmsOutputsAndTexts) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[19];
    c.function = 0x5000;
    c.sourceA = 1;
    c.sourceB = 102; // not an operand of the polynomial
    const double coef[7] = {0, 1, 0.00385, -2.5, 1e-7, 123456789, 99};
    std::copy(coef, coef + 7, c.coefficients);
    c.alarmFlags = 0x2 | 0x4 | 0x10; // alarm 1 low and high: low wins; alarm 2 high
    c.alarm1Limit = 2.5;
    c.alarm2Limit = 1e-7;
    c.alarm1Output = 5;  // bits 0 and 2: output 3
    c.alarm2Output = 64; // none of bits 0..5: output 0
    c.scaleM = 1;
    c.scaleB = 0;
    setText(c.name, u"ABCDEFGHIJKL");
    setText(c.unit, u"degC");
    c.sourceList[0] = 1; // not a list function: no list command
    ComputedChannelProcessor p(4, 19);
    EXPECT_EQ(build(p, *r), (CommandList{
                                "CALC:MATH:FUNC POLY,(@520)",
                                "CALC:LIM1:STAT LOW,(@520)",
                                "CALC:LIM2:STAT HIGH,(@520)",
                                "CALC:SCAL:STAT OFF,(@520)",
                                "CALC:SCAL:STAT OFF,(@520)",
                                "CALC:LIM1 2.5,(@520)",
                                "CALC:LIM2 1e-07,(@520)",
                                "CALC:MATH:SOUR:ACH (@1),(@520)",
                                "CALC:MATH:COEF 0,1,0.00385,-2.5,1e-07,1.23457e+08, (@520)",
                                "CALC:LIM1:FEED 3, (@520)",
                                "CALC:LIM2:FEED 0, (@520)",
                                "CALC:MATH:UNIT \"degC\", (@520)",
                                "ROUT:CHAN:NAME \"ABCDEFGHI\", (@520)",
                            }));
}

TEST(ComputedChannelCommands, OperandsListsAndSwitchedOffChannels) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[2];
    c.scaleM = 1;

    c.function = 0x5002;
    c.coefficients[0] = 2;
    c.sourceA = 105;
    CompChannelPolyCoeffProcessor coeff(4, 2);
    EXPECT_EQ(build(coeff, *r), (CommandList{"CALC:MATH:EXP 2,(@503)"}));
    CompBChannelProcessor b(4, 2);
    EXPECT_TRUE(build(b, *r).empty());

    c.function = 0x5007;
    CompChannelFunctionProcessor f(4, 2);
    EXPECT_EQ(build(f, *r), (CommandList{"CALC:MATH:FUNC SUB,(@503)"}));
    EXPECT_TRUE(build(coeff, *r).empty());

    c.function = 0x500B;
    c.sourceList[0] = 1u << 0 | 1u << 1;
    c.sourceList[1] = 1u << 4;
    c.sourceList[4] = 1u << 31;
    c.listHasChannel1 = 1;
    CompSelectedChannelsProcessor list(4, 2);
    EXPECT_EQ(build(list, *r), (CommandList{"CALC:MATH:SOUR:LIST (@101,102,205,532,1), (@503)"}));
    CompAChannelProcessor a(4, 2);
    EXPECT_TRUE(build(a, *r).empty());
    c.sourceList[0] = c.sourceList[1] = c.sourceList[4] = 0;
    c.listHasChannel1 = 2; // only exactly 1 counts
    EXPECT_TRUE(build(list, *r).empty());

    // Not configured and switched off: nothing at all, the name included.
    ComputedChannelProcessor whole(4, 2);
    for (const std::uint32_t off : {0u, 0xFFFFFFFFu}) {
        c.function = off;
        c.alarmFlags = 0x1E;
        c.alarm1Output = 1;
        EXPECT_TRUE(build(whole, *r).empty());
    }
}

TEST(ComputedChannelParse, ReplyForms) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[1];
    std::memset(c.coefficients, 0, sizeof c.coefficients);

    CompChannelFunctionProcessor f(4, 1);
    Parse p = parse(f, "SUB", *r);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.text, "Invalid response: SUB");
    EXPECT_EQ(p.code, -1);
    EXPECT_TRUE(parse(f, "subt", *r).ok);
    EXPECT_EQ(c.function, 0x5007u);
    EXPECT_EQ(r->modules[4].moduleState, 5u);
    EXPECT_TRUE(parse(f, "SUM", *r).ok);
    EXPECT_EQ(c.function, 0x500Eu);

    CompChannelPolyCoeffProcessor coeff(4, 1);
    c.coefficients[2] = 9;
    EXPECT_TRUE(parse(coeff, "1,2,3", *r).ok);
    EXPECT_EQ(c.coefficients[0], 1);
    EXPECT_EQ(c.coefficients[1], 2);
    EXPECT_EQ(c.coefficients[2], 9);
    EXPECT_TRUE(parse(coeff, "+1.5E+00,x,3,", *r).ok);
    EXPECT_EQ(c.coefficients[0], 1.5);
    EXPECT_EQ(c.coefficients[1], 0);
    EXPECT_EQ(c.coefficients[2], 3);
    c.listHasChannel1 = 77; // the word after the coefficients must stay untouched
    EXPECT_TRUE(parse(coeff, "1,2,3,4,5,6,7,8,9,", *r).ok);
    EXPECT_EQ(c.coefficients[6], 7);
    EXPECT_EQ(c.listHasChannel1, 77u);
    p = parse(coeff, "", *r);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.text, "Invalid response: ");
    EXPECT_EQ(p.code, -1);

    CompAChannelProcessor a(4, 1);
    CompBChannelProcessor b(4, 1);
    EXPECT_TRUE(parse(a, "(@101)", *r).ok);
    EXPECT_EQ(c.sourceA, 101u);
    EXPECT_TRUE(parse(b, "  (@ 205)", *r).ok);
    EXPECT_EQ(c.sourceB, 205u);
    EXPECT_TRUE(parse(a, "1", *r).ok);
    EXPECT_EQ(c.sourceA, 1u);
    EXPECT_TRUE(parse(b, "NONE", *r).ok);
    EXPECT_EQ(c.sourceB, 0u);

    CompFirstAlarmIOProcessor out1(4, 1);
    CompSecondAlarmIOProcessor out2(4, 1);
    EXPECT_TRUE(parse(out1, "3", *r).ok);
    EXPECT_EQ(c.alarm1Output, 4u);
    EXPECT_TRUE(parse(out2, "32", *r).ok);
    EXPECT_EQ(c.alarm2Output, 0x80000000u);
    for (const char* zero : {"NONE", "", "0", "none"}) {
        c.alarm1Output = 9;
        EXPECT_TRUE(parse(out1, zero, *r).ok) << zero;
        EXPECT_EQ(c.alarm1Output, 0u) << zero;
    }
    c.alarm1Output = 9;
    for (const char* bad : {"33", "-1", "4294967297"}) {
        p = parse(out1, bad, *r);
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_EQ(p.text, std::string("Invalid response: ") + bad);
        EXPECT_EQ(p.code, -1);
        EXPECT_EQ(c.alarm1Output, 9u);
    }

    CompFactorMProcessor m(4, 1);
    CompSecondAlarmLimitProcessor lim2(4, 1);
    EXPECT_TRUE(parse(m, "+1.00000000E+00", *r).ok);
    EXPECT_EQ(c.scaleM, 1);
    p = parse(m, "-2.0", *r);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.text, "Invalid response: -2.0");
    EXPECT_EQ(c.scaleM, 1);
    EXPECT_TRUE(parse(lim2, "not a number", *r).ok);
    EXPECT_EQ(c.alarm2Limit, 0);

    CompFirstAlarmFunctionProcessor al1(4, 1);
    CompSecondAlarmFunctionProcessor al2(4, 1);
    c.alarmFlags = 0;
    EXPECT_TRUE(parse(al1, "high", *r).ok);
    EXPECT_TRUE(parse(al2, "LOW", *r).ok);
    EXPECT_TRUE(parse(al2, "OFF", *r).ok);
    EXPECT_EQ(c.alarmFlags, 0x4u | 0x8u);
    EXPECT_FALSE(parse(al1, "MID", *r).ok);

    // Names, units and lists are accepted and dropped.
    CompNameProcessor name(4, 1);
    CompUnitProcessor unit(4, 1);
    CompSelectedChannelsProcessor list(4, 1);
    const auto before = *r;
    EXPECT_TRUE(parse(name, "\"anything\"", *r).ok);
    EXPECT_TRUE(parse(unit, "", *r).ok);
    EXPECT_TRUE(parse(list, "(@101)", *r).ok);
    EXPECT_EQ(std::memcmp(&before, r.get(), sizeof before), 0);
}

TEST(ComputedChannelVirtualInstrument, RoundTrip) {
    SimConnection sim;
    ASSERT_EQ(sim.openStatus(), 1);
    auto sent = zeroRecord();
    for (auto& c : sent->computed)
        c.scaleM = 1;

    ComputedChannelRecord& add = sent->computed[0];
    add.function = 0x5008;
    add.sourceA = 101;
    add.sourceB = 102;
    add.alarmFlags = 0x4;
    add.alarm1Limit = 5.5;
    add.alarm1Output = 4;
    add.scaleM = 2;
    add.scaleB = 0.5;
    setText(add.name, u"Sum \"A\"+B");

    ComputedChannelRecord& poly = sent->computed[1];
    poly.function = 0x5000;
    poly.sourceA = 1;
    const double coef[6] = {0.5, 1, 2, 3, 4, 1e-05};
    std::copy(coef, coef + 6, poly.coefficients);
    poly.alarmFlags = 0x8;
    poly.alarm2Limit = 0.001;
    poly.alarm2Output = 1;
    setText(poly.unit, u"mV");

    ComputedChannelRecord& aver = sent->computed[2];
    aver.function = 0x500B;
    aver.sourceList[0] = 0x3;
    aver.sourceList[1] = 0x10;
    aver.listHasChannel1 = 1;

    ComputedChannelRecord& pow = sent->computed[3];
    pow.function = 0x5002;
    pow.sourceA = 222;
    pow.coefficients[0] = 2;

    ComputedChannelRecord& sub = sent->computed[19];
    sub.function = 0x5007;
    sub.sourceA = 101;
    sub.sourceB = 1;
    sub.alarmFlags = 0x2 | 0x10;
    sub.alarm1Output = 2;

    CommandList commands;
    std::string text;
    int code = 0;
    for (int i = 0; i < 20; ++i) {
        ComputedChannelProcessor p(4, i);
        ASSERT_TRUE(p.buildCommands(*sent, commands, text, code));
    }
    ASSERT_EQ(sim.handler().sendCommands(commands), 1);
    EXPECT_EQ(sim.instrument().channels.state(503).math.list, (std::vector<int>{101, 102, 205, 1}));
    EXPECT_EQ(sim.instrument().channels.state(501).settings.name, "Sum \"A\"+B");

    // All twenty read back in one exchange under one parent, as the module of
    // the computed channels does: a channel that is not on asks neither its
    // function nor its coefficients, and hands on exactly the lines it asked.
    CompositeProcessor all;
    for (int i = 0; i < 20; ++i)
        all.addChild(std::make_shared<ComputedChannelProcessor>(4, i));
    auto back = zeroRecord();
    CommandList queries;
    ASSERT_TRUE(sim.readBack(all, *back, text, code, &queries)) << text;
    EXPECT_EQ(queries.size(), 5u * 15u + 15u * 13u);
    EXPECT_EQ(all.responseCount(), static_cast<int>(queries.size()));
    for (int i = 0; i < 20; ++i) {
        const ComputedChannelRecord& s = sent->computed[i];
        const ComputedChannelRecord& b = back->computed[i];
        EXPECT_EQ(b.function, s.function) << i;
        EXPECT_EQ(b.alarmFlags, s.alarmFlags) << i;
        EXPECT_EQ(b.alarm1Limit, s.alarm1Limit) << i;
        EXPECT_EQ(b.alarm2Limit, s.alarm2Limit) << i;
        EXPECT_EQ(b.alarm1Output, s.alarm1Output) << i;
        EXPECT_EQ(b.alarm2Output, s.alarm2Output) << i;
        EXPECT_EQ(b.scaleM, s.scaleM) << i;
        EXPECT_EQ(b.scaleB, s.scaleB) << i;
        const bool usesA = s.function >= 0x5000 && s.function <= 0x500A;
        const bool usesB = s.function >= 0x5007 && s.function <= 0x500A;
        EXPECT_EQ(b.sourceA, usesA ? s.sourceA : 0u) << i;
        EXPECT_EQ(b.sourceB, usesB ? s.sourceB : 0u) << i;
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(b.coefficients[k], s.coefficients[k]) << i << "/" << k;
    }
    EXPECT_EQ(back->modules[4].moduleState, 5u);
    EXPECT_EQ(queries[4 * 15], "CALC:LIM1:STAT? (@505)"); // 505 is not on
}
