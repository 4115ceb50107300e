#include "ScanModel.h"

#include "Instrument.h"
#include "scpi/ScanArgs.h"
#include "scpi/ScpiArgs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace korda::sim {

namespace {

constexpr int kScanningBit = 256;
constexpr int kMonitorReadyBit = 512;
constexpr double kPi = 3.14159265358979323846;
constexpr double kWavePeriodMs = 60000.0;

// One sweep of the channels at time-base instant `at`: a scan into the
// reading memory, and a fresh monitor reading.
void sweep(Instrument& in, const std::vector<int>& channels, std::int64_t at) {
    ScanState& s = in.scan;
    if (!channels.empty()) {
        ++s.scansTaken;
        StoredScan scan;
        scan.rtcEpochMs = in.clock.rtcEpochMsAt(at);
        scan.values.reserve(channels.size());
        for (const int c : channels)
            scan.values.push_back(s.numbered ? static_cast<double>(s.scansTaken)
                                             : channelSignal(s, c, at));
        logSweep(in, scan);
        if (s.memory.size() == ScanState::kMemoryScans) s.memory.pop_front();
        s.memory.push_back(std::move(scan));
    }
    if (s.monitorOn) s.monitorReady = true;
}

// The time between sweeps under the timer setting; negative for an infinite timer.
std::int64_t timerStep(const InstrumentSettings& settings) {
    if (settings.timerSeconds == InstrumentSettings::kTimerInfinite) return -1;
    return std::max<std::int64_t>(settings.timerSeconds * 1000, ScanState::kMinimumSweepMs);
}

// Of more sweeps due than the memory holds only the newest ones are kept:
// the older ones are counted as taken without being made.
void skipUnkeptSweeps(ScanState& s, std::int64_t now) {
    std::uint64_t due = static_cast<std::uint64_t>((now - s.nextSweepMs) / s.runIntervalMs) + 1;
    if (s.runCount > 0) due = std::min<std::uint64_t>(due, s.runCount - s.sweepsDone);
    if (due <= ScanState::kMemoryScans) return;
    const std::uint64_t skipped = due - ScanState::kMemoryScans;
    s.nextSweepMs += static_cast<std::int64_t>(skipped) * s.runIntervalMs;
    s.sweepsDone += skipped;
    if (!s.runList.empty()) s.scansTaken += skipped;
}

void initiate(Instrument& in, const Request&, Reply& r) {
    catchUpScanning(in);
    ScanState& s = in.scan;
    if (s.initiated) return r.error(scpi_error::kInitIgnored);
    if (in.channels.scanList.empty() && !s.monitorOn) return r.error(scpi_error::kSettingsConflict);
    s.initiated = true;
    s.runList = in.channels.scanList;
    s.runCount = static_cast<std::uint64_t>(std::max<long long>(in.settings.triggerCount, 0));
    s.runIntervalMs = timerStep(in.settings);
    s.sweepsDone = 0;
    s.nextSweepMs = in.clock.nowMs(); // the first sweep starts at once
    beginLogRun(in, s.runList);
    catchUpScanning(in);
}

void abort(Instrument& in, const Request&, Reply&) {
    catchUpScanning(in);
    in.scan.initiated = false;
    endLogRun(in);
}

void readScan(Instrument& in, const Request&, Reply& r) {
    catchUpScanning(in);
    ScanState& s = in.scan;
    if (s.memory.empty()) {
        r.lines.push_back("9.910000E+37"); // no reading to give
        return;
    }
    r.lines.push_back(formatScanLine(in, s.memory.front()));
    s.memory.pop_front();
}

void operationStatus(Instrument& in, const Request&, Reply& r) {
    catchUpScanning(in);
    const ScanState& s = in.scan;
    const int bits =
        (s.initiated ? kScanningBit : 0) | (s.monitorOn && s.monitorReady ? kMonitorReadyBit : 0);
    r.lines.push_back(std::to_string(bits));
}

void selectMonitorChannel(Instrument& in, const Request& q, Reply& r) {
    ChannelArgs a;
    if (!parseChannelArgs(q.args, a)) return r.error(scpi_error::kIllegalValue);
    if (!a.hasList || a.channels.empty()) return r.error(scpi_error::kMissingParameter);
    if (a.channels.size() > 1) return r.error(scpi_error::kParameterNotAllowed);
    if (channelKind(in, a.channels.front()) == ChannelKind::None)
        return r.error(scpi_error::kDataOutOfRange);
    catchUpScanning(in);
    in.scan.monitorChannel = a.channels.front();
    in.scan.monitorReady = false;
}

void switchMonitor(Instrument& in, const Request& q, Reply& r) {
    bool on = false;
    if (!parseSwitch(q.args, on)) return r.error(scpi_error::kIllegalValue);
    catchUpScanning(in);
    ScanState& s = in.scan;
    if (on && s.monitorChannel == 0) return r.error(scpi_error::kSettingsConflict);
    if (s.monitorOn != on) s.monitorReady = false;
    s.monitorOn = on;
}

void monitorData(Instrument& in, const Request&, Reply& r) {
    const ScanState& s = in.scan;
    if (!s.monitorOn) return r.error(scpi_error::kSettingsConflict);
    r.lines.push_back(args::formatReading(channelSignal(s, s.monitorChannel, in.clock.nowMs())));
}

void formatFlag(bool ScanState::*flag, Instrument& in, const Request& q, Reply& r) {
    bool on = false;
    if (!parseSwitch(q.args, on)) return r.error(scpi_error::kIllegalValue);
    in.scan.*flag = on;
}

} // namespace

