#include "logdata/DataFileReader.h"

#include "core/Text.h"
#include "scan/ScanParser.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace korda32ex::logdata {

namespace {

bool isDataLine(std::string_view line) {
    return !line.empty() && !isNoErrorLine(line);
}

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

// Takes a data line apart into the fields of a scan: the readings and the
// further column, then year, month, day, hour, minute and seconds. False when the line has no blank
// between date and time, a first field pair that is not record number and
// date, or a date or time of fewer than three parts.
bool toScanFields(std::string_view line, std::vector<std::string_view>& fields) {
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
    fields.clear();
    const std::size_t secondComma = line.find(',', comma + 1);
    const std::size_t last = line.rfind(',');
    if (secondComma != std::string_view::npos && last > secondComma)
        splitAt(line.substr(secondComma + 1, last - secondComma - 1), ',', fields);
    fields.insert(fields.end(), {date[0], date[1], date[2], time[0], time[1], time[2]});
    return true;
}

} // namespace

bool countScans(std::string_view text, int& count) {
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.size() < 2) {
        count = 0;
        return false;
    }
    const auto counted = std::count_if(lines.begin(), lines.end(), [](std::string_view l) {
        // The quotation mark first: data lines have none, so the search for
        // the no-error text rarely runs.
        return !l.empty() && (l.find('"') == std::string_view::npos ||
                              l.find(kNoErrorLine) == std::string_view::npos);
    });
    // Less the header; never below 0 (a text of empty lines only).
    count = static_cast<int>(std::clamp<std::ptrdiff_t>(counted - 1, 0, INT32_MAX));
    return count >= 1;
}

int readDataText(std::string_view text, int start, int count, ScanRecord& record) {
    std::vector<std::string_view> lines = splitLines(text);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](std::string_view l) { return !isDataLine(l); }),
                lines.end());
    const std::int64_t scansInText =
        lines.empty() ? 0 : static_cast<std::int64_t>(lines.size()) - 1;
    const std::int64_t wanted = std::max(count, 0);

    // The lines first to last (line 0 is the header) and what is left after.
    std::int64_t first, last, remaining;
    if (start <= 0) {
        first = 1;
        last = std::min(scansInText, wanted);
        remaining = scansInText > wanted ? scansInText - wanted : 0;
    } else {
        const std::int64_t previous = std::max(record.scansRemaining, 0);
        first = std::int64_t{start} + 1;
        last = std::min(std::int64_t{start} + std::min(previous, wanted), scansInText);
        remaining = previous > wanted ? previous - wanted : 0;
    }
    record.scansRemaining = static_cast<std::int32_t>(remaining);
    record.scanCount = 0;

    std::vector<std::string_view> fields;
    for (std::int64_t i = first; i <= last; ++i) {
        if (!toScanFields(lines[static_cast<std::size_t>(i)], fields)) return 0;
        if (scan::storeScanFields(fields, record) != scan::LineResult::Stored) return 0;
        ++record.scanCount;
    }
    return record.scanCount;
}

} // namespace korda32ex::logdata
