// Command lists built from records, sent to the virtual instrument over TCP,
// and read back into a fresh record with the same processors.
#include "ConfigTestSupport.h"
#include "channels/ChannelProcessorBase.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::SimLink;
using korda::test::zeroRecord;

namespace {

struct Address {
    int slot;
    int index;
};

// The instrument-level processors in the order a whole configuration uses.
std::vector<ProcessorPtr> settingProcessors() {
    return {std::make_shared<DestinationProcessor>(),
            std::make_shared<SampleRateProcessor>(),
            std::make_shared<ScanCountProcessor>(),
            std::make_shared<TriggerTypeProcessor>(),
            std::make_shared<TriggerAutoOrderProcessor>(),
            std::make_shared<ResumeScanOnPowerProcessor>(),
            std::make_shared<DataSecurityProcessor>(),
            std::make_shared<SourceControlProcessor>(),
            std::make_shared<AutoRecordingProcessor>(),
            std::make_shared<ScanIntervalProcessor>(),
            std::make_shared<TotalizerDebounceProcessor>(),
            std::make_shared<TotalizerStartCountProcessor>(),
            std::make_shared<TotalizerModeProcessor>(),
            std::make_shared<TotalizerResetProcessor>()};
}

// "*RST", the unit, the channels, the instrument settings and the scan list.
CommandList configurationCommands(const VmrInstConfig& r, const std::vector<Address>& channels,
                                  int model, const std::string& scanList) {
    ModelCodeScope scope(model);
    CompositeProcessor all;
    all.addChild(std::make_shared<TempConfigProcessor>());
    for (const auto& a : channels)
        all.addChild(std::make_shared<ChannelProcessor>(a.slot, a.index));
    for (auto& p : settingProcessors())
        all.addChild(p);
    CommandList commands{"*RST"};
    std::string text;
    int code = 0;
    EXPECT_TRUE(all.buildCommands(r, commands, text, code));
    commands.push_back("ROUT:SCAN " + scanList);
    return commands;
}

// Queries one processor tree, and parses the replies into the record.
void readBack(IProcessor& p, korda32ex::SCPIHandler& handler, VmrInstConfig& r) {
    CommandList queries;
    ASSERT_TRUE(p.buildQueries(queries, &handler));
    if (queries.empty()) return;
    std::string replies;
    ASSERT_EQ(handler.queryJoined(queries, replies), 1);
    std::string text;
    int code = 0;
    ASSERT_TRUE(p.parseResponse(replies, r, text, code)) << text;
}

ChannelRecord& setChannel(VmrInstConfig& r, int slot, int index, std::uint32_t function,
                          std::uint32_t range) {
    ChannelRecord& ch = *channelRecord(r, slot, index);
    ch.function = function;
    ch.range = range;
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
    setChannel(*r, 0, 1, 1, 22);
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
    setChannel(*r, 0, 20, 3, 51);
    setChannel(*r, 1, 0, 12, 0x6F01).sensorCoef[6] = 7;
    setChannel(*r, 1, 1, 0, 0);
    setChannel(*r, 1, 2, VMR_CHANNEL_OFF, 18);
    const std::vector<Address> channels{{-1, 0}, {0, 0},  {0, 1}, {0, 2}, {0, 3},
                                        {0, 4},  {0, 5},  {0, 6}, {0, 7}, {0, 8},
                                        {0, 9},  {0, 20}, {1, 0}, {1, 1}, {1, 2}};

    const CommandList commands = configurationCommands(
        *r, channels, 4, "(@101,102,103,104,105,106,107,108,109,110,121,201,1)");
    ASSERT_EQ(link.handler->sendCommands(commands), 1);
    EXPECT_EQ(link.instrument.scanList(),
              (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 121, 201, 1}));
    {
        std::lock_guard<std::recursive_mutex> g(link.instrument.mutex());
        const auto* ch107 = link.instrument.channels.find(107);
        ASSERT_NE(ch107, nullptr);
        EXPECT_EQ(ch107->sensorValues.at("SPRT:COEF:HIGH"),
                  (std::vector<double>{1.5e-3, 100, 0.00385, 1}));
        EXPECT_EQ(ch107->sensorValues.at("SPRT:COEF:LOW"), (std::vector<double>{1e-3, -2e-7}));
        EXPECT_EQ(ch107->sensorValues.at("SPRT:RTPW"), std::vector<double>{25.5});
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
        readBack(settings, *link.handler, *back);
    }
    EXPECT_EQ(back->flags, r->flags);
    EXPECT_EQ(back->recordDestination, 2u);
    EXPECT_EQ(back->triggerCount, 5u);
    EXPECT_EQ(back->triggerSource, 3u);
    EXPECT_EQ(back->autoTriggerOrder, 1u);
    EXPECT_EQ(back->intervalHours, 1u);
    EXPECT_EQ(back->intervalMinutes, 2u);
    EXPECT_EQ(back->intervalSeconds, 5u);
    EXPECT_EQ(back->totalizerDebounce, 1u);
    EXPECT_EQ(back->totalizerType, 1u);
    EXPECT_EQ(back->totalizerState, 1u);

