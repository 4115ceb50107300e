// Analog channel alarms, scaling and the other per-channel settings sent to
// the virtual instrument and read back.
#include "SimConnection.h"
#include "channels/ChannelProcessorBase.h"
#include "channels/ChannelSettingProcessors.h"
#include "channels/ThermoColdJunctionProcessor.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::setText;
using korda::test::SimConnection;
using korda::test::zeroRecord;

TEST(ChannelSettingsVirtualInstrument, RoundTrip) {
    SimConnection sim(korda::sim::Model::M5129A);
    ASSERT_EQ(sim.openStatus(), 1);
    ModelCodeScope model(5);
    auto sent = zeroRecord();
    sent->flags = 0x6; // reading rate NPLC: the integration time of each channel is sent

    ChannelRecord& one = sent->channel1;
    one.function = 1;
    one.range = 23;
    one.scaleM = 1;
    one.nplc = 1;

    ChannelRecord& inlet = sent->modules[0].channels[0]; // 101
    inlet.function = 1;
    inlet.range = 18;
    inlet.alarmFlags = 0x1 | 0x4 | 0x8; // triggers; alarm 1 high; alarm 2 low
    inlet.alarm1Limit = 5;
    inlet.alarm2Limit = 0.5;
    inlet.alarm1Output = 1; // output 1
    inlet.alarm2Output = 8; // output 4
    inlet.scaleM = 2.5;
    inlet.scaleB = 0.25;
    inlet.delay = 0.5;
    inlet.nplc = 10;
    setText(inlet.name, u"Inlet");
    setText(inlet.unit, u"bar");

    ChannelRecord& tc = sent->modules[0].channels[1]; // 102
    tc.function = 12;
    tc.range = 0x6401;
    tc.openDetect = 1;
    tc.refJunction = 1;
    tc.scaleM = 1;
    tc.nplc = 2;
    tc.alarmFlags = 0x10;
    tc.alarm2Limit = 300;

    // 103 is not configured.

    CommandList commands;
    std::string text;
    int code = 0;
    CompositeProcessor all;
    all.addChild(std::make_shared<ChannelProcessor>(-1, 1));
    for (int c = 0; c < 3; ++c)
        all.addChild(std::make_shared<ChannelProcessor>(0, c));
    ASSERT_TRUE(all.buildCommands(*sent, commands, text, code));
    ThermoColdJunctionProcessor junction(0, 1);
    ASSERT_TRUE(junction.buildCommands(*sent, commands, text, code));
    ASSERT_EQ(sim.handler().sendCommands(commands), 1);
    EXPECT_EQ(sim.instrument().channels.state(101).settings.name, "Inlet");
    EXPECT_EQ(sim.instrument().channels.state(101).settings.unit, "bar");

    auto back = zeroRecord();
    CommandList queries;
    ASSERT_TRUE(sim.readBack(all, *back, text, code, &queries)) << text;
    // Channel 1 and 101: 16 queries each less the thermocouple one; 102: 16;
    // 103 (off): only the six that are always asked.
    EXPECT_EQ(queries.size(), 15u + 15u + 16u + 6u);
    for (const auto& [slot, index] : {std::pair{-1, 1}, {0, 0}, {0, 1}}) {
        const ChannelRecord& s = *channelRecord(*sent, slot, index);
        const ChannelRecord& b = *channelRecord(*back, slot, index);
        const int n = channelNumber(slot, index);
        EXPECT_EQ(b.function, s.function) << n;
        EXPECT_EQ(b.alarmFlags, s.alarmFlags) << n;
        EXPECT_EQ(b.alarm1Limit, s.alarm1Limit) << n;
        EXPECT_EQ(b.alarm2Limit, s.alarm2Limit) << n;
        EXPECT_EQ(b.alarm1Output, s.alarm1Output) << n;
        EXPECT_EQ(b.alarm2Output, s.alarm2Output) << n;
        EXPECT_EQ(b.scaleM, s.scaleM) << n;
        EXPECT_EQ(b.scaleB, s.scaleB) << n;
        EXPECT_EQ(b.delay, s.delay) << n;
        EXPECT_EQ(b.nplc, s.nplc) << n;
        EXPECT_EQ(b.openDetect, s.openDetect) << n;
    }
    const ChannelRecord& idle = back->modules[0].channels[2];
    EXPECT_EQ(idle.function, 0u);
    EXPECT_EQ(idle.nplc, 1); // always asked: the instrument's default

    // The reference junction is read by its own processor.
    EXPECT_TRUE(sim.readBack(junction, *back, text, code)) << text;
    EXPECT_EQ(back->modules[0].channels[1].refJunction, 1u);

    // Negative limits go out but cannot be read back.
    ASSERT_EQ(sim.handler().sendCommand("CALC:LIM1 -1.5,(@1)"), 1);
    FirstAlarmLimitProcessor limit(-1, 1);
    EXPECT_FALSE(sim.readBack(limit, *back, text, code));
    EXPECT_EQ(text, "Invalid response: -1.50000000E+00");
    EXPECT_EQ(code, -1);
}

TEST(ChannelSettingsVirtualInstrument, InstrumentRejectsWhatItCannotDo) {
    SimConnection sim;
    ASSERT_EQ(sim.openStatus(), 1);
    korda32ex::SCPIHandler& h = sim.handler();
    ASSERT_EQ(h.sendCommand("CONF:VOLT (@101)"), 1);
    EXPECT_EQ(h.sendCommand("TEMP:TC:ODET ON, (@101)"), -221); // not a thermocouple
    EXPECT_EQ(h.sendCommand("CALC:LIM1:STAT MID,(@101)"), -224);
    EXPECT_EQ(h.sendCommand("CALC:LIM1:FEED 9, (@101)"), -224);
    EXPECT_EQ(h.sendCommand("CALC:LIM1 5,(@301)"), -222); // no third slot on this model
    EXPECT_EQ(h.sendCommand("CALC:LIM1 5"), -109);
    EXPECT_EQ(h.sendCommand("NPLC 10,(@501)"), -221);
    EXPECT_EQ(h.sendCommand("CALC:MATH:FUNC ADD,(@101)"), -221);
    EXPECT_EQ(h.sendCommand("CALC:MATH:FUNC FOO,(@501)"), -224);
    EXPECT_EQ(h.sendCommand("CALC:MATH:SOUR:ACH (@502),(@501)"), -224);
    EXPECT_EQ(h.sendCommand("CALC:MATH:COEF 1,2,3,4,5,6,7,8, (@501)"), -224);
    // A name may hold anything but a line end, a channel list included.
    ASSERT_EQ(h.sendCommand("ROUT:CHAN:NAME \"a,(@1)\", (@101)"), 1);
    std::string reply;
    ASSERT_EQ(h.query("ROUT:CHAN:NAME? (@101)", reply), 1);
    EXPECT_EQ(reply, "\"a,(@1)\"");
    // A rejected value changes no channel of the list.
    ASSERT_EQ(h.sendCommand("CALC:LIM2 7,(@101,102)"), 1);
    EXPECT_EQ(h.sendCommand("CALC:LIM2 x,(@101,102)"), -224);
    ASSERT_EQ(h.query("CALC:LIM2? (@101,102)", reply), 1);
    EXPECT_EQ(reply, "+7.00000000E+00,+7.00000000E+00");
    // *RST restores every channel setting.
    ASSERT_EQ(h.sendCommand("*RST"), 1);
    ASSERT_EQ(h.query("CALC:LIM2? (@101)", reply), 1);
    EXPECT_EQ(reply, "+0.00000000E+00");
}
