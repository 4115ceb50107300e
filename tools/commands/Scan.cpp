// scan and monitor: readings as they arrive, until the count or a stop.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"
#include "Pump.h"
#include "Signals.h"
#include "store/CsvStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>

namespace korda::tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kMostScans = 1000000000; // a count beyond this is a typing error
constexpr long long kMostMonitorReadings = 1000000000;
constexpr long long kLongestInterval = 359999; // 99:59:59, the instrument's longest

struct ScanOptions {
    long long count = 0;     // 0: until stopped
    long long interval = -1; // -1: the instrument's own
    std::string path;
};

// The columns of the scan: named from the configuration set or read in this
// run, otherwise by the instrument.
std::vector<Column> scanColumns(Run& run, const std::vector<int>& channels, int readings) {
    if (run.config || static_cast<int>(channels.size()) != readings)
        return columnsFor(channels, readings, run.config.get());
    return instrumentColumns(run.connection, channels);
}

// The scans of `scan`, through the CSV store: the header's columns are
// learnt from the first fetch (the readings it holds), as the progress goes.
class ScanOutput : public ScanSink {
  public:
    ScanOutput(Run& run, const std::vector<int>& channels, OutputFile& out, long long count)
        : run_(run), channels_(channels), store_(store::csvStore(out)), count_(count),
          progress_("scan", !out.toTerminal()) {}

    bool take(std::vector<store::ScanRow>& scans) override {
        if (!sink_) {
            store::InstrumentInfo info;
            for (const Column& c :
                 scanColumns(run_, channels_, static_cast<int>(scans.front().readings.size())))
                info.channels.push_back({c.channel, c.name, c.unit, {}, {}});
            try {
                sink_ = std::make_unique<StoreSink>(*store_, lock_, store_->instrument(info).id, 0,
                                                    hold_);
            } catch (const store::StoreError&) {
                return false;
            }
        }
        if (!sink_->take(scans)) return false;
        progress_.update(sink_->stored(), count_);
        return true;
    }
    // Scans written.
    long long stored() const { return sink_ ? sink_->stored() : 0; }

  private:
    Run& run_;
    const std::vector<int>& channels_;
    std::unique_ptr<store::Store> store_;
    std::mutex lock_;
    // A CSV output takes the rows or fails for good: nothing is ever held.
    StoreSink::Hold hold_{std::numeric_limits<long long>::max()};
    std::unique_ptr<StoreSink> sink_;
    long long count_;
    Progress progress_;
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
    if (conn.raw("ROUT:SCAN?", reply) == DLXVMR_OK) {
        if (reply == "(@)") {
            message("the scan list is empty: configure channels first (korda config set FILE)");
            return kExitInstrument;
        }
        channels = parseChannelList(reply);
    }

    OutputFile out(o.path);
    if (!out.open()) return kExitFailure;
    ScanOutput sink(run, channels, out, o.count);

    int st = dlxVmrScansClear(Connection::kBcn);
    if (st != DLXVMR_OK) return reportFailure("clearing old readings", st);
    st = dlxVmrScansEnable(Connection::kBcn, 1);
    if (st != DLXVMR_OK) return reportFailure("starting the scan", st);

