// The composites that fetch what a setup file does not carry, against the
// virtual instrument.
#include "logdata/CsvProcessors.h"
#include "ConfigTestSupport.h"
#include "channels/ChannelProcessorBase.h"
#include "channels/ComputedChannelProcessor.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::SimLink;
using korda::test::zeroRecord;

namespace {

void send(IProcessor& p, const VmrInstConfig& r, SCPIHandler& handler) {
    CommandList commands;
    std::string text;
    int code = 0;
    ASSERT_TRUE(p.buildCommands(r, commands, text, code));
    ASSERT_FALSE(commands.empty());
    ASSERT_EQ(handler.sendCheckedBatch(commands), 1);
}

void fetch(IProcessor& p, SCPIHandler& handler, VmrInstConfig& r) {
    CommandList queries;
    ASSERT_TRUE(p.buildQueries(queries, &handler));
    ASSERT_EQ(static_cast<int>(queries.size()), p.responseCount());
    std::string replies;
    ASSERT_EQ(handler.queryJoined(queries, replies), 1);
    std::string text;
    int code = 0;
    ASSERT_TRUE(p.parseResponse(replies, r, text, code)) << text;
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
    send(inst, *want, *link.handler);
    send(fullChannel, *want, *link.handler);
    send(fullComputed, *want, *link.handler);

    auto got = zeroRecord();
    ChannelForCSVProcessor channel(0, 2);
    ComputedChannelForCSVProcessor computed(4, 1);
    EXPECT_EQ(inst.responseCount(), 6);
    fetch(inst, *link.handler, *got);
    fetch(channel, *link.handler, *got);
    fetch(computed, *link.handler, *got);
    EXPECT_EQ(channel.responseCount(), 2);
    EXPECT_EQ(computed.responseCount(), 8);

    EXPECT_EQ(got->flags, want->flags);
    EXPECT_EQ(got->totalizerDebounce, 1u);
    EXPECT_EQ(got->totalizerType, 1u);
    EXPECT_EQ(got->totalizerState, 1u);
    const ChannelRecord& gc = got->modules[0].channels[2];
    EXPECT_EQ(gc.alarm1Output, ch.alarm1Output);
    EXPECT_EQ(gc.alarm2Output, ch.alarm2Output);
    EXPECT_EQ(gc.function, 0u); // the file carries the rest
    const ComputedChannelRecord& gm = got->computed[1];
    EXPECT_EQ(gm.alarmFlags, m.alarmFlags);
    EXPECT_EQ(gm.alarm1Limit, m.alarm1Limit);
    EXPECT_EQ(gm.alarm2Limit, m.alarm2Limit);
    EXPECT_EQ(gm.scaleM, m.scaleM);
    EXPECT_EQ(gm.scaleB, m.scaleB);
    EXPECT_EQ(gm.alarm1Output, m.alarm1Output);
    EXPECT_EQ(gm.alarm2Output, m.alarm2Output);
    EXPECT_EQ(gm.function, 0u);

    // A computed channel that is off at the instrument asks nothing.
    ComputedChannelForCSVProcessor off(4, 7);
    CommandList queries;
    ASSERT_TRUE(off.buildQueries(queries, link.handler.get()));
    EXPECT_EQ(static_cast<int>(queries.size()), off.responseCount());
}
