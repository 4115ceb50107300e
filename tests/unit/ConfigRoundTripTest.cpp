// Command lists built from records, sent to the virtual instrument over TCP,
// and read back into a fresh record with the same processors.
#include "ConfigSupport.h"
#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace korda32ex;
using namespace korda::test;

namespace {

using Address = std::pair<int, int>; // slot and index

// The instrument-level processors in the order a whole configuration uses.
template <class... P> std::vector<ProcessorPtr> processors() {
    return {std::make_shared<P>()...};
}
std::vector<ProcessorPtr> settingProcessors() {
    return processors<DestinationProcessor, SampleRateProcessor, ScanCountProcessor,
                      TriggerTypeProcessor, TriggerAutoOrderProcessor, ResumeScanOnPowerProcessor,
                      DataSecurityProcessor, SourceControlProcessor, AutoRecordingProcessor,
                      ScanIntervalProcessor, TotalizerDebounceProcessor,
                      TotalizerStartCountProcessor, TotalizerModeProcessor,
                      TotalizerResetProcessor>();
}

// "*RST", the unit, the channels, the instrument settings and the scan list.
CommandList configurationCommands(const VmrInstConfig& r, const std::vector<Address>& channels,
                                  int model, const std::string& scanList) {
    ModelCodeScope scope(model);
    CompositeProcessor all;
    all.addChild(std::make_shared<TempConfigProcessor>());
    for (const auto& [slot, index] : channels)
        all.addChild(std::make_shared<ChannelProcessor>(slot, index));
    for (auto& p : settingProcessors())
        all.addChild(p);
    CommandList commands = commandsOf(all, r);
    commands.insert(commands.begin(), "*RST");
    commands.push_back("ROUT:SCAN " + scanList);
    return commands;
}

// A channel with the given function and range, unscaled, at 1 NPLC.
ChannelRecord& setChannel(VmrInstConfig& r, int slot, int index, std::uint32_t function,
                          std::uint32_t range) {
    ChannelRecord& ch = *channelRecord(r, slot, index);
    ch.function = function;
    ch.range = range;
    ch.scaleM = ch.nplc = 1;
    return ch;
}

TEST(ConfigRoundTrip, SettingsAndChannelsOfA7043A) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    auto r = zeroRecord();
    r->flags = 0x10 | 0x20 | 0x40 | 0x80 | 3; // Fahrenheit, security, continuous, resume, slow
    r->recordDestination = 2;
    r->triggerCount = 5;
    r->triggerSource = 3;
    r->autoTriggerOrder = 1;
    r->intervalHours = 1;
    r->intervalMinutes = 2;
    r->intervalSeconds = 5;
    r->totalizerDebounce = 1;
    r->totalizerType = 1;
    r->totalizerState = 1;

    setChannel(*r, -1, 0, 3, 49);
    setChannel(*r, 0, 0, 1, 18);
    setChannel(*r, 0, 2, 5, 4);
    setChannel(*r, 0, 3, 6, 7);
    setChannel(*r, 0, 4, 12, 0x6401);
    setChannel(*r, 0, 5, 7, 82).sensorCoef[0] = 100;
    ChannelRecord& sprt = setChannel(*r, 0, 6, 8, 80);
    const double sprtValues[7] = {25.5, 1e-3, -2e-7, 1.5e-3, 100, 0.00385, 1};
    for (int i = 0; i < 7; ++i)
        sprt.sensorCoef[i] = sprtValues[i];
    setChannel(*r, 0, 7, 10, 100).sensorCoef[0] = 1e-3;
    setChannel(*r, 0, 8, 11, 97);
    setChannel(*r, 0, 9, 13, 0);
    setChannel(*r, 1, 0, 12, 0x6F01).sensorCoef[6] = 7;
    setChannel(*r, 1, 2, VMR_CHANNEL_OFF, 18);
    const std::vector<Address> channels{{-1, 0}, {0, 0}, {0, 2}, {0, 3}, {0, 4}, {0, 5},
                                        {0, 6},  {0, 7}, {0, 8}, {0, 9}, {1, 0}, {1, 2}};

