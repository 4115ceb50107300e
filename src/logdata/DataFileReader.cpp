#include "logdata/DataFileReader.h"

#include "logdata/TextLines.h"
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

// Reusable pieces of one line's conversion, so that a long file allocates
// once.
struct LineScratch {
    std::vector<std::string_view> blanks, first, second, date, time, fields;
    std::string reply;
};

// Turns a data line into the form of a reading reply: the readings and the
// further column, then year, month, day, hour, minute and seconds, separated
// by commas. False when the line has no blank between date and time, a first
// field pair that is not record number and date, or a date or time of fewer
// than three parts.
bool toReadingReply(std::string_view line, LineScratch& s) {
    splitAt(line, ' ', s.blanks);
    if (s.blanks.size() < 2) return false;
    splitAt(s.blanks[0], ',', s.first);
    if (s.first.size() != 2) return false;
    splitAt(s.blanks[1], ',', s.second);
    splitAt(s.first[1], '-', s.date);
    splitAt(s.second[0], ':', s.time);
    if (s.date.size() < 3 || s.time.size() < 3) return false;

    // Fields 3 to N-1 of the line: the readings and the further column; the
    // check code (field N) is left out.
    splitAt(line, ',', s.fields);
    s.reply.clear();
    for (std::size_t i = 2; i + 1 < s.fields.size(); ++i) {
        s.reply.append(s.fields[i]);
        s.reply += ',';
    }
    for (std::size_t i = 0; i < 3; ++i) {
        s.reply.append(s.date[i]);
        s.reply += ',';
    }
    for (std::size_t i = 0; i < 3; ++i) {
        s.reply.append(s.time[i]);
        s.reply += ',';
    }
    s.reply.pop_back(); // the parser takes the reply without its closing comma
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
        return !l.empty() && l.find("0,\"No error\"") == std::string_view::npos;
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

    LineScratch scratch;
    for (std::int64_t i = first; i <= last; ++i) {
        if (!toReadingReply(lines[static_cast<std::size_t>(i)], scratch)) return 0;
        if (scan::storeScanLine(scratch.reply, record) != scan::LineResult::Stored) return 0;
        ++record.scanCount;
    }
    return record.scanCount;
}

} // namespace korda32ex::logdata
