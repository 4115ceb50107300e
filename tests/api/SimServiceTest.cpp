// The virtual instrument as a service, through real connections: "*OPC?"
// waits without holding the instrument, input and connections are bounded,
// clients that never read hold nothing up; and the korda-sim program's
// options, numbered scans, fast clock, termination and restart.
#include "KordaRun.h"
#include "ScanModel.h"
#include "SimProcess.h"
#include "TestSupport.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace korda;
namespace pf = korda32ex::platform;
using test::LoopbackClient;

namespace {

constexpr unsigned kBoundMs = 5000; // far beyond any answer: proves "no hang"
const std::string kIdn = "KORDA-SIM,5129A,SIM00001,1.00\n";
// A run of one-second sweeps whose end lies days away.
const std::string kLongRun = "ROUT:SCAN (@101)\nTRIG:TIM 1\nTRIG:COUN 99999\nINIT\n";

// A virtual instrument of the default model on loopback, its clock running
// `speed` times as fast as real time.
struct Served {
    explicit Served(int speed = 1) {
        std::lock_guard<std::recursive_mutex> g(instrument.mutex());
        instrument.clock.setRate(speed);
    }
    sim::Instrument instrument{sim::kDefaultModel};
    sim::TcpServer server{instrument};
};

TEST(SimService, OpcWaitsWithoutHoldingTheInstrument) {
    enum class End { RunOver, AbortElsewhere, WaiterCloses, Shutdown };
    for (const End end : {End::RunOver, End::AbortElsewhere, End::WaiterCloses, End::Shutdown}) {
        SCOPED_TRACE(static_cast<int>(end));
        Served s(end == End::RunOver ? 1000 : 1);
        LoopbackClient waiter(s.server.port()), other(s.server.port());
        // The lines behind "*OPC?" are answered after it, in order.
        waiter.send(
            (end == End::RunOver ? "ROUT:SCAN (@101)\nTRIG:TIM 1\nTRIG:COUN 3\nINIT\n" : kLongRun) +
            "*OPC?\n*IDN?\n");
        if (end != End::RunOver) {
            // The run has begun (the wait follows at once): an ABORt sent
            // before it would leave the wait to the whole run.
            ASSERT_TRUE(test::waitUntil([&] { return sim::scanning(s.instrument); }, kBoundMs));
            EXPECT_EQ(other.ask("*IDN?\n"), kIdn);
        }
        const std::uint32_t start = pf::tickCount();
        switch (end) {
        case End::RunOver:
            break;
        case End::AbortElsewhere:
            other.send("ABOR\n");
            break;
        case End::WaiterCloses:
            waiter.close();
            EXPECT_TRUE(
                test::waitUntil([&] { return s.server.connectionThreads() == 1; }, kBoundMs));
            EXPECT_EQ(other.ask("*IDN?\n"), kIdn);
            break;
        case End::Shutdown:
            s.server.stop();
            EXPECT_LT(pf::tickCount() - start, kBoundMs);
            EXPECT_TRUE(waiter.endedWithin(kBoundMs));
            break;
        }
        if (end == End::RunOver || end == End::AbortElsewhere) {
            EXPECT_EQ(waiter.lines(2), "1\n" + kIdn);
        }
    }
}

TEST(SimService, AnInputLineLongerThanOneMebibyteIsDroppedToItsEnd) {
    Served s;
    LoopbackClient client(s.server.port());
    for (const std::size_t length :
         {sim::Session::kMaxLineBytes, sim::Session::kMaxLineBytes + 1}) {
        std::string line = "*IDN?";
        line.resize(length, ' '); // blanks after a header are no arguments
        const bool fits = length == sim::Session::kMaxLineBytes;
        // The carriage return is no part of the line; the line after is served.
        EXPECT_EQ(client.ask(line + "\r\nSYST:ERR?\n", fits ? 2 : 1),
                  (fits ? kIdn : "") +
                      (fits ? "0,\"No error\"\n" : "-363,\"Input buffer overrun\"\n"));
    }
}

TEST(SimService, ConnectionsBeyondTheLimitAreClosed) {
    Served s;
    s.server.setConnectionLimit(2);
    auto first = std::make_unique<LoopbackClient>(s.server.port());
    LoopbackClient second(s.server.port());
    EXPECT_EQ(first->ask("*IDN?\n"), kIdn);
    EXPECT_EQ(second.ask("*IDN?\n"), kIdn);
    EXPECT_TRUE(LoopbackClient(s.server.port()).endedWithin(kBoundMs));
    first.reset();
    EXPECT_TRUE(test::waitUntil([&] { return s.server.connectionThreads() == 1; }, kBoundMs));
    EXPECT_EQ(LoopbackClient(s.server.port()).ask("*IDN?\n"), kIdn);
    EXPECT_EQ(s.server.connectionsAccepted(), 3);
}

#ifndef _WIN32

TEST(SimProgram, OptionsAreParsedStrictly) {
    test::TempDir dir;
    const auto sim = [&dir](const std::string& options) {
        return test::runKorda(dir, options, "", "", KORDA_SIM_PROGRAM);
    };
    for (const auto& c : test::goldenRows("tool/sim-bad-options.txt")) { // options, message
        const auto r = sim(c.at(0));
        EXPECT_EQ(r.code, 2) << c.at(0);
        EXPECT_NE(r.err.find(c.at(1)), std::string::npos) << c.at(0) << ": " << r.err;
    }
    const auto r = sim("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("--numbered"), std::string::npos) << r.out;
}

TEST(SimProgram, EndsPromptlyOnSigtermWhateverItsClientsDo) {
    for (const bool neverReads : {false, true}) {
        test::SimProcess sim;
        ASSERT_NE(sim.port(), 0);
        LoopbackClient client(sim.port()), other(sim.port());
        if (neverReads) {
            // Sent until the program stops taking input: it waits to write replies.
            std::string queries;
            for (int i = 0; i < 1000000; ++i)
                queries += "*IDN?\n";
            client.send(queries);
        } else {
            client.send(kLongRun + "*OPC?\n");
        }
        EXPECT_EQ(other.ask("*IDN?\n"), kIdn) << neverReads;
        const std::uint32_t start = pf::tickCount();
        EXPECT_EQ(sim.stop(SIGTERM, kBoundMs), 0) << neverReads;
        EXPECT_LT(pf::tickCount() - start, kBoundMs);
    }
}

// An hour of one-second sweeps at 100000 times real time, every reading the
// number of its scan; killed, the program starts again on the same port.
TEST(SimProgram, NumberedScansOnAFastClockThenARestartOnTheSamePort) {
    constexpr int kScans = 3600;
    auto sim = std::make_unique<test::SimProcess>(
        std::vector<std::string>{"--port", "0", "--numbered", "--speed", "100000"});
    const std::uint16_t port = sim->port();
    ASSERT_NE(port, 0);
    // The run goes on with no client connected.
    EXPECT_EQ(
        LoopbackClient(port).ask(
            "ROUT:SCAN (@101,102)\nTRIG:TIM 1\nTRIG:COUN 3600\nFORM:READ:TIME 1\nINIT\n*IDN?\n"),
        kIdn);
    LoopbackClient client(port);
    EXPECT_EQ(client.ask("*OPC?\nDATA:POIN?\n", 2), "1\n3600\n");
    std::string reads;
    for (int n = 0; n < kScans; ++n)
        reads += "DATA:READ?\n";
    client.send(reads);
    int first[6] = {}, last[6] = {};
    for (int n = 1; n <= kScans; ++n) {
        const std::string line = client.lines(1);
        int fields[6] = {}; // year, month, day, hour, minute, second
        double a = 0, b = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%le,%le,%d,%d,%d,%d,%d,%d", &a, &b, &fields[0],
                              &fields[1], &fields[2], &fields[3], &fields[4], &fields[5]),
                  8)
            << line;
        ASSERT_EQ(a, n) << line;
        ASSERT_EQ(b, n) << line;
        std::copy(fields, fields + 6, n == 1 ? first : last);
    }
    const auto secondOfDay = [](const int* f) { return (f[3] * 60 + f[4]) * 60 + f[5]; };
    EXPECT_EQ((secondOfDay(last) - secondOfDay(first) + 86400) % 86400, kScans - 1);
    EXPECT_EQ(sim->stop(SIGKILL, kBoundMs), 128 + SIGKILL);
    sim = std::make_unique<test::SimProcess>(
        std::vector<std::string>{"--port", std::to_string(port)});
    EXPECT_EQ(sim->port(), port);
    EXPECT_EQ(LoopbackClient(port).ask("*IDN?\n"), kIdn);
}