void ScanState::reset() {
    ScanState fresh;
    fresh.fixedValues = std::move(fixedValues);
    fresh.scansTaken = scansTaken;
    fresh.numbered = numbered;
    *this = std::move(fresh);
}

double channelSignal(const ScanState& s, int channel, std::int64_t ms) {
    const auto fixed = s.fixedValues.find(channel);
    if (fixed != s.fixedValues.end()) return fixed->second;
    const double level = 20.0 + 0.25 * (channel % 100);
    return level + 0.5 * std::sin(2.0 * kPi * static_cast<double>(ms) / kWavePeriodMs + channel);
}

void catchUpScanning(Instrument& in) {
    ScanState& s = in.scan;
    const std::int64_t now = in.clock.nowMs();
    const std::int64_t step = s.runIntervalMs;
    while (s.initiated && s.nextSweepMs <= now) {
        if (step > 0 && !in.log.recording) skipUnkeptSweeps(s, now);
        sweep(in, s.runList, s.nextSweepMs);
        ++s.sweepsDone;
        if (s.runCount > 0 && s.sweepsDone >= s.runCount) {
            s.initiated = false;
            endLogRun(in);
        }
        if (step < 0) {
            // An infinite timer: no further timed sweep; the run waits for ABORt.
            s.nextSweepMs = std::numeric_limits<std::int64_t>::max();
            break;
        }
        s.nextSweepMs += step;
    }
}

std::int64_t msToRunEnd(Instrument& in) {
    catchUpScanning(in);
    const ScanState& s = in.scan;
    if (!s.initiated || s.runCount == 0 || s.runIntervalMs < 0) return -1;
    const std::int64_t last =
        s.nextSweepMs + static_cast<std::int64_t>(s.runCount - s.sweepsDone - 1) * s.runIntervalMs;
    return std::max<std::int64_t>(last - in.clock.nowMs(), 0);
}

std::int64_t wallMsToRunEnd(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    const std::int64_t left = msToRunEnd(in);
    return left < 0 ? 0 : std::max<std::int64_t>(in.clock.wallMsFor(left), 1);
}

void awaitRunEnd(Instrument& in) {
    constexpr std::int64_t kLookMs = 20;
    for (std::int64_t left = wallMsToRunEnd(in); left > 0; left = wallMsToRunEnd(in))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kLookMs)));
}

