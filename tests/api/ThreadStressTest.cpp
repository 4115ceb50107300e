// Many threads through the exported interface at once, against virtual
// instruments: on one BCN with a time-limit change, a close or a library stop
// racing the calls (threads on separate BCNs: SoakTest). The
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

// Runs ok(thread, i) for each call of kThreads - 1 callers while race()
// runs here; returns how many calls and races failed.
template <class Ok, class Race> int raceCallers(Ok ok, Race race) {
    std::atomic<bool> stop{false};
    std::atomic<int> failed{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads - 1; ++t)
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCallsPerThread && !stop; ++i)
                if (!ok(t, i)) ++failed;
        });
    failed += race();
    stop = true;
    for (auto& c : callers)
        c.join();
    return failed.load();
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

TEST(Threads, CloseAndReopenRaceRunningCalls) {
    test::VirtualInstrumentSession s;
    ASSERT_EQ(s.openStatus(), 1);
    EXPECT_EQ(raceCallers(
                  [](int, int i) {
                      const int st = mixedCall(1, i);
                      return st == 1 || st == DLXVMR_E_NOT_OPEN;
                  },
                  [] {
                      int failed = 0;
                      for (int i = 0; i < kRaces; ++i)
                          failed += (dlxVmrCommClose(1) != 1) + (dlxVmrCommOpen(1) != 1);
                      return failed;
                  }),
              0);
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
    const auto call = [&](int t, int i) {
        if (t == 0 && i % 50 == 0) return allowed.count(openLoopback(1, server.port())) > 0;
        if (t == 1 && i % 50 == 0) return allowed.count(dlxVmrTimeoutSet(5)) > 0;
        return allowed.count(mixedCall(1, i)) > 0;
    };
    EXPECT_EQ(raceCallers(call,
                          [&] {
                              for (int i = 0; i < kRaces; ++i) {
                                  dlxVmrLibExit();
                                  dlxVmrLibInit(0);
                                  openLoopback(1, server.port());
                              }
                              return 0;
                          }),
              0);
    dlxVmrCommClose(1);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}
