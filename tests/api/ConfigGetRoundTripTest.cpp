// dlxVmrConfigGet: a whole configuration set with dlxVmrConfigSet, or by
// plain commands, and read back, for each model: the record comes back in
// every field the read-back carries, and the instrument is left as it was
// before the read. The records are data under tests/golden.
#include "FullRecord.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

using namespace korda::test;
using korda::sim::Model;

namespace {

class ConfigGetRoundTrip : public ::testing::TestWithParam<Model> {};

// The record read back equals the golden record text of the name
// (KORDA_UPDATE_GOLDEN=1 writes what is read now).
void expectGoldenRecord(const VmrInstConfig& got, const std::string& name) {
    if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr)
        std::ofstream(goldenDir() + "/" + name) << recordText(got);
    const auto expected = recordFromText(goldenText(name));
    EXPECT_EQ(recordText(got), recordText(*expected)) << name;
    EXPECT_EQ(std::memcmp(&got, expected.get(), sizeof got), 0) << "a reserved byte differs";
}

std::unique_ptr<VmrInstConfig> filledRecord(unsigned char fill) {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), fill, sizeof *r);
    return r;
}

} // namespace

// The record of golden/roundtrip-set-<model>.txt set, and read back as
// golden/roundtrip-get-<model>.txt says (KORDA_UPDATE_GOLDEN=1 writes what is
// read now).
TEST_P(ConfigGetRoundTrip, ReturnsTheRecordInEveryCarriedField) {
    const std::string model = GetParam() == Model::M7043A ? "7043A" : "5129A";
    VirtualInstrumentSession session(GetParam());
    ASSERT_EQ(session.openStatus(), 1);
    const auto set = recordFromText(goldenText("roundtrip-set-" + model + ".txt"));
    int detail = -1;
    const int st = dlxVmrConfigSet(1, set.get(), 0, &detail);
    ASSERT_EQ(st, 1) << errorString(st);
    auto& in = session.instrument();
    const auto before = captureTouched(in);

    auto got = std::make_unique<VmrInstConfig>();
    ASSERT_EQ(dlxVmrConfigGet(1, got.get()), 1);
    EXPECT_EQ(captureTouched(in), before);

    expectGoldenRecord(*got, "roundtrip-get-" + model + ".txt");
}

INSTANTIATE_TEST_SUITE_P(Models, ConfigGetRoundTrip,
                         ::testing::Values(Model::M7043A, Model::M5129A), [](const auto& info) {
                             return info.param == Model::M7043A ? "M7043A" : "M5129A";
                         });

// Trigger, interval, logging and scan list are read into the record (every
// byte of it written) and put back afterwards; the captured log is gone; the
// library timeout is unchanged.
TEST(ConfigGet, RestoresWhatTheCaptureChanged) {
    VirtualInstrumentSession session(Model::M7043A);
    ASSERT_EQ(session.openStatus(), 1);
    auto& in = session.instrument();
    for (const char* line :
         {"CONF:VOLT 10,(@101)", "ROUT:CHAN:NAME \"Supply\",(@101)", "CONF:TEMP TC,K,(@102)",
          "ROUT:SCAN (@101,102)", "TRIG:COUN 7", "TRIG:TIM 3725", "TRIG:SOUR ALAR",
          "TRIG:ALAR:CHAN (@102)", "DATA:LOG:AUTO 0", "DATA:LOG:DEST MMEM", "MEM:LOG:STOR"})
        in.execute(line);
    ASSERT_EQ(ask(in, "SYST:ERR?"), "0,\"No error\"");
    dlxVmrTimeoutSet(3);
    const auto before = captureTouched(in);
    auto r = filledRecord(0xAB);
    ASSERT_EQ(dlxVmrConfigGet(1, r.get()), 1);
    EXPECT_EQ(captureTouched(in), before);
    uint32_t seconds = 0;
    dlxVmrTimeoutGet(&seconds);
    EXPECT_EQ(seconds, 3u);
    expectGoldenRecord(*r, "config-get-7043A.txt");
}

// Without a scan list the capture scans channel 1; the restore switches it off
// again (it leaves the scan list) and the result marks it unconfigured.
TEST(ConfigGet, NoScanListLeavesChannelOneUnconfigured) {
    VirtualInstrumentSession session(Model::M5129A);
    ASSERT_EQ(session.openStatus(), 1);
    auto& in = session.instrument();
    in.execute("DATA:LOG:AUTO 1");
    auto before = captureTouched(in);
    auto r = filledRecord(0);
    ASSERT_EQ(dlxVmrConfigGet(1, r.get()), 1);
    // A trigger count of 1 is not sent back: the instrument keeps the
    // capture's count of 2.
    before["TRIG:COUN?"] = "2";
    EXPECT_EQ(captureTouched(in), before);
    EXPECT_EQ(ask(in, "ROUT:SCAN?"), "(@)");
    expectGoldenRecord(*r, "config-get-5129A-no-scan-list.txt");
}
