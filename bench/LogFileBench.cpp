// Log memory retrieval: a log file of about 10 MB read from the virtual
// instrument through dlxVmrScansFileGet over loopback, next to a plain socket
// read of the same reply.
#include "Instrument.h"
#include "LogMemory.h"
#include "TestSupport.h"
#include "korda32ext.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

namespace pf = korda32ex::platform;

constexpr int kBcn = 2; // the reading-retrieval benchmark holds BCN 1
constexpr int kChannels = 20;
constexpr std::size_t kFileBytes = 10'000'000;
const char* const kReadFile = "*CLS\r\nMEMory:LOG:READ? \"LOG00001.CSV\"\r\nSYST:ERR?\r\n";

// One virtual instrument, opened through the library as BCN 2, holding one
// log file of at least kFileBytes.
struct Bench {
    Bench() : session(korda::sim::Model::M7043A, kBcn) {
        auto& in = session.instrument();
        std::vector<int> channels;
        for (int i = 0; i < kChannels; ++i)
            channels.push_back(101 + i);
        korda::sim::setScanChannels(in, channels);
        korda::sim::setLogMemoryCapacity(in, 4 * kFileBytes);
        in.execute("TRIG:TIM 1");
        in.execute("DATA:LOG:AUTO 1");
        in.execute("DATA:LOG:DEST MEM");
        // Scans of 20 readings take less than 300 bytes each.
        scans = kFileBytes / 250;
        korda::sim::storeScans(in, scans);
        in.execute("DATA:CLE");
        const auto files = korda::sim::logFiles(in);
        fileBytes = files.empty() ? 0 : files.front().dataText.size();
        dlxVmrTimeoutSet(60);
    }
    korda::test::VirtualInstrumentSession session;
    std::size_t scans = 0;
    std::size_t fileBytes = 0;
};

Bench& bench() {
    static Bench b;
    return b;
}

void BM_ScansFileGet(benchmark::State& state) {
    Bench& b = bench();
    if (b.fileBytes < kFileBytes) {
        state.SkipWithError("log file too small");
        return;
    }
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(b.scans, kChannels) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    for (auto _ : state) {
        const int n =
            dlxVmrScansFileGet(kBcn, L"LOG00001.CSV", static_cast<int>(b.scans), 0, record);
        if (n != static_cast<int>(b.scans)) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.counters["scans/s"] = benchmark::Counter(static_cast<double>(b.scans),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileBytes));
}

// The same command and the same reply through a plain socket: write the
// command, read until the no-error line has arrived.
void BM_PlainSocketReadLog(benchmark::State& state) {
    Bench& b = bench();
    pf::netStartup();
    std::uint32_t loopback = 0;
    pf::parseIPv4("127.0.0.1", loopback);
    const pf::SocketHandle s = pf::socketCreate();
    pf::socketSetNonBlocking(s);
    if (pf::socketConnect(s, loopback, b.session.server().port()) == pf::ConnectStart::InProgress)
        pf::socketWaitConnected(s, 5000);
    const std::string command = kReadFile;
    const std::string end = "0,\"No error\"";
    std::vector<char> chunk(65536);
    std::string tail;
    for (auto _ : state) {
        std::size_t sent = 0;
        bool done = false;
        tail.clear();
        while (!done) {
            if (sent < command.size()) {
                const long n = pf::socketSend(s, command.data() + sent, command.size() - sent);
                if (n > 0) sent += static_cast<std::size_t>(n);
            }
            if (pf::socketWaitReadable(s, sent < command.size() ? 0 : 5000) !=
                pf::WaitResult::Ready)
                continue;
            const long n = pf::socketRecv(s, chunk.data(), chunk.size());
            if (n == pf::kIoWouldBlock) continue;
            if (n <= 0) {
                state.SkipWithError("connection lost");
                break;
            }
            // Only the last few bytes matter for the end of the reply.
            tail.append(chunk.data(), static_cast<std::size_t>(n));
            done = tail.find(end) != std::string::npos;
            if (tail.size() > 64) tail.erase(0, tail.size() - 64);
        }
    }
    pf::socketClose(s);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileBytes));
}

} // namespace

BENCHMARK(BM_ScansFileGet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainSocketReadLog)->Unit(benchmark::kMillisecond)->UseRealTime();
