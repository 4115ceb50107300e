// The lines of a file under the CSV line rule (LineRule::File), read in large
// blocks at any offset: no call into the system per line, and memory bounded
// by the block size (or by the longest line, up to a limit).
#pragma once

#include "core/Text.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace korda32ex::logdata {

class FileLines {
  public:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    // Reads file from offset on (which should be the start of a line). A line
    // longer than maxLineBytes ends the reading as a failure.
    explicit FileLines(const platform::ReadOnlyFile& file, std::uint64_t offset = 0,
                       std::size_t maxLineBytes = SIZE_MAX, std::size_t blockBytes = kBlockBytes);

    // The next complete line (valid until the next call) and the file offset
    // where it starts. False at the end of the file, or when reading failed.
    bool next(std::string_view& line, std::uint64_t& offset);
    // Reading failed: a read error, or a line longer than the limit.
    bool failed() const { return failed_; }
    // The failure was a line longer than the limit.
    bool lineTooLong() const { return tooLong_; }
    // Once next() returned false without failure: the text after the last
    // line end (no line, as the rule says, though some readers look at it).
    std::string_view rest() const;
    // Bytes read from the file so far.
    std::uint64_t bytesRead() const { return readOffset_ - startOffset_; }

  private:
    bool refill();

    const platform::ReadOnlyFile& file_;
    const std::uint64_t startOffset_;
    std::uint64_t bufferOffset_; // file offset of buffer_[0]
    std::uint64_t readOffset_;   // file offset of the next read
    std::size_t maxLineBytes_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t filled_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
    bool tooLong_ = false;
    FileLineCursor cursor_;
};

} // namespace korda32ex::logdata
