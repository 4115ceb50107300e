#include "logdata/DataFileReader.h"

#include "core/Text.h"
#include "scan/ScanParser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korda32ex::logdata {

namespace {

// The first three pieces of text split at every separator; false when it
// splits into fewer than three.
bool firstThree(std::string_view text, char separator, std::string_view (&parts)[3]) {
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            if (k < 2) return false;
            parts[k] = text.substr(start);
            return true;
        }
        parts[k] = text.substr(start, pos - start);
        start = pos + 1;
    }
    return true;
}

// The fields of one scan, as storeScanFields takes them.
constexpr std::size_t kMaxScanFields = scan::kMaxReadings + scan::kTimeFields;
using ScanFields = std::array<std::string_view, kMaxScanFields>;

// Takes a data line apart into the fields of a scan: the readings and the
// further column, then year, month, day, hour, minute and seconds; count is
// the number of fields. False when the line has no blank between date and
// time, a first field pair that is not record number and date, a date or time
// of fewer than three parts, or more fields than any scan has.
bool toScanFields(std::string_view line, ScanFields& fields, std::size_t& count) {
    // The line split at blanks: the first piece must be "record,date", the
    // second starts with the time.
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view first = line.substr(0, blank);
    std::string_view timePiece = line.substr(blank + 1);
    timePiece = timePiece.substr(0, timePiece.find(' '));
    const std::size_t comma = first.find(',');
    if (comma == std::string_view::npos || first.find(',', comma + 1) != std::string_view::npos)
        return false;
    std::string_view date[3], time[3];
    if (!firstThree(first.substr(comma + 1), '-', date) ||
        !firstThree(timePiece.substr(0, timePiece.find(',')), ':', time))
        return false;

    // Fields 3 to N-1 of the line (the readings and the further column): the
    // text between its second and its last comma. The check code, field N,
    // is left out.
    count = 0;
    const std::size_t secondComma = line.find(',', comma + 1);
    const std::size_t last = line.rfind(',');
    if (secondComma != std::string_view::npos && last > secondComma) {
        std::size_t from = secondComma + 1;
        for (;;) {
            // Room must stay for the six parts of the time stamp.
            if (count + 6 == fields.size()) return false;
            const std::size_t next = line.find(',', from);
            fields[count++] = line.substr(from, next - from);
            if (next == last) break;
            from = next + 1;
        }
    }
    for (const std::string_view part : {date[0], date[1], date[2], time[0], time[1], time[2]})
        fields[count++] = part;
    return true;
}

} // namespace

bool countsAsScan(std::string_view line) {
    // The quotation mark first: data lines have none, so the search for the
    // no-error text rarely runs.
    return !line.empty() && (line.find('"') == std::string_view::npos ||
                             line.find(kNoErrorLine) == std::string_view::npos);
}

bool isDataLine(std::string_view line) {
    return !line.empty() && !isNoErrorLine(line);
}

bool countScans(std::string_view text, int& count) {
    std::int64_t lines = 0, counted = 0;
    FileLineCursor cursor(text, true);
    std::string_view line;
    while (cursor.next(line)) {
        ++lines;
        counted += countsAsScan(line);
    }
    return scansOfLines(lines, counted, count);
}

bool scansOfLines(std::int64_t lines, std::int64_t scanLines, int& count) {
    if (lines < 2) {
        count = 0;
        return false;
    }
    // Less the header; never below 0 (a text of empty lines only).
    count = static_cast<int>(std::clamp<std::int64_t>(scanLines - 1, 0, INT32_MAX));
    return count >= 1;
}

ScanReading::ScanReading(int start, int count, ScanRecord& record) : record_(record) {
    const std::int64_t wanted = std::max(count, 0);
    if (start <= 0) {
        first_ = 1;
        last_ = wanted;
        wanted_ = wanted;
    } else {
        previous_ = std::max(record.scansRemaining, 0);
        first_ = std::int64_t{start} + 1;
        last_ = std::int64_t{start} + std::min(previous_, wanted);
        wanted_ = wanted;
        continuation_ = true;
    }
    record.scanCount = 0;
}

void ScanReading::take(std::string_view line) {
    ScanFields fields;
    std::size_t count = 0;
    if (!toScanFields(line, fields, count) ||
        scan::storeScanFields(std::span<const std::string_view>(fields.data(), count), record_) !=
            scan::LineResult::Stored) {
        failed_ = true;
        return;
    }
    ++record_.scanCount;
}

int ScanReading::finish(std::int64_t dataLines) {
    const std::int64_t scansInText = dataLines > 0 ? dataLines - 1 : 0;
    std::int64_t remaining;
    if (!continuation_)
        remaining = scansInText > wanted_ ? scansInText - wanted_ : 0;
    else
        remaining = previous_ > wanted_ ? previous_ - wanted_ : 0;
    record_.scansRemaining = static_cast<std::int32_t>(remaining);
    return failed_ ? 0 : record_.scanCount;
}

int readDataText(std::string_view text, int start, int count, ScanRecord& record) {
    ScanReading reading(start, count, record);
    std::int64_t index = 0; // of the data line, the header being 0
    FileLineCursor cursor(text, true);
    std::string_view line;
    while (cursor.next(line)) {
        if (!isDataLine(line)) continue;
        if (reading.wants(index)) reading.take(line);
        ++index;
    }
    return reading.finish(index);
}

} // namespace korda32ex::logdata
