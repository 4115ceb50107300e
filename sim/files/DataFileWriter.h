// The data-file writer of the virtual instrument's recordings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korda::sim {

// Writes a data file the way the instrument does, on a USB drive and in its log
// memory alike: the header line, then one line per scan, each closed by its
// check code chained from the byte sum of the recording's setup text.
class DataFileWriter {
  public:
    explicit DataFileWriter(std::string_view setupText);
    // The header line ("Record #,Time,Ch101,...,Status,Check" and CR LF).
    static std::string header(const std::vector<int>& channels);
    // Appends the next scan's line, taken at rtcEpochMs (the real-time clock
    // in milliseconds since 1970), with its readings; infinities are written
    // as the overload words.
    void appendScan(std::string& out, std::int64_t rtcEpochMs, const std::vector<double>& readings);
    // The length of the line appendScan would write for this many readings,
    // at most (the instrument checks its room before it writes).
    static std::size_t longestLine(std::size_t readings);

  private:
    std::uint8_t state_ = 0;
    std::uint64_t record_ = 0;
};

} // namespace korda::sim
