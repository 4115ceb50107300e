// The reduction of a run's scans to the pixel columns of its charts.
#include "Report.h"

#include "store/Times.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korda::tool::report {

namespace {

// A UTC offset read from the file, kept within a day either way.
int offsetWithinADay(int minutes) {
    return std::clamp(minutes, -1440, 1440);
}

void addReading(Series& s, int column, float v, std::int64_t ms) {
    const bool charted = !s.buckets.empty();
    if (std::isinf(v) || noReading(v)) {
        ++(std::isinf(v) ? s.overloads : s.missing);
        if (charted) s.buckets[static_cast<std::size_t>(column)].broken = true;
        return;
    }
    if (s.count == 0) {
        s.low = s.high = v;
        s.firstMs = ms;
    }
    ++s.count;
    s.sum += v;
    s.low = std::min(s.low, v);
    s.high = std::max(s.high, v);
    s.lastMs = ms;
    if (!charted) return;
    Bucket& b = s.buckets[static_cast<std::size_t>(column)];
    if (!b.any) {
        b = {v, v, v, v, true, true, b.broken};
        return;
    }
    b.last = v;
    if (v < b.low) {
        b.low = v;
        b.lowFirst = false; // the highest came before
    }
    if (v > b.high) {
        b.high = v;
        b.lowFirst = true;
    }
}

} // namespace

int columnOf(const Report& r, std::int64_t ms) {
    // In doubles: the times come from a file and may lie anywhere.
    const double at = (static_cast<double>(ms) - static_cast<double>(r.t0)) /
                      (static_cast<double>(r.t1) - static_cast<double>(r.t0) + 1.0) * kColumns;
    return static_cast<int>(std::clamp(at, 0.0, kColumns - 1.0));
}

Report loadReport(store::Reader& reader, const store::RecordedRun& run, std::int64_t fromMs,
                  std::int64_t untilMs) {
    Report r;
    r.run = run;
    r.fromMs = fromMs;
    r.untilMs = untilMs;
    std::vector<std::int64_t> ids;
    std::vector<std::size_t> firstSeries; // of each instrument, and the end
    bool anyScan = false;
    const auto instruments = reader.instruments(run.id);
    for (const auto& in : instruments) {
        InstrumentPart part;
        part.info = in;
        part.gaps = reader.gaps(in.id);
        const store::ScanSpan span = reader.span(in.id, fromMs, untilMs);
        if (span.count > 0) {
            r.t0 = anyScan ? std::min(r.t0, span.firstMs) : span.firstMs;
            r.t1 = anyScan ? std::max(r.t1, span.lastMs) : span.lastMs;
            anyScan = true;
        }
        firstSeries.push_back(r.series.size());
        auto columns = recordedColumns(reader, in, fromMs, untilMs);
        for (std::size_t p = 0; p < columns.size(); ++p) {
            if (instruments.size() > 1) columns[p].source = in.address;
            Series s;
            s.column = columns[p];
            s.instrument = r.instruments.size();
            s.position = static_cast<int>(p);
            r.series.push_back(std::move(s));
        }
        ids.push_back(in.id);
        r.instruments.push_back(std::move(part));
    }
    firstSeries.push_back(r.series.size());
    if (!anyScan) return r;
    if (r.t1 - r.t0 < 2) {
        // One instant: the scans in the middle of two seconds.
        constexpr std::int64_t kHalf = 1000;
        r.t0 = r.t0 > std::numeric_limits<std::int64_t>::min() + kHalf ? r.t0 - kHalf : r.t0;
        r.t1 = r.t1 < std::numeric_limits<std::int64_t>::max() - kHalf ? r.t1 + kHalf : r.t1;
    }
    for (std::size_t i = 0; i < r.series.size() && i < kMostCharted; ++i)
        r.series[i].buckets.assign(kColumns, Bucket{});
    for (InstrumentPart& p : r.instruments)
        p.alarmColumns.assign(kColumns, false);

    reader.scans(ids, fromMs, untilMs, [&](const store::RecordedScan& scan) {
        const auto i = static_cast<std::size_t>(std::find(ids.begin(), ids.end(), scan.instrument) -
                                                ids.begin());
        if (i >= ids.size()) return true;
        InstrumentPart& part = r.instruments[i];
        const int offset = offsetWithinADay(scan.utcOffsetMinutes);
        if (r.scans == 0)
            r.utcOffset = offset;
        else if (offset != r.utcOffset)
            r.offsetChanges = true;
        ++r.scans;
        ++part.scans;
        const int column = columnOf(r, scan.timeMs);
        if (scan.alarms >= 0) {
            ++part.alarmFields;
            if (scan.alarms != 0) {
                ++part.alarmScans;
                part.alarmColumns[static_cast<std::size_t>(column)] = true;
            }
        }
        for (std::size_t k = firstSeries[i]; k < firstSeries[i + 1]; ++k) {
            Series& s = r.series[k];
            // A scan shorter than the channel list lacks the reading.
            const float v = s.position < scan.readingCount
                                ? scan.readings[s.position]
                                : std::numeric_limits<float>::quiet_NaN();
            addReading(s, column, v, scan.timeMs);
        }
        return true;
    });
    return r;
}

} // namespace korda::tool::report