    const CommandList commands =
        configurationCommands(*r, channels, 4, "(@101,103,104,105,106,107,108,109,110,201,1)");
    ASSERT_EQ(link.handler->sendCommands(commands), 1);
    EXPECT_EQ(link.instrument.scanList(),
              (std::vector<int>{101, 103, 104, 105, 106, 107, 108, 109, 110, 201, 1}));
    {
        std::lock_guard<std::recursive_mutex> g(link.instrument.mutex());
        const auto* ch107 = link.instrument.channels.find(107);
        ASSERT_NE(ch107, nullptr);
        EXPECT_EQ(ch107->sensorValues.at("SPRT:COEF:HIGH"),
                  (std::vector<double>{1.5e-3, 100, 0.00385, 1}));
        EXPECT_EQ(link.instrument.channels.find(201)->sensorValues.at("TC:POLY:COEF")[6], 7);
    }

    auto back = zeroRecord();
    {
        CompositeProcessor settings;
        settings.addChild(std::make_shared<TempConfigProcessor>());
        // The recording state first, so that the destination's code is what stays.
        settings.addChild(std::make_shared<AutoRecordingProcessor>());
        for (auto& p : settingProcessors())
            if (!std::dynamic_pointer_cast<AutoRecordingProcessor>(p)) settings.addChild(p);
        link.fetch(settings, *back);
    }
    const auto settings = [](const VmrInstConfig& c) {
        return std::tuple(c.flags, c.recordDestination, c.triggerCount, c.triggerSource,
                          c.autoTriggerOrder, c.intervalHours, c.intervalMinutes, c.intervalSeconds,
                          c.totalizerDebounce, c.totalizerType, c.totalizerState);
    };
    EXPECT_EQ(settings(*back), settings(*r));

    for (const auto& [slot, index] : channels) {
        ChannelProcessor channel(slot, index);
        link.fetch(channel, *back);
        const ChannelRecord& sent = *channelRecord(*r, slot, index);
        const ChannelRecord& got = *channelRecord(*back, slot, index);
        const bool on = sent.function != 0 && sent.function != VMR_CHANNEL_OFF;
        // A channel switched off stays off at the instrument and is passed by:
        // the zeroed record keeps 0.
        EXPECT_EQ(std::pair(got.function, got.range),
                  std::pair(on ? sent.function : 0u, on && sent.function != 13 ? sent.range : 0u))
            << channelNumber(slot, index);
    }
    EXPECT_EQ(back->modules[0].moduleState, 1u);
    EXPECT_EQ(back->modules[1].moduleState, 2u);
}

TEST(ConfigRoundTrip, QueriesFollowWhatTheInstrumentRuns) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    ASSERT_EQ(link.handler->sendCommands({"*RST", "CONF:FREQ (@102)", "CONF:VOLT (@103)"}), 1);
    // The queries of a channel's function and range processors, by channel.
    const auto functionAndRange = [&](int index, korda32ex::SCPIHandler* handler) {
        ChannelProcessor p(0, index);
        CommandList queries;
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(p.children()[i]->buildQueries(queries, handler));
        return joined(queries);
    };
    EXPECT_EQ(functionAndRange(0, link.handler.get()), ""); // off: neither
    EXPECT_EQ(functionAndRange(1, link.handler.get()), "CONF? (@102)");
    EXPECT_EQ(functionAndRange(2, link.handler.get()), "CONF? (@103)|VOLT:DC:RANG? (@103)");
    // Without an instrument nothing can be asked: function and range are passed by.
    EXPECT_EQ(functionAndRange(2, nullptr), "");

    // A skipped function processor on its own marks the channel switched off.
    ChannelProcessor off(0, 0);
    CommandList queries;
    off.children()[0]->buildQueries(queries, link.handler.get());
    auto r = zeroRecord();
    EXPECT_TRUE(parseWith(*off.children()[0], "", *r).ok);
    EXPECT_EQ(r->modules[0].channels[0].function, VMR_CHANNEL_OFF);

    // The automatic-trigger settings are asked only under the automatic source.
    for (const bool automatic : {false, true}) {
        ASSERT_EQ(automatic ? link.handler->sendCommand("TRIG:SOUR AUTO") : 1, 1);
        TriggerAutoOrderProcessor order;
        SourceControlProcessor control;
        queries.clear();
        order.buildQueries(queries, link.handler.get());
        control.buildQueries(queries, link.handler.get());
        EXPECT_EQ(joined(queries), automatic ? "TRIG:AUTO:ORD?|TRIG:AUTO:CONT?" : "");
        EXPECT_EQ(control.isSkipped(), !automatic);
    }
}

