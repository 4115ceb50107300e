// Scale and endurance through the exported interface: 64 virtual instruments
// open in one process, each scanning and fetched from, and many open/close
// cycles against the korda-sim program (the library's side and the
// program's). Descriptors, threads and resident memory are measured at the
// start and the end, printed, and must stay flat.
//
// The normal suite runs short versions; the slow CI step (KORDA_SLOW_TESTS=1)
// runs long ones.
#include "ProcessUsage.h"
#include "ScanBuffer.h"
#include "ScanModel.h"
#include "SimProcess.h"
#include "SlowTests.h"
#include "TestSupport.h"
#include "korda32ext.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace korda;
using test::slowOr;

namespace {

// Resident memory of a process, in KiB, from its status file in /proc.
long residentKiB(const std::string& statusFile) {
    std::ifstream status(statusFile);
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return -1;
}

struct Usage {
    int descriptors = 0;
    int threads = 0;
    long rssKiB = 0;
};

Usage ownUsage() {
    return {openDescriptors(), threadCount(), residentKiB("/proc/self/status")};
}

// Prints both measurements and checks they stay flat: the same descriptors
// and threads, resident memory grown by less than growthKiB.
void expectFlat(const char* what, const Usage& start, const Usage& end, long growthKiB) {
    std::printf("%s: descriptors %d -> %d, threads %d -> %d, resident %ld -> %ld KiB\n", what,
                start.descriptors, end.descriptors, start.threads, end.threads, start.rssKiB,
                end.rssKiB);
    EXPECT_EQ(end.descriptors, start.descriptors) << what;
    EXPECT_EQ(end.threads, start.threads) << what;
    EXPECT_LT(end.rssKiB - start.rssKiB, growthKiB) << what;
}

} // namespace

TEST(Soak, SixtyFourInstrumentsScanAndAreFetched) {
    constexpr int kInstruments = 64;
    constexpr int kThreads = 8;
    const int rounds = slowOr(1, 40);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    std::vector<std::unique_ptr<sim::Instrument>> instruments;
    std::vector<std::unique_ptr<sim::TcpServer>> servers;
    for (int i = 0; i < kInstruments; ++i) {
        instruments.push_back(std::make_unique<sim::Instrument>(sim::Model::M7043A));
        servers.push_back(std::make_unique<sim::TcpServer>(*instruments.back()));
        sim::setScanChannels(*instruments.back(), {101, 102, 103});
        instruments.back()->execute("TRIG:TIM 1");
        instruments.back()->execute("TRIG:COUN 0");
    }
    // Eight threads share the instruments, each working with every eighth.
    const auto onThreads = [&](auto body) {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = t; i < kInstruments; i += kThreads)
                    body(i);
            });
        for (auto& thread : threads)
            thread.join();
    };
    onThreads([&](int i) {
        EXPECT_EQ(test::openLoopback(i + 1, servers[static_cast<std::size_t>(i)]->port()), 1) << i;
        EXPECT_EQ(dlxVmrScansEnable(i + 1, 1), 1) << i;
    });
    const auto round = [&] {
        onThreads([&](int i) {
            sim::advanceClock(*instruments[static_cast<std::size_t>(i)], 3000);
            int count = 0;
            EXPECT_EQ(dlxVmrGetScansCount(i + 1, &count), 1) << i;
            EXPECT_GE(count, 3) << i;
            test::ScanBuffer buffer(3, 3);
            EXPECT_EQ(dlxVmrScansGet(i + 1, 3, buffer.record()), 1) << i;
            EXPECT_EQ(buffer.record()->scanCount, 3) << i;
        });
    };
    round(); // the first round allocates what every later round reuses
    const Usage start = ownUsage();
    for (int r = 0; r < rounds; ++r)
        round();
    expectFlat("64 instruments", start, ownUsage(), 8 * 1024);
    onThreads([&](int i) {
        EXPECT_EQ(dlxVmrScansEnable(i + 1, 0), 1);
        EXPECT_EQ(dlxVmrCommClose(i + 1), 1);
    });
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

#ifndef _WIN32

namespace {

// Descriptors, threads and resident memory of another process.
Usage programUsage(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid);
    return {countEntries((dir + "/fd").c_str()), countEntries((dir + "/task").c_str()),
            residentKiB(dir + "/status")};
}

} // namespace

TEST(Soak, OpenCloseCyclesAgainstTheVirtualInstrumentProgram) {
    const int cycles = slowOr(20, 10000);
    test::SimProcess sim;
    ASSERT_NE(sim.port(), 0) << "korda-sim did not start";
    // Idle, the program runs its main and its listening thread.
    const int idleThreads = programUsage(sim.pid()).threads;
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    // A first few cycles set up what every later one reuses (the memory
    // arenas of the program's connection threads).
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(test::openLoopback(1, sim.port()), 1);
        ASSERT_EQ(dlxVmrCommClose(1), 1);
    }
    // The program joins the thread of an ended connection within its poll
    // interval; both sides are measured with no connection open.
    const auto settled = [&] {
        test::waitUntil([&] { return programUsage(sim.pid()).threads <= idleThreads; }, 10000);
        return std::pair{ownUsage(), programUsage(sim.pid())};
    };
    const auto [library, program] = settled();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_EQ(dlxVmrCommOpen(1), 1) << i;
        ASSERT_EQ(dlxVmrCommClose(1), 1) << i;
    }
    const auto [libraryEnd, programEnd] = settled();
    std::printf("%d open/close cycles\n", cycles);
    expectFlat("library", library, libraryEnd, 4 * 1024);
    expectFlat("korda-sim", program, programEnd, 4 * 1024);
    EXPECT_EQ(programEnd.threads, idleThreads);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

#endif
