// scan and monitor: readings as they arrive, until the count or a stop.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"
#include "Signals.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace korda::tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kMostScans = 1000000000; // a count beyond this is a typing error
constexpr long long kMostMonitorReadings = 1000000;
constexpr long long kLongestInterval = 359999; // 99:59:59, the instrument's longest

struct ScanOptions {
    int count = 0;
    long long interval = -1; // -1: the instrument's own
    std::string path;
};

int runScan(Run& run, const ScanOptions& o) {
    StopScope scope;
    Connection& conn = run.connection;
    std::string reply;
    if (o.interval >= 0) {
        const int code = rawStep(run, "TRIG:TIM " + std::to_string(o.interval), reply);
        if (code != kExitOk) return code;
    }
    // The interval decides how long to wait for a scan before giving up.
    long long interval = o.interval;
    if (interval < 0 && conn.raw("TRIG:TIM?", reply) == DLXVMR_OK)
        interval = std::atoll(reply.c_str());
    std::vector<int> channels;
    if (conn.raw("ROUT:SCAN?", reply) == DLXVMR_OK) channels = parseChannelList(reply);

    OutputFile out(o.path);
    std::FILE* f = out.open();
    if (!f) return kExitFailure;
    CsvWriter csv(f);
    Progress progress("scan", !out.toTerminal());

    int st = dlxVmrScansClear(Connection::kBcn);
    if (st != DLXVMR_OK) return reportFailure("clearing old readings", st);
    st = dlxVmrScansEnable(Connection::kBcn, 1);
    if (st != DLXVMR_OK) return reportFailure("starting the scan", st);

    uint32_t timeoutSeconds = 10;
    dlxVmrTimeoutGet(&timeoutSeconds);
    const auto patience =
        std::max<Clock::duration>(std::chrono::seconds(timeoutSeconds + std::max(interval, 0LL)),
                                  std::chrono::milliseconds(200));
    // Asked often enough to keep up, seldom enough to leave a slow serial
    // line to the readings: a quarter of the interval, 20 to 250 ms.
    const int pollMs = static_cast<int>(std::clamp(interval * 250, 20LL, 250LL));
    std::vector<unsigned char> buffer = scanBuffer(std::min(o.count, kFetchChunk));
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    int fetched = 0;
    bool headerWritten = false;
    int result = kExitOk;
    auto lastScan = Clock::now();
    while (fetched < o.count && !stopRequested()) {
        int held = 0;
        st = dlxVmrGetScansCount(Connection::kBcn, &held);
        if (st != DLXVMR_OK) {
            result = reportFailure("counting the scans held", st);
            break;
        }
        if (held <= 0) {
            if (Clock::now() - lastScan > patience) {
                message(
                    "no scan arrived for " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(patience).count()) +
                    " ms after " + std::to_string(fetched) + " of " + std::to_string(o.count) +
                    " scans: the trigger count, source or interval of the instrument stops it");
                result = kExitInstrument;
                break;
            }
            pauseUnlessStopped(pollMs);
            continue;
        }
        const int want = std::min({held, o.count - fetched, kFetchChunk});
        st = dlxVmrScansGet(Connection::kBcn, static_cast<uint32_t>(want), record);
        if (st < DLXVMR_OK) {
            result = reportFailure("fetching scans", st);
            break;
        }
        if (record->scanCount > 0 && !headerWritten) {
            const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
            csv.header(columnsFor(channels, readings, run.config.get()));
            headerWritten = true;
        }
        if (!csv.rows(*record)) {
            result = kExitFailure;
            break;
        }
        fetched += record->scanCount;
        lastScan = Clock::now();
        progress.update(fetched, o.count);
    }
    // Stopped in every case, Ctrl-C included.
    st = dlxVmrScansEnable(Connection::kBcn, 0);
    if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("stopping the scan", st);
    if (!out.finish() && result == kExitOk) result = kExitFailure;
    if (stopRequested()) {
        message("interrupted after " + std::to_string(fetched) +
                " scans; the instrument is stopped");
        return kExitInterrupted;
    }
    return result;
}

} // namespace

Step parseScan(Args& args) {
    ScanOptions o;
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--count")
            o.count =
                static_cast<int>(number(args.value("scan --count"), 1, kMostScans, "scan --count"));
        else if (opt == "--interval")
            o.interval = number(args.value("scan --interval"), 0, kLongestInterval,
                                "scan --interval (seconds)");
        else if (opt == "-o")
            o.path = args.value("scan -o: the CSV file");
        else
            throw UsageError("scan: unknown option '" + opt + "'");
    }
    if (o.count == 0) throw UsageError("scan needs --count N");
    return instrumentStep("scan", [o](Run& run) { return runScan(run, o); });
}

Step parseMonitor(Args& args) {
    const int channel =
        static_cast<int>(number(args.value("monitor: the channel"), 1, 999, "the channel"));
    long long count = 1;
    if (args.takeIf("--count"))
        count = number(args.value("monitor --count"), 1, kMostMonitorReadings, "monitor --count");
    return instrumentStep("monitor", [channel, count](Run&) {
        StopScope scope;
        int st = dlxVmrInstMonitor(Connection::kBcn, 1, static_cast<unsigned>(channel));
        if (st != DLXVMR_OK)
            return reportFailure("monitoring channel " + std::to_string(channel), st);
        std::printf("time,%d\n", channel);
        int result = kExitOk;
        for (long long i = 0; i < count && !stopRequested(); ++i) {
            float reading = 0;
            st = dlxVmrSpyGet(Connection::kBcn * 1000 + channel, &reading);
            if (st != DLXVMR_OK) {
                result = reportFailure("reading channel " + std::to_string(channel), st);
                break;
            }
            std::printf("%s,%s\n", isoNow().c_str(), readingText(reading).c_str());
            std::fflush(stdout);
        }
        st = dlxVmrSpyEnable(Connection::kBcn, 0);
        if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("ending the monitor", st);
        return stopRequested() ? kExitInterrupted : result;
    });
}

} // namespace korda::tool
