// Many threads through the exported interface at once, against virtual
// instruments: on one BCN with a time-limit change racing the calls, on
// separate BCNs, with a close and a library stop racing the calls. The
// ThreadSanitizer build runs these to prove the library's shared state is
// guarded; the normal build proves every call still gets an answer or a
// clean status.
//
// Each thread makes 2000 calls in the slow CI step (KORDA_SLOW_TESTS=1; the
// ThreadSanitizer build runs that), 100 in the normal suite. Most of them go
// through the whole call frame (library lookup, instrument lookup, the
// instrument's lock) but stop before the wire; every 100th is a real
// exchange. An exchange starts with a short look for stale input, so
// thousands of them per thread would only measure that wait.
#include "SlowTests.h"
#include "TestSupport.h"
#include "korda32ext.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace korda;
using korda::test::openLoopback;

namespace {

constexpr int kThreads = 8;
const int kCallsPerThread = test::slowOr(100, 2000);
// Closes, reopens and library restarts that race the calls.
const int kRaces = test::slowOr(5, 20);
constexpr int kExchangeEvery = 100;

// One call of the mix: a real exchange every kExchangeEvery-th call, else a
// call that is turned away inside the instrument's frame, or a library-level
// call. Returns the status.
int mixedCall(int bcn, int i) {
    int value = 0;
    uint32_t seconds = 0;
    char text[64];
    switch (i % kExchangeEvery == 0 ? 0 : 1 + i % 3) {
    case 0:
        return dlxVmrDIOGet(bcn, &value);
    case 1: {
        // Checked for the open instrument before the argument: -2 only once
        // the instrument was found and its lock taken.
        const int st = dlxVmrDIOGet(bcn, nullptr);
        return st == DLXVMR_E_INVALID_PARAMETER ? 1 : st;
    }
    case 2:
        return dlxVmrTimeoutGet(&seconds);
    default:
        dlxVmrGetErrorStringA(-1015, text, sizeof text);
        return 1;
    }
}

// Runs body(thread index) on kThreads threads and waits for them.
template <class Body> void onThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&body, t] { body(t); });
    for (auto& thread : threads)
        thread.join();
}

} // namespace

// A time-limit change races the calls too.
TEST(Threads, ManyThreadsShareOneInstrument) {
    test::VirtualInstrumentSession s;
    ASSERT_EQ(s.openStatus(), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread setter([&] {
        for (uint32_t i = 0; !stop; ++i)
            if (dlxVmrTimeoutSet(5 + i % 5) != 1) ++failures;
    });
    onThreads([&](int) {
        for (int i = 0; i < kCallsPerThread; ++i)
            if (mixedCall(1, i) != 1) ++failures;
    });
    stop = true;
    setter.join();
    EXPECT_EQ(failures.load(), 0);
    int value = 0;
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
}

TEST(Threads, EachThreadItsOwnInstrument) {
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    std::vector<std::unique_ptr<sim::Instrument>> instruments;
    std::vector<std::unique_ptr<sim::TcpServer>> servers;
    for (int t = 0; t < kThreads; ++t) {
        instruments.push_back(std::make_unique<sim::Instrument>(sim::Model::M7043A));
        servers.push_back(std::make_unique<sim::TcpServer>(*instruments.back()));
        ASSERT_EQ(openLoopback(t + 1, servers.back()->port()), 1);
    }
    std::atomic<int> failures{0};
    onThreads([&](int t) {
        for (int i = 0; i < kCallsPerThread; ++i)
            if (mixedCall(t + 1, i) != 1) ++failures;
    });
    EXPECT_EQ(failures.load(), 0);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(dlxVmrCommClose(t + 1), 1);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

TEST(Threads, CloseAndReopenRaceRunningCalls) {
    test::VirtualInstrumentSession s;
    ASSERT_EQ(s.openStatus(), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads - 1; ++t)
        callers.emplace_back([&] {
            for (int i = 0; i < kCallsPerThread && !stop; ++i) {
                const int st = mixedCall(1, i);
                if (st != 1 && st != DLXVMR_E_NOT_OPEN) ++unexpected;
            }
        });
    for (int i = 0; i < kRaces; ++i) {
        const int closed = dlxVmrCommClose(1);
        const int opened = dlxVmrCommOpen(1);
        if (closed != 1 || opened != 1) ++unexpected;
    }
    stop = true;
    for (auto& c : callers)
        c.join();
    EXPECT_EQ(unexpected.load(), 0);
    int value = 0;
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
}

TEST(Threads, LibraryStopRacesEverything) {
    sim::Instrument instrument(sim::Model::M7043A);
    sim::TcpServer server(instrument);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    ASSERT_EQ(openLoopback(1, server.port()), 1);
    // Whatever a call meets (a running library, a stopped one, a BCN not
    // open), it answers with one of these.
    const std::set<int> allowed{1, -1, DLXVMR_E_NOT_INITIALIZED, DLXVMR_E_NOT_OPEN,
                                DLXVMR_E_ALREADY_OPEN};
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads - 1; ++t)
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCallsPerThread && !stop; ++i) {
                int st = mixedCall(1, i);
                if (t == 0 && i % 50 == 0) st = openLoopback(1, server.port());
                if (t == 1 && i % 50 == 0) st = dlxVmrTimeoutSet(5);
                if (!allowed.count(st)) ++unexpected;
            }
        });
    for (int i = 0; i < kRaces; ++i) {
        dlxVmrLibExit();
        dlxVmrLibInit(0);
        openLoopback(1, server.port());
    }
    stop = true;
    for (auto& c : callers)
        c.join();
    EXPECT_EQ(unexpected.load(), 0);
    dlxVmrCommClose(1);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}