std::string formatScanLine(const Instrument& in, const StoredScan& scan) {
    std::string line;
    line.reserve(scan.values.size() * 14 + 40);
    for (std::size_t i = 0; i < scan.values.size(); ++i) {
        if (i > 0) line += ',';
        line += args::formatReading(scan.values[i]);
    }
    auto field = [&line](const std::string& text) {
        if (!line.empty()) line += ',';
        line += text;
    };
    if (in.scan.alarmState) field("0");
    if (in.scan.timeStamp) {
        const CivilTime t = fromEpochMs(scan.rtcEpochMs);
        for (const int v : {t.year, t.month, t.day, t.hour, t.minute})
            field(std::to_string(v));
        std::string millis = std::to_string(t.millisecond);
        millis.insert(0, 3 - millis.size(), '0');
        field(std::to_string(t.second) + "." + millis);
    }
    return line;
}

void registerScanCommands(CommandTable& t) {
    t.add("INITiate[:IMMediate]", initiate);
    t.add("ABORt", abort);
    t.add("DATA:POINts?", [](Instrument& in, const Request&, Reply& r) {
        catchUpScanning(in);
        r.lines.push_back(std::to_string(in.scan.memory.size()));
    });
    t.add("DATA:READ?", readScan);
    t.add("DATA:CLEar", [](Instrument& in, const Request&, Reply&) {
        catchUpScanning(in);
        in.scan.memory.clear();
    });
    t.add("STATus:OPERation[:EVENt]?", operationStatus);
    t.add("FORMat:READing:TIME", [](Instrument& in, const Request& q, Reply& r) {
        formatFlag(&ScanState::timeStamp, in, q, r);
    });
    t.add("FORMat:READing:TIME?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.scan.timeStamp ? "1" : "0");
    });
    t.add("FORMat:READing:ALARm", [](Instrument& in, const Request& q, Reply& r) {
        formatFlag(&ScanState::alarmState, in, q, r);
    });
    t.add("FORMat:READing:ALARm?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.scan.alarmState ? "1" : "0");
    });
    t.add("ROUTe:MONitor", selectMonitorChannel);
    t.add("ROUTe:MONitor?", [](Instrument& in, const Request&, Reply& r) {
        const int c = in.scan.monitorChannel;
        r.lines.push_back(
            args::formatChannelList(c == 0 ? std::vector<int>{} : std::vector<int>{c}));
    });
    t.add("ROUTe:MONitor:STATe", switchMonitor);
    t.add("ROUTe:MONitor:STATe?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.scan.monitorOn ? "1" : "0");
    });
    t.add("ROUTe:MONitor:DATA?", monitorData);
}

void setScanChannels(Instrument& in, std::vector<int> channels) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.channels.scanList = std::move(channels);
}

void setChannelValue(Instrument& in, int channel, double value) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.scan.fixedValues[channel] = value;
}

void clearChannelValues(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.scan.fixedValues.clear();
}

void storeScans(Instrument& in, std::size_t count) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    const std::int64_t now = in.clock.nowMs();
    const std::int64_t step = std::max<std::int64_t>(timerStep(in.settings), 0);
    beginLogRun(in, in.channels.scanList);
    for (std::size_t i = 0; i < count; ++i)
        sweep(in, in.channels.scanList, now + static_cast<std::int64_t>(i) * step);
    endLogRun(in);
}

std::size_t storedScanCount(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    catchUpScanning(in);
    return in.scan.memory.size();
}

bool scanning(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    catchUpScanning(in);
    return in.scan.initiated;
}

void useManualClock(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.clock.setManual();
}

void advanceClock(Instrument& in, std::int64_t ms) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.clock.advance(ms);
}

void setNumberedScans(Instrument& in, bool on) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.scan.numbered = on;
}

} // namespace korda::sim
