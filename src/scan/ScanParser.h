// Takes one scan line apart and stores it as the next entry of a scan record.
//
// A scan line is what the instrument answers to "DATA:READ?": k readings, one
// further field, then year, month, day, hour, minute and seconds (with an
// optional decimal fraction), all separated by commas. A line of a data file
// comes as the same fields, already split. The parser keeps no state and
// may be used from any thread.
#pragma once

#include "korda32ext.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace korda32ex::scan {

inline constexpr std::size_t kRecordHeaderSize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
inline constexpr std::size_t kEntryHeaderSize = DLXVMR_SCAN_ENTRY_HEADER_SIZE;
inline constexpr std::size_t kMaxReadings = DLXVMR_MAX_READINGS_PER_SCAN;
inline constexpr std::size_t kTimeFields = 7;

// The instrument's answer when it has no reading to give.
inline constexpr std::string_view kNotANumberReply = "9.910000E+37";
// The value stored for a reading field that is not a number.
inline constexpr float kNotANumberReading = 9.91e37f;

enum class LineResult {
    Stored,    // the entry was written and entrySize set; the caller counts it
    NotAScan,  // empty, or the instrument's not-a-number answer
    Malformed, // too few fields, a time field that is not a number, too many
               // readings, or a reading count that differs from the scans before
};

// Parses line (without a trailing comma) and, when it is a scan, writes it at
// the record's next entry: offset 12 + entrySize x scanCount. It sets
// entrySize to 52 + 4 x readings but leaves scanCount to the caller. A line
// that is rejected leaves the record unchanged, so the stride of the scans
// already stored stays intact. With scanCount > 0 the line must carry as many
// readings as the stored scans.
LineResult storeScanLine(std::string_view line, ScanRecord& record);
// As storeScanLine, for a scan whose time stamp was taken apart elsewhere (a
// line of a data file): readings holds the readings and the further field,
// separated by commas, and stamp the year, month, day, hour, minute and
// seconds fields.
LineResult storeScanLine(std::string_view readings, std::span<const std::string_view, 6> stamp,
                         ScanRecord& record);

// One reading field: the overload words "9.900000e+37" and "+inf" give
// +infinity, "-9.900000e+37" and "-inf" give -infinity (any letter case);
// otherwise the number the field begins with, or 9.91e37 when it is none.
float parseReading(std::string_view field);

} // namespace korda32ex::scan
