// A run of a recording as one HTML page: a chart per unit, a table per
// channel, the run's instruments and gap events. The scans are reduced while
// they are read to a fixed number of pixel columns per channel, each column
// keeping its first, lowest, highest and last reading, so that the page
// stays small for any number of scans and a spike stays visible.
#pragma once

#include "Output.h"
#include "store/Reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korda::tool::report {

// Pixel columns of a chart's plot area.
constexpr int kColumns = 1000;
// Channels charted, at most (a file could name any number; the tables list
// them all).
constexpr std::size_t kMostCharted = 1000;

// The readings of one channel that fell in one pixel column.
struct Bucket {
    float first = 0, last = 0, low = 0, high = 0;
    bool any = false;      // a reading with a value fell here
    bool lowFirst = false; // the lowest came before the highest
    bool broken = false;   // a reading without a value (overload, none taken) fell here
};

struct Series {
    Column column;              // channel number, name and unit
    std::size_t instrument = 0; // index into Report::instruments
    int position = 0;           // of its reading in a scan
    long long count = 0;        // readings with a value
    long long overloads = 0, missing = 0;
    double sum = 0;
    float low = 0, high = 0;
    std::int64_t firstMs = 0, lastMs = 0;
    std::vector<Bucket> buckets; // kColumns of them once a scan came; none: not charted
};

struct InstrumentPart {
    store::RecordedInstrument info;
    std::vector<store::RecordedGap> gaps;
    long long scans = 0;
    long long alarmFields = 0; // scans that carry an alarm field
    long long alarmScans = 0;  // ... and whose field is set
    std::vector<bool> alarmColumns;
};

struct Report {
    std::string source; // the file (or database) read
    store::RecordedRun run;
    std::int64_t fromMs = 0, untilMs = 0; // the span asked for
    bool spanAsked = false;
    std::vector<InstrumentPart> instruments;
    std::vector<Series> series;
    long long scans = 0;
    // The chart's time axis: the first and last scan, widened when equal.
    std::int64_t t0 = 0, t1 = 0;
    int utcOffset = 0;          // of the first scan, in minutes
    bool offsetChanges = false; // another offset occurs in the run
};

// Reads the run's scans in [fromMs, untilMs) into a report. Throws
// StoreError.
Report loadReport(store::Reader& reader, const store::RecordedRun& run, std::int64_t fromMs,
                  std::int64_t untilMs);

// The pixel column of an instant on the time axis of a report.
int columnOf(const Report& r, std::int64_t ms);

// The page.
std::string reportHtml(const Report& report);

// Text as HTML text or attribute value: markup characters escaped, control
// characters replaced.
std::string escapeHtml(const std::string& text);

} // namespace korda::tool::report
