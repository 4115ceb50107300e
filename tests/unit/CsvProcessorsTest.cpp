// The composites that fetch what a setup file does not carry, against the
// virtual instrument.
#include "logdata/CsvProcessors.h"
#include "ConfigSupport.h"
#include "channels/ChannelProcessorBase.h"
#include "channels/ComputedChannelProcessor.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace korda32ex;
using namespace korda::test;

namespace {

// Asks p's queries (exactly as many as it expects lines) and parses the replies.
void fetch(IProcessor& p, SimLink& link, VmrInstConfig& r) {
    CommandList queries;
    std::string text;
    int code = 0;
    ASSERT_TRUE(link.readBack(p, r, text, code, &queries)) << text;
    ASSERT_EQ(static_cast<int>(queries.size()), p.responseCount());
}

} // namespace

TEST(CsvProcessors, FetchTheSettingsASetupFileLacks) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    ModelCodeScope model(DLXVMR_MODEL_7043A);

    auto want = zeroRecord();
    want->flags = 0x10 | 0x80;
    want->totalizerDebounce = 1;
    want->totalizerType = 1;
    want->totalizerState = 1;
    ChannelRecord& ch = want->modules[0].channels[2];
    ch.function = 1;
    ch.range = 23;
    ch.scaleM = 1;
    ch.alarmFlags = 0x04 | 0x08;
    ch.alarm1Limit = 5;
    ch.alarm2Limit = -5;
    ch.alarm1Output = 0x4;
    ch.alarm2Output = 0x1;
    ComputedChannelRecord& m = want->computed[1];
    m.function = 0x500B;
    m.sourceList[0] = 0x4;
    m.alarmFlags = 0x04 | 0x08;
    m.alarm1Limit = 7.5;
    m.alarm2Limit = 2;
    m.scaleM = 2;
    m.scaleB = 1;
    m.alarm1Output = 0x2;
    m.alarm2Output = 0x8;

    InstConfigForCSVProcessor inst;
    ChannelProcessor fullChannel(0, 2);
    ComputedChannelProcessor fullComputed(4, 1);
    CommandList commands;
    for (IProcessor* p : std::initializer_list<IProcessor*>{&inst, &fullChannel, &fullComputed})
        for (const auto& c : commandsOf(*p, *want))
            commands.push_back(c);
    ASSERT_EQ(link.handler->sendCheckedBatch(commands), 1);

    auto got = zeroRecord();
    ChannelForCSVProcessor channel(0, 2);
    ComputedChannelForCSVProcessor computed(4, 1);
    fetch(inst, link, *got);
    fetch(channel, link, *got);
    fetch(computed, link, *got);

    // What the file lacks arrives; the functions stay 0: the file carries them.
    EXPECT_EQ(
        std::tuple(got->flags, got->totalizerDebounce, got->totalizerType, got->totalizerState),
        std::tuple(want->flags, 1u, 1u, 1u));
    const ChannelRecord& gc = got->modules[0].channels[2];
    EXPECT_EQ(std::tuple(gc.function, gc.alarm1Output, gc.alarm2Output),
              std::tuple(0u, ch.alarm1Output, ch.alarm2Output));
    const auto fetched = [](const ComputedChannelRecord& c) {
        return std::tuple(c.alarmFlags, c.alarm1Limit, c.alarm2Limit, c.scaleM, c.scaleB,
                          c.alarm1Output, c.alarm2Output);
    };
    EXPECT_EQ(fetched(got->computed[1]), fetched(m));
    EXPECT_EQ(got->computed[1].function, 0u);

    // A computed channel that is off at the instrument asks nothing.
    ComputedChannelForCSVProcessor off(4, 7);
    CommandList queries;
    ASSERT_TRUE(off.buildQueries(queries, link.handler.get()));
    EXPECT_EQ(static_cast<int>(queries.size()), off.responseCount());
}
