// Monitoring through the exported interface.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korda;
using namespace korda::test;

namespace {

// dlxVmrSpyGet with the reading first set to seed: the status and the reading after.
std::pair<int, float> spy(int code, float seed = 0) {
    float reading = seed;
    const int status = dlxVmrSpyGet(code, &reading);
    return {status, reading};
}

// The monitored channel and the monitoring state of the instrument.
std::string monitoring(sim::Instrument& in) {
    return ask(in, "ROUT:MON?") + " " + ask(in, "ROUT:MON:STAT?");
}

} // namespace

TEST(MonitorApi, SelectingAChannelSwitchesMonitoring) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    EXPECT_EQ(dlxVmrInstMonitor(1, 1, 105), 1);
    EXPECT_EQ(monitoring(in), "(@105) 1");
    EXPECT_EQ(dlxVmrSpyEnable(1, 0), 1);
    EXPECT_EQ(monitoring(in), "(@105) 0");
    EXPECT_EQ(dlxVmrSpyEnable(1, 7), 1);
    EXPECT_EQ(monitoring(in), "(@105) 1");
    // Switching off still selects the channel first.
    EXPECT_EQ(dlxVmrInstMonitor(1, 0, 222), 1);
    EXPECT_EQ(monitoring(in), "(@222) 0");
    // A channel the instrument does not have.
    EXPECT_EQ(dlxVmrInstMonitor(1, 1, 305), -222);
    EXPECT_EQ(errorString(-222), "ROUT:MON (@305) => \"Data out of range");
}

TEST(MonitorApi, SpyReadingFromTheInstrument) {
    VirtualInstrumentSession session(sim::Model::M5129A, 3);
    auto& in = session.instrument();
    sim::useManualClock(in);
    sim::setChannelValue(in, 105, 1.234);
    EXPECT_EQ(spy(3105), std::pair(1, 1.234f));
    // Monitoring stays on, the instrument is aborted, the trigger count is 1.
    EXPECT_EQ(monitoring(in), "(@105) 1");
    EXPECT_EQ(ask(in, "TRIG:COUN?"), "1");
    EXPECT_FALSE(sim::scanning(in));

    // While the instrument scans, it refuses the reading's "INIT".
    sim::setScanChannels(in, {101});
    in.execute("TRIG:COUN 0");
    ASSERT_EQ(dlxVmrScansEnable(3, 1), 1);
    EXPECT_EQ(spy(3105, 42), std::pair(-213, 42.0f));
}