    uint32_t timeoutSeconds = 10;
    dlxVmrTimeoutGet(&timeoutSeconds);
    PumpPlan plan;
    plan.count = o.count;
    plan.quietAfter =
        std::max<Clock::duration>(std::chrono::seconds(timeoutSeconds + std::max(interval, 0LL)),
                                  std::chrono::milliseconds(200));
    // Asked often enough to keep up, seldom enough to leave a slow serial
    // line to the readings: a quarter of the interval, 20 to 250 ms.
    plan.pollMs = static_cast<int>(std::clamp(interval * 250, 20LL, 250LL));
    Pump pump(Connection::kBcn);
    int result = kExitOk;
    switch (pump.run(plan, sink)) {
    case PumpEnd::Failed:
        result = reportFailure(pump.doing(), pump.status());
        break;
    case PumpEnd::SinkFailed:
        result = kExitFailure;
        break;
    case PumpEnd::Quiet:
        message(
            "no scan arrived for " +
            std::to_string(
                std::chrono::duration_cast<std::chrono::milliseconds>(plan.quietAfter).count()) +
            " ms after " +
            (o.count == 0 ? counted(pump.fetched(), "scan")
                          : std::to_string(pump.fetched()) + " of " + counted(o.count, "scan")) +
            ": the trigger count, source or interval of the instrument stops it");
        result = kExitInstrument;
        break;
    default:
        break;
    }
    const long long fetched = sink.stored();
    // Stopped in every case: Ctrl-C, a closed pipe, a failure.
    st = dlxVmrScansEnable(Connection::kBcn, 0);
    if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("stopping the scan", st);
    if (!out.finish() && result == kExitOk) result = kExitFailure;
    if (stopRequested() || result == kExitFailure) {
        message(std::string(result == kExitOk ? "interrupted" : "stopped") + " after " +
                counted(fetched, "scan") + "; the instrument is stopped");
        return result == kExitOk ? kExitInterrupted : result;
    }
    return result;
}

} // namespace

Step parseScan(Args& args) {
    ScanOptions o;
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--count")
            o.count = number(args.value("scan --count"), 1, kMostScans, "scan --count");
        else if (opt == "--interval")
            o.interval = number(args.value("scan --interval"), 0, kLongestInterval,
                                "scan --interval (seconds)");
        else if (opt == "-o")
            o.path = args.value("scan -o: the CSV file");
        else
            throw UsageError("scan: unknown option '" + opt + "'");
    }
    return instrumentStep("scan", [o](Run& run) { return runScan(run, o); });
}

Step parseMonitor(Args& args) {
    const int channel =
        static_cast<int>(number(args.value("monitor: the channel"), 1, 999, "the channel"));
    long long count = 0; // until stopped
    long long interval = 0;
    for (;;) {
        if (args.takeIf("--count"))
            count =
                number(args.value("monitor --count"), 1, kMostMonitorReadings, "monitor --count");
        else if (args.takeIf("--interval"))
            interval = number(args.value("monitor --interval"), 0, kLongestInterval,
                              "monitor --interval (seconds)");
        else
            break;
    }
    return instrumentStep("monitor", [channel, count, interval](Run& run) {
        StopScope scope;
        int st = dlxVmrInstMonitor(Connection::kBcn, 1, static_cast<unsigned>(channel));
        if (st != DLXVMR_OK)
            return reportFailure("monitoring channel " + std::to_string(channel), st);
        std::vector<Column> column;
        if (run.config)
            column = columnsFor({channel}, 1, run.config.get());
        else
            column = instrumentColumns(run.connection, {channel});
        OutputFile& out = standardOutput();
        CsvWriter csv(out);
        int result = csv.header(column) ? kExitOk : kExitFailure;
        const auto start = Clock::now();
        for (long long i = 0; result == kExitOk && (count == 0 || i < count) && !stopRequested();
             ++i) {
            if (i > 0 && interval > 0) {
                // Paced from the start, so that the readings keep their rhythm.
                const auto due = start + std::chrono::seconds(interval * i);
                pauseUnlessStopped(
                    std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now())
                        .count());
                if (stopRequested()) break;
            }
            float reading = 0;
            st = dlxVmrSpyGet(Connection::kBcn * 1000 + channel, &reading);
            if (st != DLXVMR_OK) {
                result = reportFailure("reading channel " + std::to_string(channel), st);
                break;
            }
            if (!say(isoNow() + "," + readingText(reading) + "\n") || !out.flush())
                result = kExitFailure;
        }
        st = dlxVmrSpyEnable(Connection::kBcn, 0);
        if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("ending the monitor", st);
        return stopRequested() && result == kExitOk ? kExitInterrupted : result;
    });
}

} // namespace korda::tool
