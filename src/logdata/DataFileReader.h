// The scans of a data file: the CSV text of a recording, read from a USB
// drive or fetched from the instrument's log memory. Line 1 is the header
// ("Record #,Time,..."); every further line is one scan: record number, time
// stamp "YYYY-MM-DD hh:mm:ss[.fff]", the readings, one further column and the
// line's check code.
#pragma once

#include "korda32ext.h"

#include <string_view>

namespace korda32ex::logdata {

// Counts the scans of a data text: its lines less the header, empty lines and
// lines holding the instrument's no-error reply. count is set (0 when the text
// has fewer than two lines); true when it is at least 1.
bool countScans(std::string_view text, int& count);

// Reads scans of a data text into the record, from the record's entrySize on
// (the caller sets it to 12 for a fresh record). start = 0 reads the first
// `count` scans; start > 0 continues a read: the caller passes back the
// record of the previous call, whose scansRemaining says how many scans were
// left, and start = the number of scans already read. scansRemaining is set
// to what is left after this call. Returns the number of scans stored, or 0
// when a line cannot be taken apart (the scans stored before it stay in the
// record's scanCount).
int readDataText(std::string_view text, int start, int count, ScanRecord& record);

} // namespace korda32ex::logdata
