// Whole-configuration apply: dlxVmrConfigSet of a full three-module 5129A
// record against the virtual instrument over loopback, next to its floor
// measured in the same run (one plain-socket round trip and one 10 ms
// drain per exchange, the 1000 ms pause and the final drain), and the build
// of the command list alone.
#include "FullRecord.h"
#include "Instrument.h"
#include "TestSupport.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "config/InstConfigProcessor.h"
#include "config/ShuntConversion.h"
#include "korda32ext.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

namespace pf = korda32ex::platform;

constexpr int kModel = DLXVMR_MODEL_5129A;
constexpr std::uint32_t kSettleMs = 1000;
constexpr std::uint32_t kDrainMs = 10;

struct ApplyBench {
    ApplyBench() : session(korda::sim::Model::M5129A, 1), record(korda::test::fullRecord(kModel)) {
        // The command list, to count the exchanges of one apply.
        auto transport = std::make_shared<korda32ex::TCPCommunication>(
            session.server().port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
        transport->open(5000);
        korda32ex::SCPIHandler handler(std::move(transport));
        auto working = std::make_unique<VmrInstConfig>();
        auto application = std::make_unique<VmrInstConfig>(*record);
        korda32ex::convertShuntChannels(*application, *working, kModel);
        std::string text;
        int code = 0;
        korda32ex::InstConfigProcessor(handler, kModel)
            .buildCommands(*working, commands, text, code);
        batches = (commands.size() + korda32ex::SCPIHandler::kBatchSize - 1) /
                  korda32ex::SCPIHandler::kBatchSize;
    }
    korda::test::VirtualInstrumentSession session;
    std::unique_ptr<VmrInstConfig> record;
    korda32ex::CommandList commands;
    std::size_t batches = 0;
};

ApplyBench& bench() {
    static ApplyBench b;
    return b;
}

void counters(benchmark::State& state, const ApplyBench& b) {
    state.counters["commands"] = static_cast<double>(b.commands.size());
    state.counters["batches"] = static_cast<double>(b.batches);
}

void BM_ConfigSet(benchmark::State& state) {
    ApplyBench& b = bench();
    for (auto _ : state) {
        if (dlxVmrConfigSet(1, b.record.get(), 0, nullptr) != 1) {
            state.SkipWithError("dlxVmrConfigSet failed");
            break;
        }
    }
    counters(state, b);
}

// What no apply can beat: per exchange ("*OPT?", "ROUT:SCAN?", every batch,
// the fingerprint's store) one loopback round trip and the 10 ms wait of the
// drain before it, then the pause and the drain after it.
void BM_ConfigSetFloor(benchmark::State& state) {
    ApplyBench& b = bench();
    const std::size_t exchanges = 2 + b.batches + 1;
    pf::netStartup();
    std::uint32_t loopback = 0;
    pf::parseIPv4("127.0.0.1", loopback);
    const pf::SocketHandle s = pf::socketCreate();
    pf::socketSetNonBlocking(s);
    if (pf::socketConnect(s, loopback, b.session.server().port()) == pf::ConnectStart::InProgress)
        pf::socketWaitConnected(s, 5000);
    const std::string query = "*OPC?\n";
    char chunk[256];
    for (auto _ : state) {
        for (std::size_t e = 0; e < exchanges; ++e) {
            pf::socketWaitReadable(s, kDrainMs); // the drain: nothing arrives
            pf::socketSend(s, query.data(), query.size());
            bool replied = false;
            while (!replied) {
                if (pf::socketWaitReadable(s, 5000) != pf::WaitResult::Ready) break;
                const long n = pf::socketRecv(s, chunk, sizeof chunk);
                replied = n > 0 && chunk[n - 1] == '\n';
            }
        }
        pf::sleepMs(kSettleMs);
        pf::socketWaitReadable(s, kDrainMs);
    }
    pf::socketClose(s);
    counters(state, b);
}

// Shunt conversion and the whole command list of the full record, without
// the instrument.
void BM_BuildCommands(benchmark::State& state) {
    ApplyBench& b = bench();
    auto transport = std::make_shared<korda32ex::TCPCommunication>(
        b.session.server().port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
    transport->open(5000);
    korda32ex::SCPIHandler handler(std::move(transport));
    korda32ex::InstConfigProcessor processor(handler, kModel);
    auto application = std::make_unique<VmrInstConfig>(*b.record);
    auto working = std::make_unique<VmrInstConfig>();
    std::string text;
    int code = 0;
    for (auto _ : state) {
        korda32ex::convertShuntChannels(*application, *working, kModel);
        korda32ex::CommandList commands;
        processor.buildCommands(*working, commands, text, code);
        benchmark::DoNotOptimize(commands.data());
    }
    counters(state, b);
}

} // namespace

BENCHMARK(BM_ConfigSet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ConfigSetFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BuildCommands)->Unit(benchmark::kMicrosecond);
