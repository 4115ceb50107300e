// A whole configuration set with dlxVmrConfigSet and read back with
// dlxVmrConfigGet, for each model: the record comes back in every field the
// read-back carries, and the instrument is left as it was before the read.
// The records are data under tests/golden.
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

    const std::string name = "roundtrip-get-" + model + ".txt";
    if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr)
        std::ofstream(goldenDir() + "/" + name) << recordText(*got);
    const auto expected = recordFromText(goldenText(name));
    EXPECT_EQ(recordText(*got), recordText(*expected));
    EXPECT_EQ(std::memcmp(got.get(), expected.get(), sizeof *got), 0) << "a reserved byte differs";
}

INSTANTIATE_TEST_SUITE_P(Models, ConfigGetRoundTrip,
                         ::testing::Values(Model::M7043A, Model::M5129A), [](const auto& info) {
                             return info.param == Model::M7043A ? "M7043A" : "M5129A";
                         });
