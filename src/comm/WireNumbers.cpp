#include "comm/WireNumbers.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace korda32ex::wire {

namespace {

std::string format(double v, std::chars_format fmt, int precision) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, fmt, precision);
    return std::string(buf, r.ptr);
}

std::size_t skipBlanks(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    return i;
}

} // namespace

std::string fixed6(double v) { return format(v, std::chars_format::fixed, 6); }

std::string general(double v) { return format(v, std::chars_format::general, 6); }

std::string scientific6(double v) { return format(v, std::chars_format::scientific, 6); }

bool readDouble(std::string_view text, double& value) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own beyond '-', and no leading '+'.
    double v = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    // A number starts with a digit or a point; "inf" and "nan" are words to
    // a stream, not numbers.
    if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.'))
        return false;
    const auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument || r.ptr == first) return false;
    // An out-of-range magnitude reads as the largest value, as a stream does;
    // one too small to represent (a negative exponent) reads as 0.
    if (r.ec == std::errc::result_out_of_range) {
        const std::string_view digits(first, static_cast<std::size_t>(r.ptr - first));
        const auto e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    value = negative ? -v : v;
    return true;
}

bool readInt64(std::string_view text, std::int64_t& value) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first == last || !std::isdigit(static_cast<unsigned char>(*first))) return false;
    const auto r = std::from_chars(first, last, magnitude, 10);
    if (r.ec != std::errc()) return false;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
    if (magnitude > limit) return false;
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

std::uint32_t readUnsignedOrZero(std::string_view text) {
    std::int64_t v = 0;
    if (!readInt64(text, v) || v < 0 || v > std::numeric_limits<std::uint32_t>::max()) return 0;
    return static_cast<std::uint32_t>(v);
}

} // namespace korda32ex::wire
