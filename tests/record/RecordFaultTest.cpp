// korda record against korda-sim programs in numbered mode (every reading of
// the n-th scan is n), through a loopback proxy that can close, reset or
// silence the link: each fault case ends with one reconciliation of what the
// instruments produced with what the database holds.
#include "RecordHarness.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <ostream>
#include <thread>

using namespace korda::test;

namespace {

enum class Fault {
    CloseLink,      // the proxy closes both ends
    ResetLink,      // the proxy resets the recorder's end
    SilentLink,     // the proxy forwards nothing for a while
    RestartSim,     // korda-sim killed and started again on its port
    KillRecorder,   // korda killed with SIGKILL and started again
    LockDatabase,   // another process holds the database's write lock
    FillDisk,       // writes fail (a file-size limit), then work again
    PassBound,      // locked for longer than the memory bound holds
    SilentNeighbour // two instruments, the first one's link silent
};

struct FaultCase {
    const char* name;
    Fault fault;
    int starts;   // "INIT" sent to the first instrument
    int restarts; // numbering starting again at 1 (instrument restarts)
    bool gaps;    // gap events expected
};

const FaultCase kCases[] = {
    {"CloseLink", Fault::CloseLink, 1, 0, false},
    {"ResetLink", Fault::ResetLink, 1, 0, false},
    {"SilentLink", Fault::SilentLink, 1, 0, false},
    {"RestartSim", Fault::RestartSim, 2, 1, true},
    {"KillRecorder", Fault::KillRecorder, 1, 0, false},
    {"LockDatabase", Fault::LockDatabase, 1, 0, false},
    {"FillDisk", Fault::FillDisk, 1, 0, false},
    {"PassBound", Fault::PassBound, 1, 0, true},
    {"SilentNeighbour", Fault::SilentNeighbour, 1, 0, false},
};

// The case's name in test listings.
void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr int kOutageMs = 500;
constexpr int kBoundScans = 20;

class RecordFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RecordFault, LosesNothingTheInstrumentProduced) {
    const FaultCase& c = GetParam();
    RecordingBench bench(c.fault == Fault::SilentNeighbour ? 2 : 1);
    if (c.fault == Fault::PassBound)
        bench.env("KORDA_TEST_HOLD_SCANS", std::to_string(kBoundScans));
    ASSERT_TRUE(bench.startRecorder());
    ASSERT_TRUE(bench.waitForScans(0, 20)) << bench.log();
    const long long before = bench.stored(0);

    switch (c.fault) {
    case Fault::CloseLink:
    case Fault::ResetLink:
    case Fault::SilentLink:
    case Fault::SilentNeighbour: {
        const long long neighbour = bench.instruments() > 1 ? bench.stored(1) : 0;
        bench.proxy(0).cut(c.fault == Fault::CloseLink   ? Proxy::Cut::Close
                           : c.fault == Fault::ResetLink ? Proxy::Cut::Reset
                                                         : Proxy::Cut::Silence);
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        if (bench.instruments() > 1) {
            // The silent instrument stalls nothing else.
            EXPECT_GE(bench.stored(1) - neighbour, 10) << bench.log();
        }
        bench.proxy(0).restore();
        break;
    }
    case Fault::RestartSim:
        ASSERT_TRUE(bench.restartSim(0));
        break;
    case Fault::KillRecorder:
        // Killed while no fetch is under way: what it committed stays.
        bench.proxy(0).whenQuiet([&bench] { bench.stopRecorder(SIGKILL); });
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        ASSERT_TRUE(bench.startRecorder());
        break;
    case Fault::LockDatabase:
    case Fault::PassBound: {
        DatabaseLock lock(bench.database());
        ASSERT_TRUE(lock.held());
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        break;
    }
    case Fault::FillDisk: {
        // No write may grow a file past its present size.
        const long long size = bench.largestFileBytes();
        ASSERT_TRUE(bench.limitRecorderFileSize(size));
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        ASSERT_TRUE(bench.limitRecorderFileSize(RLIM_INFINITY));
        break;
    }
    }
    ASSERT_TRUE(bench.waitForScans(0, before + 40)) << bench.log();
    // Ctrl-C ends with 130, SIGTERM (a service stopped) with 0.
    const int stop = c.fault == Fault::KillRecorder ? SIGTERM : SIGINT;
    EXPECT_EQ(bench.stopRecorder(stop), stop == SIGINT ? 130 : 0) << bench.log();

    for (int i = 0; i < bench.instruments(); ++i) {
        const Reconciliation r = bench.reconcile(i);
        SCOPED_TRACE("instrument " + std::to_string(i) + "\n" + bench.log());
        EXPECT_TRUE(r.problems.empty()) << r.problems;
        EXPECT_EQ(r.restarts, i == 0 ? c.restarts : 0);
        EXPECT_EQ(r.lost, c.fault == Fault::PassBound && i == 0 ? r.lostInGaps : 0);
        if (i == 0) {
            EXPECT_EQ(r.gaps > 0, c.gaps);
            EXPECT_EQ(bench.proxy(0).lines("INIT"), c.starts);
        }
    }
    if (c.fault == Fault::PassBound) {
        EXPECT_GT(bench.reconcile(0).lost, 0);
        EXPECT_NE(bench.log().find("passed the bound of 20"), std::string::npos) << bench.log();
    }
    if (c.fault == Fault::LockDatabase || c.fault == Fault::FillDisk) {
        EXPECT_NE(bench.log().find("holding the scans in memory"), std::string::npos)
            << bench.log();
    }
    EXPECT_EQ(bench.runs(), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, RecordFault, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
