// The scans of a data file: the CSV text of a recording, read from a USB
// drive or fetched from the instrument's log memory. Line 1 is the header
// ("Record #,Time,..."); every further line is one scan: record number, time
// stamp "YYYY-MM-DD hh:mm:ss[.fff]", the readings, one further column and the
// line's check code.
#pragma once

#include "korda32ext.h"

#include <cstdint>
#include <string_view>

namespace korda32ex::logdata {

// A line that counts as a scan: not empty, and not holding the instrument's
// no-error reply.
bool countsAsScan(std::string_view line);
// A line that is data: not empty, and not exactly the no-error reply.
bool isDataLine(std::string_view line);

// Counts the scans of a data text: its lines less the header, empty lines and
// lines holding the instrument's no-error reply. count is set (0 when the text
// has fewer than two lines); true when it is at least 1.
bool countScans(std::string_view text, int& count);
// The same count from the number of lines of a text and of its lines that
// count as scans.
bool scansOfLines(std::int64_t lines, std::int64_t scanLines, int& count);

// Reads scans of a data text into the record, from the record's entrySize on
// (the caller sets it to 12 for a fresh record). start = 0 reads the first
// `count` scans; start > 0 continues a read: the caller passes back the
// record of the previous call, whose scansRemaining says how many scans were
// left, and start = the number of scans already read. scansRemaining is set
// to what is left after this call. Returns the number of scans stored, or 0
// when a line cannot be taken apart (the scans stored before it stay in the
// record's scanCount).
int readDataText(std::string_view text, int start, int count, ScanRecord& record);

// One read of readDataText, fed with the data lines (isDataLine) of a text in
// order, numbered from 0 (the header).
class ScanReading {
  public:
    // Sets the record's scanCount to 0 (and reads its scansRemaining for a
    // continuation).
    ScanReading(int start, int count, ScanRecord& record);
    std::int64_t first() const { return first_; }
    // Data line `index` is to be taken.
    bool wants(std::int64_t index) const { return !failed_ && index >= first_ && index <= last_; }
    // No line from `index` on is to be taken.
    bool doneAt(std::int64_t index) const { return failed_ || index > last_; }
    bool continuation() const { return continuation_; }
    void take(std::string_view line);
    // Ends the read of a text of dataLines data lines: sets scansRemaining and
    // returns what readDataText returns.
    int finish(std::int64_t dataLines);

  private:
    ScanRecord& record_;
    std::int64_t first_ = 1, last_ = 0, wanted_ = 0, previous_ = 0;
    bool continuation_ = false;
    bool failed_ = false;
};

} // namespace korda32ex::logdata
