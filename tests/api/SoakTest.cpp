// Scale and endurance through the exported interface: 64 virtual instruments
// open in one process, each scanning and fetched from, and many open/close
// cycles against one instrument. Descriptors, threads and resident memory
// are measured at the start and the end, printed, and must stay flat.
//
// KORDA_SOAK_ROUNDS and KORDA_SOAK_CYCLES lengthen the runs (the slow CI step
// does); the defaults keep the normal suite quick.
#include "ProcessUsage.h"
#include "ScanBuffer.h"
#include "ScanModel.h"
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

namespace {

// Resident memory of this process, in KiB.
long residentKiB() {
    std::ifstream status("/proc/self/status");
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
    int descriptors = openDescriptors();
    int threads = threadCount();
    long rssKiB = residentKiB();
};

int fromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
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
    const int rounds = fromEnvironment("KORDA_SOAK_ROUNDS", 3);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    std::vector<std::unique_ptr<sim::Instrument>> instruments;
    std::vector<std::unique_ptr<sim::TcpServer>> servers;
    for (int i = 0; i < kInstruments; ++i) {
        instruments.push_back(std::make_unique<sim::Instrument>(sim::Model::M7043A));
        servers.push_back(std::make_unique<sim::TcpServer>(*instruments.back()));
        sim::setScanChannels(*instruments.back(), {101, 102, 103});
        instruments.back()->execute("TRIG:TIM 1");
        instruments.back()->execute("TRIG:COUN 0");
        ASSERT_EQ(test::openLoopback(i + 1, servers.back()->port()), 1) << i;
        ASSERT_EQ(dlxVmrScansEnable(i + 1, 1), 1) << i;
    }
    // Eight threads share the instruments, each fetching from every eighth.
    const auto round = [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                for (int i = t; i < kInstruments; i += 8) {
                    sim::advanceClock(*instruments[static_cast<std::size_t>(i)], 3000);
                    int count = 0;
                    EXPECT_EQ(dlxVmrGetScansCount(i + 1, &count), 1) << i;
                    EXPECT_GE(count, 3) << i;
                    test::ScanBuffer buffer(3, 3);
                    EXPECT_EQ(dlxVmrScansGet(i + 1, 3, buffer.record()), 1) << i;
                    EXPECT_EQ(buffer.record()->scanCount, 3) << i;
                }
            });
        for (auto& thread : threads)
            thread.join();
    };
    round(); // the first round allocates what every later round reuses
    const Usage start;
    for (int r = 0; r < rounds; ++r)
        round();
    expectFlat("64 instruments", start, Usage{}, 8 * 1024);
    for (int i = 0; i < kInstruments; ++i) {
        EXPECT_EQ(dlxVmrScansEnable(i + 1, 0), 1);
        EXPECT_EQ(dlxVmrCommClose(i + 1), 1);
    }
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

TEST(Soak, OpenCloseCyclesLeaveNothingBehind) {
    const int cycles = fromEnvironment("KORDA_SOAK_CYCLES", 200);
    sim::Instrument instrument(sim::Model::M7043A);
    sim::TcpServer server(instrument);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    ASSERT_EQ(test::openLoopback(1, server.port()), 1);
    ASSERT_EQ(dlxVmrCommClose(1), 1);
    // The server joins the thread of an ended connection within its poll
    // interval; both sides are measured with no connection open.
    const auto settled = [&] {
        for (int i = 0; i < 200 && server.connectionThreads() > 0; ++i)
            korda32ex::platform::sleepMs(5);
        return Usage{};
    };
    const Usage start = settled();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_EQ(dlxVmrCommOpen(1), 1) << i;
        ASSERT_EQ(dlxVmrCommClose(1), 1) << i;
    }
    const Usage end = settled();
    expectFlat("open/close cycles", start, end, 4 * 1024);
    EXPECT_EQ(server.connectionThreads(), 0u);
    EXPECT_EQ(server.connectionsAccepted(), cycles + 1);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}