// Virtual memory of a process in bytes, from its status file.
std::uint64_t virtualBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string word;
    std::uint64_t kib = 0;
    while (status >> word)
        if (word == "VmSize:" && status >> kib) break;
    return kib * 1024;
}

TEST(SimProgram, AConnectionWithoutAThreadIsClosedAndTheProgramGoesOn) {
    test::SimProcess sim;
    ASSERT_NE(sim.port(), 0);
    LoopbackClient first(sim.port());
    EXPECT_EQ(first.ask("*IDN?\n"), kIdn);
    const std::uint64_t size = virtualBytes(sim.pid());
    // A sanitizer's shadow memory reserves terabytes, and its runtime needs more.
    if (size > (std::uint64_t{1} << 40)) GTEST_SKIP() << "under a sanitizer";
    // No room left for the stack of another thread.
    rlimit old{}, tight{};
    ASSERT_EQ(::prlimit(sim.pid(), RLIMIT_AS, nullptr, &old), 0);
    tight = {size + (1 << 20), old.rlim_max};
    ASSERT_EQ(::prlimit(sim.pid(), RLIMIT_AS, &tight, nullptr), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(LoopbackClient(sim.port()).endedWithin(kBoundMs)) << i;
    EXPECT_EQ(first.ask("*IDN?\n"), kIdn);
    ASSERT_EQ(::prlimit(sim.pid(), RLIMIT_AS, &old, nullptr), 0);
    EXPECT_EQ(LoopbackClient(sim.port()).ask("*IDN?\n"), kIdn);
    EXPECT_EQ(sim.stop(SIGTERM, kBoundMs), 0);
}

#endif

} // namespace
