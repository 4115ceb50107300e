// Computed channels 501..520: command texts, reply parsing and a round trip
// through the virtual instrument.
#include "ConfigSupport.h"
#include "channels/CompProcessors.h"
#include "channels/ComputedChannelProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace korda32ex;
using namespace korda::test;

TEST(ComputedChannelCommands, AWholePolynomialChannel) {
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
    setText(c.name, u"AB\"DEFGHIJKL"); // 9 characters kept, then the mark doubled
    setText(c.unit, u"deg\"C");
    c.sourceList[0] = 1; // not a list function: no list command
    ComputedChannelProcessor p(4, 19);
    EXPECT_EQ(joined(commandsOf(p, *r)),
              "CALC:MATH:FUNC POLY,(@520)|CALC:LIM1:STAT LOW,(@520)|"
              "CALC:LIM2:STAT HIGH,(@520)|CALC:SCAL:STAT OFF,(@520)|"
              "CALC:SCAL:STAT OFF,(@520)|CALC:LIM1 2.5,(@520)|CALC:LIM2 1e-07,(@520)|"
              "CALC:MATH:SOUR:ACH (@1),(@520)|"
              "CALC:MATH:COEF 0,1,0.00385,-2.5,1e-07,1.23457e+08, (@520)|"
              "CALC:LIM1:FEED 3, (@520)|CALC:LIM2:FEED 0, (@520)|"
              "CALC:MATH:UNIT \"deg\"\"C\", (@520)|ROUT:CHAN:NAME \"AB\"\"DEFGHI\", (@520)");
}

TEST(ComputedChannelCommands, OperandCommandsFollowTheFunction) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[2];
    c.scaleM = 1;

    c.function = 0x5002;
    c.coefficients[0] = 2;
    c.sourceA = 105;
    CompChannelPolyCoeffProcessor coeff(4, 2);
    EXPECT_EQ(commandsOf(coeff, *r), (CommandList{"CALC:MATH:EXP 2,(@503)"}));
    c.sourceB = 102;
    CompBChannelProcessor b(4, 2);
    EXPECT_TRUE(commandsOf(b, *r).empty());

    c.function = 0x5008;
    CompChannelFunctionProcessor f(4, 2);
    EXPECT_EQ(joined(commandsOf(f, *r)), "CALC:MATH:FUNC ADD,(@503)");
    EXPECT_EQ(joined(commandsOf(b, *r)), "CALC:MATH:SOUR:BCH (@102),(@503)");
    EXPECT_TRUE(commandsOf(coeff, *r).empty());

    c.function = 0x500B;
    c.sourceList[0] = 1u << 0 | 1u << 1;
    c.sourceList[1] = 1u << 4;
    c.sourceList[4] = 1u << 31;
    c.listHasChannel1 = 1;
    CompSelectedChannelsProcessor list(4, 2);
    EXPECT_EQ(commandsOf(list, *r),
              (CommandList{"CALC:MATH:SOUR:LIST (@101,102,205,532,1), (@503)"}));
    CompAChannelProcessor a(4, 2);
    EXPECT_TRUE(commandsOf(a, *r).empty());
    c.sourceList[0] = c.sourceList[1] = c.sourceList[4] = 0;
    c.listHasChannel1 = 2; // only exactly 1 counts
    EXPECT_TRUE(commandsOf(list, *r).empty());
}

TEST(ComputedChannelCommands, NoneForAChannelNotConfiguredOrSwitchedOff) {
    auto r = zeroRecord();
    ComputedChannelRecord& c = r->computed[2];
    c.scaleM = 1;
    setText(c.name, u"N");
    ComputedChannelProcessor whole(4, 2);
    for (const std::uint32_t off : {0u, 0xFFFFFFFFu}) {
        c.function = off;
        c.alarmFlags = 0x1E;
        c.alarm1Output = 1;
        EXPECT_TRUE(commandsOf(whole, *r).empty());
    }
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

TEST(ComputedChannelVirtualInstrument, RoundTrip) {
    SimLink sim;
    ASSERT_EQ(sim.openStatus, 1);
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

    CompositeProcessor all;
    for (int i = 0; i < 20; ++i)
        all.addChild(std::make_shared<ComputedChannelProcessor>(4, i));
    ASSERT_EQ(sim.handler->sendCommands(commandsOf(all, *sent)), 1);
    EXPECT_EQ(sim.instrument.channels.state(503).math.list, (std::vector<int>{101, 102, 205, 1}));
    EXPECT_EQ(sim.instrument.channels.state(501).settings.name, "Sum \"A\"+B");

    // All twenty read back in one exchange under one parent, as the module of
    // the computed channels does: a channel that is not on asks neither its
    // function nor its coefficients, and hands on exactly the lines it asked.
    auto back = zeroRecord();
    const CommandList queries = sim.fetch(all, *back);
    EXPECT_EQ(queries.size(), 5u * 15u + 15u * 13u);
    // What travels; a sent channel's operands only for the functions that have them.
    const auto travelling = [](const ComputedChannelRecord& c, bool sent) {
        const bool usesA = !sent || (c.function >= 0x5000 && c.function <= 0x500A);
        const bool usesB = !sent || (c.function >= 0x5007 && c.function <= 0x500A);
        return std::tuple(c.function, c.alarmFlags, c.alarm1Limit, c.alarm2Limit, c.alarm1Output,
                          c.alarm2Output, c.scaleM, c.scaleB, usesA ? c.sourceA : 0u,
                          usesB ? c.sourceB : 0u,
                          std::vector<double>(c.coefficients, c.coefficients + 6));
    };
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(travelling(back->computed[i], false), travelling(sent->computed[i], true)) << i;
    EXPECT_EQ(back->modules[4].moduleState, 5u);
    EXPECT_EQ(queries[4 * 15], "CALC:LIM1:STAT? (@505)"); // 505 is not on
}
