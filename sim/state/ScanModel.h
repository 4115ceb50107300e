// The virtual instrument's scanning: timed sweeps of the scan list into a
// reading memory, the reading format, the operation status, and monitoring
// of one channel.
//
// Time comes from the instrument's SimClock. Sweeps are taken lazily: every
// command that looks at the scanning state first takes the sweeps that have
// fallen due since the last look, each stamped with the real-time clock at
// its own instant. With a manual clock a test decides exactly when sweeps
// happen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace korda::sim {

class CommandTable;
class Instrument;

struct StoredScan {
    std::int64_t rtcEpochMs = 0;
    std::vector<double> values;
};

struct ScanState {
    static constexpr std::size_t kMemoryScans = 50000; // the oldest scan goes when full
    static constexpr std::int64_t kMinimumSweepMs = 10;

    // Reading format: time stamp and alarm state fields.
    bool timeStamp = false;
    bool alarmState = false;

    // Monitoring.
    int monitorChannel = 0;
    bool monitorOn = false;
    bool monitorReady = false; // a sweep has measured the monitored channel

    // The scanning run, with the scan list, trigger count and timer taken
    // from the settings at "INIT".
    bool initiated = false;
    std::vector<int> runList;
    std::uint64_t runCount = 0;     // sweeps to make, 0 = until ABORt
    std::int64_t runIntervalMs = 0; // between sweeps; negative: the first sweep only
    std::int64_t nextSweepMs = 0;
    std::uint64_t sweepsDone = 0;
    std::deque<StoredScan> memory;

    // Signal sources held at a fixed value by a test (kept by *RST).
    std::map<int, double> fixedValues;

    // Scans taken since power-on, those that left the memory unread
    // included (kept by *RST). With `numbered` on, every reading of a scan is
    // that scan's number (the first scan's readings are 1), so a test that
    // reconciles stored readings sees a missing, repeated or reordered scan.
    std::uint64_t scansTaken = 0;
    bool numbered = false;

    // What *RST restores.
    void reset();
};

// "INIT", "ABORt", "DATA:...", "STAT:OPER?", "FORM:READ:...", "ROUT:MON...".
// The scan list, trigger count and timer are the instrument's settings
// ("ROUT:SCAN", "TRIG:COUN", "TRIG:TIM"), taken when scanning starts.
void registerScanCommands(CommandTable& table);
// The signal at a channel at time-base instant ms: a fixed value when a test
// set one, otherwise a slow deterministic wave around a level of its own.
double channelSignal(const ScanState& state, int channel, std::int64_t ms);
// Takes the sweeps that have fallen due. Sweeps run on while no one looks:
// of a long backlog only the newest ones that the memory keeps are stored,
// except while the run records into the log memory, which takes every one.
void catchUpScanning(Instrument& instrument);
// After taking the sweeps due: the time-base milliseconds until a run of a
// fixed number of timed sweeps takes its last sweep, or -1 when no such run
// is under way (what "*OPC?" waits for).
std::int64_t msToRunEnd(Instrument& instrument);
// The same as wall time (at least 1 while the run is under way; 0 when
// none is), taking the instrument's lock for the look.
std::int64_t wallMsToRunEnd(Instrument& instrument);
// Waits until no such run is under way, holding the instrument's lock only
// for each look.
void awaitRunEnd(Instrument& instrument);
// The "DATA:READ?" line of a stored scan, in the current reading format.
std::string formatScanLine(const Instrument& instrument, const StoredScan& scan);

// ---- Test control (each takes the instrument's lock) ----
// Sets the scan list as "ROUT:SCAN" would.
void setScanChannels(Instrument& instrument, std::vector<int> channels);
void setChannelValue(Instrument& instrument, int channel, double value);
void clearChannelValues(Instrument& instrument);
// Stores count scans of the scan list at once, stamped one timer interval
// apart from the real-time clock's present reading; with logging to the log
// memory on, they are also recorded into a new log file, as one run.
void storeScans(Instrument& instrument, std::size_t count);
std::size_t storedScanCount(Instrument& instrument);
bool scanning(Instrument& instrument);
// Switches the time base to a manual clock, and advances it.
void useManualClock(Instrument& instrument);
void advanceClock(Instrument& instrument, std::int64_t ms);
// Numbered scans on or off (see ScanState::numbered).
void setNumberedScans(Instrument& instrument, bool on);

} // namespace korda::sim
