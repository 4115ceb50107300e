// A whole configuration through the shared library, as an application sets
// one up, and the korda program then scanning what it describes.
#include "FullRecord.h"
#include "KordaRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace korda;
using namespace korda::test;

namespace {

// Three voltage inputs of the first module and a computed sum, every second.
std::unique_ptr<VmrInstConfig> threeInputs() {
    auto r = korda::test::threeVoltageInputs();
    r->computed[0].function = VMR_MATH_SUM;
    r->computed[0].sourceList[0] = 0x7;
    r->computed[0].scaleM = 1;
    return r;
}

TEST(ConfigSetApi, ConfiguredInstrumentScansWithTheKordaProgram) {
    VirtualInstrumentSession session(sim::Model::M5129A, 1);
    ASSERT_EQ(session.openStatus(), 1);
    sim::Instrument& in = session.instrument();
    // Nothing is configured yet: starting fails the way a new user meets it.
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -221);

    auto record = threeInputs();
    EXPECT_EQ(dlxVmrGetInstalledModules(1), 7);
    int detail = -1;
    ASSERT_EQ(dlxVmrConfigSet(1, record.get(), DLXVMR_CONFIG_SKIP_UNCHANGED, &detail), 1);
    EXPECT_EQ(detail, 0);
    EXPECT_EQ(ask(in, "ROUT:SCAN?"), "(@101,102,103,501)");
    EXPECT_EQ(ask(in, "CALC:MATH:FUNC? (@501)"), "SUM");
    ASSERT_EQ(dlxVmrCommClose(1), 1);

#ifdef _WIN32
    GTEST_SKIP() << "the korda program is run on the native build";
#else
    TempDir dir;
    const auto r = runKorda(dir, "tcp://127.0.0.1:" + std::to_string(session.server().port()) +
                                     " --model 5129A scan --count 2 --interval 0");
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string& output = r.out;
    // A header row of the scanned channels, then the two scans.
    EXPECT_EQ(output.substr(0, output.find('\n')), "time,101,102,103,501") << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 3) << output;
    EXPECT_FALSE(sim::scanning(in)); // stopped again at the end
#endif
}

} // namespace
