// Monitoring through the exported interface.
#include "ScriptedInstrument.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korda;
using namespace korda::test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

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

TEST(MonitorApi, AReadingIsOneSweepThenAnAbort) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("STAT:OPER?", {"512"});
    peer.script("ROUT:MON:DATA?", {"1.234E+00"});
    EXPECT_EQ(spy(1105), std::pair(1, 1.234f));
    EXPECT_EQ(peer.count("STAT:OPER?"), 1);
    const auto m = peer.messages();
    EXPECT_EQ(m[1], "*CLS\r\nROUT:MON (@105)\r\nSYST:ERR?\r\nTRIG:COUN 1\r\nSYST:ERR?\r\n"
                    "ROUT:MON:STAT ON\r\nSYST:ERR?\r\nINIT\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m.back(), "*CLS\r\nABOR\r\nSYST:ERR?\r\n");
}

TEST(MonitorApi, RepliesThatAreNoPlainNumber) {
    ScriptedSession session;
    session.instrument.script("STAT:OPER?", {"512"});
    session.instrument.script("ROUT:MON:DATA?", {"-9.900000E+37", " +9.900000e+37 ", "junk"});
    EXPECT_EQ(spy(1105), std::pair(1, -kInf));
    EXPECT_EQ(spy(1105), std::pair(1, kInf));
    // The instrument's not-a-number value.
    EXPECT_EQ(spy(1105), std::pair(1, 9.91e37f));
}

TEST(MonitorApi, AnyOtherStatusGetsThreeFurtherPollsThenTheReading) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("STAT:OPER?", {"0"});
    peer.script("ROUT:MON:DATA?", {"2.5"});
    EXPECT_EQ(spy(1101), std::pair(1, 2.5f));
    EXPECT_EQ(peer.count("STAT:OPER?"), 4);
}

TEST(MonitorApi, AReadingThatFailsStillAbortsTheInstrument) {
    ShortTimeLimit shortLimit;
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("STAT:OPER?", {"512"});
    peer.script("ROUT:MON:DATA?", {ScriptedInstrument::kSilent});
    EXPECT_EQ(spy(1101, 7), std::pair(-1015, 7.0f));
    EXPECT_EQ(peer.count("ABOR"), 1);
}
