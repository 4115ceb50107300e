// Where recorded scans go: one small contract that every storage backend
// (SQLite, CSV, later PostgreSQL) fulfils, so that `scan` and `record` feed
// any of them through the same pump.
//
// A store holds runs; a run holds instruments; an instrument holds channels,
// scans numbered by a sequence without gaps or repeats, and gap events. A
// store is used from one thread at a time; the recorder gives each store its
// own lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace korda::tool::store {

// A store that could not do what was asked. `transient` is true when trying
// again later may succeed (disk full, database locked, a write error, server
// unreachable); false for faults that will not go away (a file that is no
// store of ours, a newer schema).
class StoreError : public std::runtime_error {
  public:
    StoreError(const std::string& what, bool transient)
        : std::runtime_error(what), transient_(transient) {}
    bool transient() const { return transient_; }

  private:
    bool transient_;
};

// A target this build cannot write (PostgreSQL in a build without libpq,
// SQLite files in a build without SQLite).
class UnsupportedTarget : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

struct RunInfo {
    std::string started;        // ISO 8601 with UTC offset, the PC's clock
    std::int64_t startedMs = 0; // the same instant, milliseconds since 1970-01-01 UTC
    std::string kordaVersion;   // "1.0.0"
    std::string libraryVersion; // from dlxVmrGetVersion
    std::string commandLine;    // as typed, arguments joined by spaces
};

// The run beginRun started or found again.
struct RunStart {
    std::int64_t id = 0;
    bool continued = false;     // an unfinished run of the same command line
    std::int64_t startedMs = 0; // when the run first started
};

struct ChannelInfo {
    int number = 0;       // 101, 2001...
    std::string name;     // as the instrument holds it, may be empty
    std::string unit;     // "C", "V", "mV"... may be empty
    std::string function; // "TEMP_TC", "VOLT"... may be empty
    std::string range;    // as configured, may be empty
};

struct InstrumentInfo {
    std::string host;       // the PC's host name: with the address it names the instrument
    std::string address;    // "tcp://192.168.0.20:5025", "usb:3", "sim:"
    std::string model;      // "7043A" or "5129A"
    std::string identity;   // the "*IDN?" reply
    std::string configJson; // the configuration applied, as korda writes it; may be empty
    std::vector<ChannelInfo> channels; // in scan order: reading i belongs to channels[i]
};

// The instrument beginRun's run holds under an id.
struct InstrumentStart {
    std::int64_t id = 0;
    bool known = false;            // already in the run (a continued run)
    std::int64_t lastSequence = 0; // the highest sequence stored, 0 for none
    std::string lastTime;          // ISO 8601 time stamp of that scan; empty when not known
};

struct ScanRow {
    std::int64_t sequence = 0; // 1, 2, 3... per instrument, never reused
    std::int64_t timeMs = 0;   // the instrument's time stamp, milliseconds since 1970-01-01 UTC
    std::int32_t utcOffsetMinutes = 0; // of the instrument's clock at that instant (local time)
    std::int64_t alarms = -1;          // the scan's alarm field; -1 when the scan carries none
    std::vector<float> readings;
};

struct GapEvent {
    std::string from;  // ISO 8601 with UTC offset: the last moment known good
    std::string until; // ISO 8601 with UTC offset: when recording resumed
    std::string reason;
    std::int64_t scansLost = 0; // known to be lost; 0 when none or unknown
};

class Store {
  public:
    virtual ~Store() = default;
    // The schema version this store writes.
    virtual int schemaVersion() const = 0;
    // Starts a run, or continues the last unfinished run of the same command
    // line (a recorder started again after it was killed).
    virtual RunStart beginRun(const RunInfo& run) = 0;
    // Adds the instrument to the run, or finds it again by host and address
    // (channels and configuration are then updated).
    virtual InstrumentStart instrument(const InstrumentInfo& info) = 0;
    // Appends scans in one transaction: all are stored, or none (StoreError).
    virtual void appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) = 0;
    virtual void gap(std::int64_t instrument, const GapEvent& gap) = 0;
    // Marks the run finished.
    virtual void endRun(const std::string& ended) = 0;
    // Scans of an instrument taken but not yet where the target says (a
    // spool's, waiting to be forwarded); safe to ask from any thread.
    virtual long long waiting(std::int64_t /*instrument*/) const { return 0; }
    // Where a store that works on its own (a forwarder) says what happens.
    virtual void setSay(std::function<void(const std::string&)> /*say*/) {}
};

// Opens the store a --to target names: "postgresql://..." or "postgres://..."
// or libpq's "host=... dbname=..." words (through a local spool),
// "*.csv" (standard output for "-"), otherwise an SQLite file. Throws
// StoreError, or UnsupportedTarget for a target this build cannot write.
std::unique_ptr<Store> openStore(const std::string& target);

// True when this build writes SQLite files.
bool haveSqlite();
// True for a target openStore writes as CSV ("*.csv", any letter case).
bool isCsvTarget(const std::string& target);
// True for a PostgreSQL connection text.
bool isPostgresTarget(const std::string& target);
// True when this build writes PostgreSQL.
bool havePostgres();
// The text with the passwords of PostgreSQL connection texts in it shown as
// "***" (in "user:password@" and "password=..."), for messages and the
// command line a run keeps.
std::string withoutPasswords(const std::string& text);

} // namespace korda::tool::store
