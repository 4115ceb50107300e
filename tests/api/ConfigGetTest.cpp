// dlxVmrConfigGet: the capture through the log memory, the read-back, and the
// instrument left as it was before the read.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace korda::test;
using korda::sim::Instrument;
using korda::sim::Model;

namespace {

std::unique_ptr<VmrInstConfig> filledRecord(unsigned char fill) {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), fill, sizeof *r);
    return r;
}

} // namespace

// Trigger, interval, logging and scan list are read into the record and put
// back afterwards; the captured log is gone; the library timeout is unchanged.
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

    EXPECT_EQ(r->triggerCount, 7u);
    EXPECT_EQ(std::tuple(r->intervalHours, r->intervalMinutes, r->intervalSeconds),
              std::tuple(1u, 2u, 5u));
    EXPECT_EQ(r->triggerSource, 2u);
    EXPECT_EQ(r->alarmTriggerChannel, 102u);
    EXPECT_EQ(r->recordDestination, 0u);
    const ChannelRecord& supply = r->modules[0].channels[0];
    EXPECT_EQ(std::tuple(supply.function, supply.range), std::tuple(1u, 18u));
    EXPECT_EQ(text16(supply.name), "Supply");
    EXPECT_EQ(std::tuple(r->modules[0].channels[1].function, r->modules[0].channels[1].range),
              std::tuple(12u, 0x6001u));
    EXPECT_EQ(r->modules[0].moduleState, 1u);
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
    EXPECT_EQ(r->channel1.function, 0u);
    EXPECT_EQ(r->recordDestination, 1u);
    EXPECT_EQ(r->triggerCount, 1u);
    EXPECT_EQ(r->intervalSeconds, 10u);
}
