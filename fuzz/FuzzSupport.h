// Shared pieces of the fuzz targets: a reader that takes typed values off the
// front of the input, so one input can drive both the choices and the text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korda::fuzz {

class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}

    // One byte off the front (0 when the input is used up).
    std::uint8_t byte() {
        if (text_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(text_.front());
        text_.remove_prefix(1);
        return b;
    }
    // Up to n bytes off the front.
    std::string_view take(std::size_t n) {
        const std::string_view piece = text_.substr(0, std::min(n, text_.size()));
        text_.remove_prefix(piece.size());
        return piece;
    }
    std::string_view rest() const { return text_; }
    bool empty() const { return text_.empty(); }

  private:
    std::string_view text_;
};

} // namespace korda::fuzz
