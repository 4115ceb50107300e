// The reading side of a recording, for `export` and `report`: runs, their
// instruments and channels, gap events and scans. Every backend runs the
// same SQL (ReadQueries: plain SQL that SQLite and PostgreSQL both take,
// parameters written $1, $2... in the order they appear), so a backend is a
// connection that prepares, binds and steps them: five lists and a cursor.
#pragma once

#include "Output.h"
#include "Store.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korda::tool::store {

struct RecordedRun {
    std::int64_t id = 0;
    std::string started;
    std::string ended; // empty while unfinished (or after the recorder was killed)
    std::string kordaVersion;
    std::string commandLine;
};

struct RecordedInstrument {
    std::int64_t id = 0;
    std::string host;
    std::string address;
    std::string model;
    std::string identity;
    std::vector<ChannelInfo> channels; // in reading order; empty when none was known
};

struct RecordedGap {
    std::int64_t instrument = 0;
    GapEvent gap;
};

// The scans of an instrument in a time span.
struct ScanSpan {
    std::int64_t count = 0;
    std::int64_t firstMs = 0, lastMs = 0; // meaningful when count > 0
};

// One scan as stored.
struct RecordedScan {
    std::int64_t instrument = 0;
    std::int64_t sequence = 0;
    std::int64_t timeMs = 0;
    int utcOffsetMinutes = 0;
    std::int64_t alarms = -1;        // -1: the scan carries no alarm field
    const float* readings = nullptr; // valid during the callback only
    int readingCount = 0;
};

// The statements every reader runs, with the columns in this order.
struct ReadQueries {
    // id, started, ended, korda_version, command_line
    static constexpr const char* kRuns =
        "SELECT id, started, ended, korda_version, command_line FROM runs ORDER BY id";
    // $1 run -> id, host, address, model, identity
    static constexpr const char* kInstruments =
        "SELECT id, host, address, model, identity FROM instruments WHERE run_id = $1 ORDER BY id";
    // $1 instrument -> number, name, unit, function, range
    static constexpr const char* kChannels =
        "SELECT number, name, unit, function, range FROM channels WHERE instrument_id = $1 "
        "ORDER BY position";
    // $1 instrument -> gap_from, gap_until, reason, scans_lost
    static constexpr const char* kGaps =
        "SELECT gap_from, gap_until, reason, scans_lost FROM gaps WHERE instrument_id = $1 "
        "ORDER BY id";
    // $1 instrument, $2 from, $3 until -> count, first, last
    static constexpr const char* kSpan =
        "SELECT count(*), min(time_ms), max(time_ms) FROM scans WHERE instrument_id = $1 "
        "AND time_ms >= $2 AND time_ms < $3";
    // $1 instrument, $2 from, $3 until -> sequence, time_ms, utc_offset_min, alarms, readings
    static constexpr const char* kScans =
        "SELECT sequence, time_ms, utc_offset_min, alarms, readings FROM scans "
        "WHERE instrument_id = $1 AND time_ms >= $2 AND time_ms < $3 ORDER BY time_ms, sequence";
};

// The scans of one instrument in a span, in the order of kScans.
class ScanCursor {
  public:
    virtual ~ScanCursor() = default;
    // The next scan, valid until the next call; nullptr after the last.
    virtual const RecordedScan* next() = 0;
};

class Reader {
  public:
    virtual ~Reader() = default;
    virtual std::vector<RecordedRun> runs() = 0;
    virtual std::vector<RecordedInstrument> instruments(std::int64_t run) = 0;
    virtual std::vector<RecordedGap> gaps(std::int64_t instrument) = 0;
    // The scans of an instrument whose time lies in [fromMs, untilMs).
    virtual ScanSpan span(std::int64_t instrument, std::int64_t fromMs, std::int64_t untilMs) = 0;
    // The scans of an instrument whose time lies in [fromMs, untilMs).
    virtual std::unique_ptr<ScanCursor> scansOf(std::int64_t instrument, std::int64_t fromMs,
                                                std::int64_t untilMs) = 0;

    // Calls each with the scans of the instruments whose time lies in
    // [fromMs, untilMs), in the order of their time stamps (scans of one
    // instant in the order of instrument and sequence): one cursor per
    // instrument, merged. Stops when each returns false.
    void scans(const std::vector<std::int64_t>& instruments, std::int64_t fromMs,
               std::int64_t untilMs, const std::function<bool(const RecordedScan&)>& each);
};

// Opens a recording for reading: an SQLite file, or a database named by a
// connection text. Throws StoreError when it is no recording (or a newer
// one), UnsupportedTarget when this build cannot read it.
std::unique_ptr<Reader> openReader(const std::string& source);

// Opens source, finds its run `wanted` (0: the last) and gives both to use,
// returning what it returns. A run that is not there, a recording that
// cannot be read and a source this build cannot read are said in a message
// naming the source without its password: exit 1, 1 and 2.
int readRun(const std::string& source, std::int64_t wanted,
            const std::function<int(Reader&, const RecordedRun&)>& use);

} // namespace korda::tool::store

namespace korda::tool {

// The columns of an instrument's readings: its channels, or (none known)
// columns by position, as many as its first scan in [fromMs, untilMs) has.
std::vector<Column> recordedColumns(store::Reader& reader, const store::RecordedInstrument& in,
                                    std::int64_t fromMs, std::int64_t untilMs);

} // namespace korda::tool
