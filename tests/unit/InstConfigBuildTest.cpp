// The command list of a whole configuration: the golden lists of a full
// record per model (tests/golden, one command a line), module detection and
// the scan-list, reference-junction and trigger-channel steps.
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "config/InstConfigProcessor.h"
#include "config/ModuleProcessor.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace korda32ex;
using namespace korda::test;
using korda::sim::Model;

namespace {

struct Build {
    bool ok = false;
    CommandList commands;
    std::string text;
    int code = 0;
};

Build build(SimLink& link, const VmrInstConfig& record, int model) {
    Build b;
    InstConfigProcessor processor(*link.handler, model);
    b.ok = processor.buildCommands(record, b.commands, b.text, b.code);
    return b;
}

std::string goldenPath(const std::string& model) {
    return std::string(KORDA_GOLDEN_DIR) + "/config-" + model + ".txt";
}

// The full record, converted as dlxVmrConfigSet converts it, then built.
void checkGolden(int model, const std::string& name) {
    const CommandList commands = configurationCommands(*fullRecord(model), model);
    std::ostringstream actual;
    for (const auto& c : commands)
        actual << c << '\n';
    if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(goldenPath(name), std::ios::binary) << actual.str();
        GTEST_SKIP() << "wrote " << goldenPath(name);
    }
    std::ifstream in(goldenPath(name), std::ios::binary);
    ASSERT_TRUE(in) << goldenPath(name) << " is missing (run with KORDA_UPDATE_GOLDEN=1)";
    std::string line;
    std::size_t n = 0;
    for (; std::getline(in, line); ++n) {
        ASSERT_LT(n, commands.size()) << "the list ends before golden line " << n + 1;
        ASSERT_EQ(commands[n], line) << "golden line " << n + 1;
    }
    EXPECT_EQ(n, commands.size()) << "the list goes on after the golden file";
}

TEST(InstConfigGolden, Full7043ARecord) {
    checkGolden(DLXVMR_MODEL_7043A, "7043A");
}

TEST(InstConfigGolden, Full5129ARecord) {
    checkGolden(DLXVMR_MODEL_5129A, "5129A");
}

TEST(ModuleDetection, OptReplyToSlotMask) {
    EXPECT_EQ(installedModuleMask("MUX22,0,NONE,0,MUX22,0"), 5u);
    EXPECT_EQ(installedModuleMask("NONE,0,NONE,0"), 0u);
    EXPECT_EQ(installedModuleMask(""), 1u);             // one empty field: a module
    EXPECT_EQ(installedModuleMask("none,0,NONE "), 3u); // only "NONE" exactly is empty
    EXPECT_EQ(installedModuleMask("A"), 1u);
    // Slot 32 wraps to bit 0.
    std::string many;
    for (int i = 0; i < 33; ++i)
        many += std::string(i ? "," : "") + (i == 0 || i == 32 ? "M,0" : "NONE,0");
    EXPECT_EQ(installedModuleMask(many), 1u);
    many.replace(0, 1, "NONE");
    EXPECT_EQ(installedModuleMask(many), 1u);
}

TEST(ModuleDetection, ModuleProcessorsFollowTheReplyWithinTheModel) {
    // A 5129A with slot 2 empty: module processors for slots 0 and 2.
    SimLink gap(Model::M5129A);
    gap.instrument.setModule(1, "");
    ASSERT_EQ(gap.openStatus, 1);
    EXPECT_EQ(InstConfigProcessor(*gap.handler, DLXVMR_MODEL_5129A).moduleSlots(),
              (std::vector<int>{0, 2}));
    // Built for a 7043A, a third module reported gets no processor.
    SimLink three(Model::M5129A);
    ASSERT_EQ(three.openStatus, 1);
    EXPECT_EQ(InstConfigProcessor(*three.handler, DLXVMR_MODEL_7043A).moduleSlots(),
              (std::vector<int>{0, 1}));
    EXPECT_EQ(InstConfigProcessor(*three.handler, DLXVMR_MODEL_UNIDENTIFIED).moduleSlots(),
              (std::vector<int>{0, 1}));

    // The scan list found at construction is kept.
    ASSERT_EQ(three.handler->sendCommand("ROUT:SCAN (@101,205)"), 1);
    EXPECT_EQ(InstConfigProcessor(*three.handler, 5).scanListAtStart(), "(@101,205)");

    // Only channels of slots that got a processor are configured.
    auto r = zeroRecord();
    r->modules[1].channels[0].function = 1;
    r->modules[1].channels[0].range = 18;
    r->modules[2].channels[0].function = 1;
    r->modules[2].channels[0].range = 18;
    const Build b = build(gap, *r, DLXVMR_MODEL_5129A);
    EXPECT_EQ(std::count(b.commands.begin(), b.commands.end(), "CONF:VOLT 10.000000,(@201)"), 0);
    EXPECT_EQ(std::count(b.commands.begin(), b.commands.end(), "CONF:VOLT 10.000000,(@301)"), 1);
    // The scan list follows the record's module states, not the instrument.
    EXPECT_NE(std::find(b.commands.begin(), b.commands.end(), "ROUT:SCAN (@201,301)"),
              b.commands.end());
}

TEST(ModuleDetection, ResponseCountsOnlyCountLinesThatCome) {
    SimLink link(Model::M5129A);
    ASSERT_EQ(link.openStatus, 1);
    EXPECT_EQ(ModuleProcessor(0).responseCount(), 22 * 16);
    EXPECT_EQ(ModuleProcessor(4).responseCount(), 20 * 15);
    EXPECT_EQ(ModuleProcessor(-1).responseCount(), 16);
    // Channels switched off at the instrument pass their gated queries by:
    // the count follows what was asked, never the fixed sums.
    ASSERT_EQ(link.handler->sendCommands(
                  {"*RST", "CALC:MATH:FUNC ADD,(@502)", "CALC:MATH:FUNC POLY,(@503)"}),
              1);
    ModuleProcessor computed(4);
    CommandList queries;
    ASSERT_TRUE(computed.buildQueries(queries, link.handler.get()));
    EXPECT_EQ(computed.responseCount(), static_cast<int>(queries.size()));
    EXPECT_LT(computed.responseCount(), 300);
    // Without an instrument to ask, every gated query of a module is passed by.
    ModuleProcessor analog(0);
    queries.clear();
    ASSERT_TRUE(analog.buildQueries(queries, nullptr));
    EXPECT_EQ(analog.responseCount(), static_cast<int>(queries.size()));
    EXPECT_LT(analog.responseCount(), 352);
}

} // namespace
