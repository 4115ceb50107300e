// Scanning through the exported interface: the virtual instrument scans on a
// manual clock, and a scripted instrument supplies exact and broken replies.
#include "ScanBuffer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace korda;
using namespace korda::test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The virtual instrument on a manual clock with its clock at 2026-03-07
// 09:05:03.042, sending time and alarm fields with its readings.
struct ScanningInstrument {
    ScanningInstrument() {
        sim::useManualClock(in());
        for (const char* line :
             {"SYST:DATE 2026,3,7", "SYST:TIME 9,5,3.042", "FORM:READ:TIME 1", "FORM:READ:ALAR 1"})
            in().execute(line);
    }
    sim::Instrument& in() { return session.instrument(); }
    VirtualInstrumentSession session;
};

TEST(ScanApi, TimedScansAreFetchedIntoTheRecord) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {101, 102, 103, 104, 105});
    const double values[] = {1.5, -2.25, 1e38, -1e38, std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 5; ++i) // two overloads and a value that is no number
        sim::setChannelValue(in, 101 + i, values[i]);
    in.execute("TRIG:TIM 1");
    in.execute("TRIG:COUN 0"); // until stopped

    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_TRUE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "1");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "256");
    sim::advanceClock(in, 2500); // sweeps at 0, 1 and 2 seconds
    EXPECT_EQ(statusAndValue(dlxVmrScansCount, 1), std::pair(1, 3));

    ScanBuffer buffer(10, 5);
    ScanRecord* r = buffer.record();
    ASSERT_EQ(dlxVmrScansGet(1, 2, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(72, 2, 1));
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(buffer.stamp(n), std::tuple(26, 3, 7, 9, 5, 3 + n, 42));
        // A value that is no number reads as the instrument's not-a-number.
        EXPECT_EQ(buffer.readings(n), (std::vector<float>{1.5f, -2.25f, kInf, -kInf, 9.91e37f}));
    }

    // Stopping: no further sweeps, keys unlocked.
    ASSERT_EQ(dlxVmrScansEnable(1, 0), 1);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "0");
    sim::advanceClock(in, 5000);
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(72, 1, 0));
    EXPECT_EQ(buffer.entry(0).second, 5);

    // Nothing held: only the count query goes out.
    const auto before = in.linesExecuted();
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(12, 0, 0));
    EXPECT_EQ(in.linesExecuted() - before, 1u);
}

TEST(ScanApi, TheTriggerCountEndsScanning) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {201});
    in.execute("TRIG:COUN 2");
    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -213); // already scanning
    sim::advanceClock(in, 10000);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "STAT:OPER?"), "0");
    EXPECT_EQ(statusAndValue(dlxVmrGetScansCount, 1), std::pair(1, 2));
}

TEST(ScanApi, ThousandsOfScansInOneFetchWhateverTheLocale) {
    CommaLocale comma; // a decimal-comma locale when the machine has one
    ScanningInstrument s;
    auto& in = s.in();
    std::vector<int> channels(20);
    std::iota(channels.begin(), channels.end(), 101);
    sim::setScanChannels(in, channels);
    sim::setChannelValue(in, 120, -1234.25);
    sim::storeScans(in, 3000);
    ScanBuffer buffer(3000, 20);
    ASSERT_EQ(dlxVmrScansGet(1, 5000, buffer.record()), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(52 + 80, 3000, 0));
    EXPECT_EQ(buffer.reading(2999, 19), -1234.25f);
    EXPECT_EQ(buffer.entry(2999).fraction, 42);
    EXPECT_EQ(sim::storedScanCount(in), 0u);
}

} // namespace