// Alarms, scaling, the other per-channel settings and the alternating
// functions of a 5129A.
TEST(ChannelSettingsVirtualInstrument, RoundTrip) {
    SimLink sim(korda::sim::Model::M5129A);
    ASSERT_EQ(sim.openStatus, 1);
    ModelCodeScope model(5);
    auto sent = zeroRecord();
    sent->flags = 0x6; // reading rate NPLC: the integration time of each channel is sent

    setChannel(*sent, -1, 1, 1, 23);
    ChannelRecord& inlet = setChannel(*sent, 0, 0, 1, 18);
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

    ChannelRecord& tc = setChannel(*sent, 0, 1, 12, 0x6401);
    tc.openDetect = 1;
    tc.refJunction = 1;
    tc.nplc = 2;
    tc.alarmFlags = 0x10;
    tc.alarm2Limit = 300;

    // 103 is not configured.
    setChannel(*sent, 2, 0, 2, 36); // 301: AC voltage
    setChannel(*sent, 2, 1, 7, 80); // 302: no SPRT on this model: no configure command for it

    CompositeProcessor all;
    for (const auto& [slot, index] : {std::pair{-1, 1}, {0, 0}, {0, 1}, {0, 2}, {2, 0}, {2, 1}})
        all.addChild(std::make_shared<ChannelProcessor>(slot, index));
    ThermoColdJunctionProcessor junction(0, 1);
    CommandList commands = commandsOf(all, *sent);
    commands.push_back(commandsOf(junction, *sent).at(0));
    ASSERT_EQ(sim.handler->sendCommands(commands), 1);
    EXPECT_EQ(sim.instrument.channels.state(101).settings.name, "Inlet");
    EXPECT_EQ(sim.instrument.channels.state(101).settings.unit, "bar");

    auto back = zeroRecord();
    const CommandList queries = sim.fetch(all, *back);
    // 16 queries a channel less the thermocouple one, 16 for 102; 103 and 302
    // (off): only the six that are always asked.
    EXPECT_EQ(queries.size(), 15u + 15u + 16u + 6u + 15u + 6u);
    const auto travelling = [](const ChannelRecord& c) {
        return std::tuple(c.function, c.alarmFlags, c.alarm1Limit, c.alarm2Limit, c.alarm1Output,
                          c.alarm2Output, c.scaleM, c.scaleB, c.delay, c.nplc, c.openDetect);
    };
    for (const auto& [slot, index] : {std::pair{-1, 1}, {0, 0}, {0, 1}, {2, 0}})
        EXPECT_EQ(travelling(*channelRecord(*back, slot, index)),
                  travelling(*channelRecord(*sent, slot, index)))
            << channelNumber(slot, index);
    const ChannelRecord& idle = back->modules[0].channels[2];
    EXPECT_EQ(idle.function, 0u);
    const ChannelRecord* back3 = back->modules[2].channels;
    EXPECT_EQ(std::pair(back3[0].range, back3[1].function), std::pair(36u, 0u));
    EXPECT_EQ(idle.nplc, 1); // always asked: the instrument's default

    // The reference junction is read by its own processor.
    sim.fetch(junction, *back);
    EXPECT_EQ(back->modules[0].channels[1].refJunction, 1u);

    // Negative limits go out but cannot be read back.
    ASSERT_EQ(sim.handler->sendCommand("CALC:LIM1 -1.5,(@1)"), 1);
    FirstAlarmLimitProcessor limit(-1, 1);
    std::string text;
    int code = 0;
    EXPECT_FALSE(sim.readBack(limit, *back, text, code));
    EXPECT_EQ(std::pair(text, code),
              std::pair(std::string("Invalid response: -1.50000000E+00"), -1));
}

} // namespace
