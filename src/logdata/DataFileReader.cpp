#include "logdata/DataFileReader.h"

#include "core/Text.h"
#include "scan/ScanParser.h"

#include <algorithm>
#include <cstdint>

namespace korda32ex::logdata {

namespace {

// The first c in text at or after from (npos when none). A plain loop: the
// pieces searched here are a few characters long, too short for a library
// search to pay for its call.
std::size_t findNear(std::string_view text, char c, std::size_t from = 0) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == c) return i;
    return std::string_view::npos;
}

// The first three pieces of text split at every separator, into parts[0] to
// parts[2]; false when it splits into fewer than three.
bool firstThree(std::string_view text, char separator, std::string_view* parts) {
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t pos = findNear(text, separator, start);
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

// Takes a data line apart: the text of its readings and further column (the
// text between its second and its last comma; the check code, the last field,
// is left out) and the six parts of its time stamp. False when the line has no
// blank between date and time, a first field pair that is not record number
// and date, a date or time of fewer than three parts, or no reading text.
bool toScanParts(std::string_view line, std::string_view& readings, std::string_view (&stamp)[6]) {
    // The line split at blanks: the first piece must be "record,date", the
    // second starts with the time, which ends at a blank or a comma.
    const std::size_t blank = findNear(line, ' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view first = line.substr(0, blank);
    std::size_t timeEnd = blank + 1;
    while (timeEnd < line.size() && line[timeEnd] != ' ' && line[timeEnd] != ',')
        ++timeEnd;
    const std::size_t comma = findNear(first, ',');
    if (comma == std::string_view::npos ||
        findNear(first, ',', comma + 1) != std::string_view::npos)
        return false;
    if (!firstThree(first.substr(comma + 1), '-', stamp) ||
        !firstThree(line.substr(blank + 1, timeEnd - blank - 1), ':', stamp + 3))
        return false;
    const std::size_t secondComma = findNear(line, ',', comma + 1);
    const std::size_t last = line.rfind(',');
    if (secondComma == std::string_view::npos || last <= secondComma) return false;
    readings = line.substr(secondComma + 1, last - secondComma - 1);
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
    std::string_view readings;
    std::string_view stamp[6];
    if (!toScanParts(line, readings, stamp) ||
        scan::storeScanLine(readings, stamp, record_) != scan::LineResult::Stored) {
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
