// Reading retrieval: dlxVmrScansGet fetching 10000 scans of 20 readings from
// the virtual instrument over loopback, next to a plain socket read of the
// same reply, and the parse rate of ScansProcessor.parseResponse alone. The
// fetch runs with no trace ever registered, with a trace registered and
// switched off again, and with a trace that counts the lines.
#include "Instrument.h"
#include "TestSupport.h"
#include "korda32ext.h"
#include "platform/platform.h"
#include "scan/ScansProcessor.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

namespace pf = korda32ex::platform;

constexpr std::size_t kScans = 10000;
constexpr int kChannels = 20;

std::vector<int> channels() {
    std::vector<int> c;
    for (int i = 0; i < kChannels; ++i)
        c.push_back(101 + i);
    return c;
}

// One virtual instrument, opened through the library as BCN 1.
struct Bench {
    Bench() : session(korda::sim::Model::M7043A, 1) {
        auto& in = session.instrument();
        korda::sim::setScanChannels(in, channels());
        in.execute("FORM:READ:TIME 1");
        in.execute("FORM:READ:ALAR 1");
        dlxVmrTimeoutSet(60);
    }
    korda::sim::Instrument& in() { return session.instrument(); }
    korda::test::VirtualInstrumentSession session;
};

Bench& bench() {
    static Bench b;
    return b;
}

// The bytes of one whole fetch's reply, for the byte counters.
std::size_t replyBytes(korda::sim::Instrument& in) {
    korda::sim::storeScans(in, kScans);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < kScans; ++i)
        bytes += in.execute("DATA:READ?").front().size() + 2;
    return bytes;
}

enum TraceMode { kNoTrace = 0, kTraceOff = 1, kTraceOn = 2 };

void KORDA_CALL countLine(void* context, int, int, const char*, uint32_t length) {
    *static_cast<std::size_t*>(context) += length;
}

void BM_ScansGet(benchmark::State& state) {
    Bench& b = bench();
    std::size_t traced = 0;
    const auto mode = static_cast<TraceMode>(state.range(0));
    if (mode != kNoTrace) dlxVmrTraceSet(countLine, &traced);
    if (mode == kTraceOff) dlxVmrTraceSet(nullptr, nullptr);
    const std::size_t bytes = replyBytes(b.in());
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(kScans, kChannels) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    for (auto _ : state) {
        state.PauseTiming();
        korda::sim::storeScans(b.in(), kScans);
        state.ResumeTiming();
        const int st = dlxVmrScansGet(1, kScans, record);
        if (st != 1 || record->scanCount != static_cast<int>(kScans)) {
            state.SkipWithError("fetch failed");
            break;
        }
    }
    dlxVmrTraceSet(nullptr, nullptr);
    if ((mode == kTraceOn) != (traced > 0)) state.SkipWithError("trace not as set");
    state.counters["scans/s"] = benchmark::Counter(static_cast<double>(kScans),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The same queries and the same reply through a plain socket: write all
// queries, read until every reply line has arrived.
void BM_PlainSocketRead(benchmark::State& state) {
    Bench& b = bench();
    const std::size_t bytes = replyBytes(b.in());
    pf::netStartup();
    std::uint32_t loopback = 0;
    pf::parseIPv4("127.0.0.1", loopback);
    const pf::SocketHandle s = pf::socketCreate();
    pf::socketSetNonBlocking(s);
    if (pf::socketConnect(s, loopback, b.session.server().port()) == pf::ConnectStart::InProgress)
        pf::socketWaitConnected(s, 5000);
    std::string queries;
    for (std::size_t i = 0; i < kScans; ++i)
        queries += "DATA:READ?\r\n";
    std::vector<char> chunk(65536);
    for (auto _ : state) {
        state.PauseTiming();
        korda::sim::storeScans(b.in(), kScans);
        state.ResumeTiming();
        std::size_t sent = 0, lines = 0;
        while (lines < kScans) {
            if (sent < queries.size()) {
                const long n = pf::socketSend(s, queries.data() + sent, queries.size() - sent);
                if (n > 0) sent += static_cast<std::size_t>(n);
            }
            if (pf::socketWaitReadable(s, sent < queries.size() ? 0 : 5000) !=
                pf::WaitResult::Ready)
                continue;
            const long n = pf::socketRecv(s, chunk.data(), chunk.size());
            if (n == pf::kIoWouldBlock) continue;
            if (n <= 0) {
                state.SkipWithError("connection lost");
                break;
            }
            for (long i = 0; i < n; ++i)
                lines += chunk[static_cast<std::size_t>(i)] == '\n';
        }
    }
    pf::socketClose(s);
    state.counters["scans/s"] = benchmark::Counter(static_cast<double>(kScans),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_ParseResponse(benchmark::State& state) {
    Bench& b = bench();
    korda::sim::storeScans(b.in(), kScans);
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < kScans; ++i) {
        lines.push_back(b.in().execute("DATA:READ?").front() + ",");
        bytes += lines.back().size();
    }
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(kScans, kChannels) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    korda32ex::ScansProcessor processor;
    std::string text;
    int code = 0;
    for (auto _ : state) {
        record->entrySize = 12;
        record->scanCount = 0;
        for (const auto& line : lines) {
            if (!processor.parseResponse(line, record, text, code)) {
                state.SkipWithError("parse failed");
                return;
            }
            ++record->scanCount;
        }
        benchmark::DoNotOptimize(record->scanCount);
    }
    state.counters["scans/s"] = benchmark::Counter(static_cast<double>(kScans),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

} // namespace

BENCHMARK(BM_ScansGet)
    ->ArgName("trace") // 0 never registered, 1 registered and switched off, 2 on
    ->Arg(kNoTrace)
    ->Arg(kTraceOff)
    ->Arg(kTraceOn)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlainSocketRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseResponse)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
