#include "logdata/FileLines.h"

#include <algorithm>
#include <cstring>

namespace korda32ex::logdata {

FileLines::FileLines(const platform::ReadOnlyFile& file, std::uint64_t offset,
                     std::size_t maxLineBytes, std::size_t blockBytes)
    : file_(file), startOffset_(offset), bufferOffset_(offset), readOffset_(offset),
      maxLineBytes_(maxLineBytes), capacity_(std::max<std::size_t>(blockBytes, 64)),
      buffer_(new char[capacity_]) {
    cursor_.reset(std::string_view(buffer_.get(), 0), false);
}

bool FileLines::next(std::string_view& line, std::uint64_t& offset) {
    for (;;) {
        if (cursor_.next(line)) {
            offset = bufferOffset_ + static_cast<std::uint64_t>(line.data() - buffer_.get());
            return true;
        }
        if (atEnd_ || failed_ || !refill()) return false;
    }
}

std::string_view FileLines::rest() const {
    const char* from = cursor_.rest();
    return std::string_view(from, static_cast<std::size_t>(buffer_.get() + filled_ - from));
}

// Moves the unfinished rest to the front of the buffer (growing it when the
// rest fills it) and reads the next block behind it.
bool FileLines::refill() {
    const std::size_t kept = rest().size();
    const std::size_t consumed = filled_ - kept;
    // The rest may hold a line end whose pair is still to come.
    if (kept > maxLineBytes_ && kept - maxLineBytes_ > 2) {
        failed_ = true;
        tooLong_ = true;
        return false;
    }
    if (kept == capacity_) {
        const std::size_t grown = capacity_ * 2;
        std::unique_ptr<char[]> bigger(new char[grown]);
        std::memcpy(bigger.get(), buffer_.get(), kept);
        buffer_ = std::move(bigger);
        capacity_ = grown;
    } else if (kept > 0) {
        std::memmove(buffer_.get(), buffer_.get() + consumed, kept);
    }
    bufferOffset_ += consumed;
    const std::size_t wanted = capacity_ - kept;
    const long long got = file_.readAt(readOffset_, buffer_.get() + kept, wanted);
    if (got < 0) {
        failed_ = true;
        return false;
    }
    readOffset_ += static_cast<std::uint64_t>(got);
    // readAt returns less than asked only at the end of the file.
    atEnd_ = static_cast<std::size_t>(got) < wanted;
    filled_ = kept + static_cast<std::size_t>(got);
    cursor_.reset(std::string_view(buffer_.get(), filled_), atEnd_);
    return true;
}

} // namespace korda32ex::logdata