    for (const auto& a : channels) {
        ChannelProcessor channel(a.slot, a.index);
        readBack(channel, *link.handler, *back);
        const ChannelRecord& sent = *channelRecord(*r, a.slot, a.index);
        const ChannelRecord& got = *channelRecord(*back, a.slot, a.index);
        const bool on = sent.function != 0 && sent.function != VMR_CHANNEL_OFF;
        // Channels that were not configured stay off at the instrument and are
        // passed by: the zeroed record keeps 0.
        EXPECT_EQ(got.function, on ? sent.function : 0u) << channelNumber(a.slot, a.index);
        EXPECT_EQ(got.range, on && sent.function != 13 ? sent.range : 0u)
            << channelNumber(a.slot, a.index);
    }
    EXPECT_EQ(back->modules[0].moduleState, 1u);
    EXPECT_EQ(back->modules[1].moduleState, 2u);
}

TEST(ConfigRoundTrip, AlternatingChannelsOfA5129A) {
    SimLink link(korda::sim::Model::M5129A);
    ASSERT_EQ(link.openStatus, 1);
    auto r = zeroRecord();
    setChannel(*r, 2, 0, 2, 36);
    setChannel(*r, 2, 21, 4, 66);
    setChannel(*r, 2, 1, 7, 80); // no SPRT on this model: nothing is sent for it
    const std::vector<Address> channels{{2, 0}, {2, 21}, {2, 1}};
    ASSERT_EQ(link.handler->sendCommands(configurationCommands(*r, channels, 5, "(@301,322)")), 1);

    auto back = zeroRecord();
    for (const auto& a : channels) {
        ChannelProcessor channel(a.slot, a.index);
        readBack(channel, *link.handler, *back);
    }
    EXPECT_EQ(back->modules[2].channels[0].function, 2u);
    EXPECT_EQ(back->modules[2].channels[0].range, 36u);
    EXPECT_EQ(back->modules[2].channels[21].function, 4u);
    EXPECT_EQ(back->modules[2].channels[21].range, 66u);
    EXPECT_EQ(back->modules[2].channels[1].function, 0u);
}

// The queries of a channel's function and range processors (the other
// children ask their own settings).
CommandList functionAndRangeQueries(ChannelProcessor& p, korda32ex::SCPIHandler* handler,
                                    int& lines) {
    CommandList queries;
    lines = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(p.children()[i]->buildQueries(queries, handler));
        if (!p.children()[i]->isSkipped()) lines += p.children()[i]->responseCount();
    }
    return queries;
}

TEST(ConfigRoundTrip, QueriesFollowWhatTheInstrumentRuns) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    ASSERT_EQ(link.handler->sendCommands({"*RST", "CONF:FREQ (@102)", "CONF:VOLT (@103)"}), 1);

    int lines = 0;
    ChannelProcessor off(0, 0);
    CommandList queries = functionAndRangeQueries(off, link.handler.get(), lines);
    EXPECT_TRUE(queries.empty());
    EXPECT_TRUE(off.children()[0]->isSkipped());
    EXPECT_TRUE(off.children()[1]->isSkipped());
    EXPECT_EQ(lines, 0);

    ChannelProcessor frequency(0, 1);
    queries = functionAndRangeQueries(frequency, link.handler.get(), lines);
    EXPECT_EQ(queries, CommandList{"CONF? (@102)"});
    EXPECT_TRUE(frequency.children()[1]->isSkipped());
    EXPECT_EQ(lines, 1);

    ChannelProcessor volts(0, 2);
    queries = functionAndRangeQueries(volts, link.handler.get(), lines);
    EXPECT_EQ(queries, (CommandList{"CONF? (@103)", "VOLT:DC:RANG? (@103)"}));

    // A skipped function processor on its own marks the channel switched off.
    auto r = zeroRecord();
    std::string text;
    int code = 0;
    ASSERT_TRUE(off.children()[0]->parseResponse("", *r, text, code));
    EXPECT_EQ(r->modules[0].channels[0].function, VMR_CHANNEL_OFF);

    // Without an instrument nothing can be asked: function and range are passed by.
    ChannelProcessor unreachable(0, 2);
    EXPECT_TRUE(functionAndRangeQueries(unreachable, nullptr, lines).empty());

    // The automatic-trigger settings are asked only under the automatic source.
    TriggerAutoOrderProcessor order;
    SourceControlProcessor control;
    queries.clear();
    order.buildQueries(queries, link.handler.get());
    control.buildQueries(queries, link.handler.get());
    EXPECT_TRUE(queries.empty());
    EXPECT_TRUE(order.isSkipped());
    EXPECT_TRUE(control.isSkipped());
    ASSERT_EQ(link.handler->sendCommand("TRIG:SOUR AUTO"), 1);
    TriggerAutoOrderProcessor order2;
    SourceControlProcessor control2;
    order2.buildQueries(queries, link.handler.get());
    control2.buildQueries(queries, link.handler.get());
    EXPECT_EQ(queries, (CommandList{"TRIG:AUTO:ORD?", "TRIG:AUTO:CONT?"}));
    EXPECT_FALSE(order2.isSkipped());
    EXPECT_FALSE(control2.isSkipped());
}

TEST(ConfigRoundTrip, InstrumentRejectsWhatItLacks) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    link.instrument.setModule(1, "");
    auto r = zeroRecord();
    setChannel(*r, 1, 0, 1, 18); // the record says present, the instrument has no module
    ASSERT_EQ(link.handler->sendCommands(configurationCommands(*r, {{1, 0}}, 4, "(@201)")), -222);

    // AC voltage sent to a 7043A (as an unidentified model would not, but a
    // 5129A build would).
    EXPECT_EQ(link.handler->sendCommand("CONF:VOLT:AC (@101)"), -113);
    // Current through module channel 1 without the shunt conversion.
    EXPECT_EQ(link.handler->sendCommand("CONF:CURR:DC 0.100000,(@101)"), -221);
}

} // namespace
