#include "core/Numbers.h"

#include <charconv>
#include <limits>

namespace korda32ex {

namespace {

std::string format(double v, std::chars_format fmt, int precision) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, fmt, precision);
    return std::string(buf, r.ptr);
}

// The white space of the classic "C" rules, whatever the process locale.
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Skips leading blanks and one sign; returns the position of what follows.
std::size_t skipBlanksAndSign(std::string_view t, bool& negative) {
    std::size_t i = 0;
    while (i < t.size() && isBlank(t[i]))
        ++i;
    negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    return i;
}

using detail::isDigit;

// The usual reading, a short decimal such as "-4.033000E+00" (the sign
// already passed). Empty for anything else, which takes the general way.
std::optional<double> readShortDecimal(const char* p, const char* const end) {
    double fixed = 0;
    if (readFixedScientific(p, end, fixed) != nullptr) return fixed;
    std::uint64_t digits = 0;
    int count = 0;
    int scale = 0;
    for (; p < end && isDigit(*p); ++p, ++count)
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (p < end && *p == '.')
        for (++p; p < end && isDigit(*p); ++p, ++count, --scale)
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (count == 0 || count > 19) return std::nullopt;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negative = q < end && *q == '-';
        if (q < end && (*q == '+' || *q == '-')) ++q;
        // Without a digit the exponent is no part of the number.
        if (q < end && isDigit(*q)) {
            int exponent = 0;
            for (; q < end && isDigit(*q); ++q)
                if (exponent < 1000) exponent = exponent * 10 + (*q - '0');
            scale += negative ? -exponent : exponent;
        }
    }
    if (digits > (std::uint64_t{1} << 53) || scale < -detail::kMaxExactScale ||
        scale > detail::kMaxExactScale)
        return std::nullopt;
    return detail::scaled(digits, scale);
}

} // namespace

namespace wire {
std::string fixed6(double v) {
    return format(v, std::chars_format::fixed, 6);
}

std::string general(double v) {
    return format(v, std::chars_format::general, 6);
}

std::string scientific6(double v) {
    return format(v, std::chars_format::scientific, 6);
}
} // namespace wire

std::optional<std::int64_t> readLeadingInteger(std::string_view text, bool* outOfRange) {
    if (outOfRange != nullptr) *outOfRange = false;
    bool negative = false;
    const std::size_t i = skipBlanksAndSign(text, negative);
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first == last || !isDigit(*first)) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto r = std::from_chars(first, last, magnitude, 10);
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
    if (r.ec != std::errc() || magnitude > limit) {
        if (outOfRange != nullptr) *outOfRange = true;
        return std::nullopt;
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

std::optional<int> readLeadingInt(std::string_view text) {
    const auto v = readLeadingInteger(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*v);
}

std::uint32_t readUnsignedOrZero(std::string_view text) {
    const auto v = readLeadingInteger(text);
    if (!v || *v < 0 || *v > std::numeric_limits<std::uint32_t>::max()) return 0;
    return static_cast<std::uint32_t>(*v);
}

std::optional<double> readLeadingReal(std::string_view text) {
    bool negative = false;
    const std::size_t i = skipBlanksAndSign(text, negative);
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    // A number starts with a digit or a point; from_chars takes no sign here.
    if (first == last || !(isDigit(*first) || *first == '.')) return std::nullopt;
    if (const auto quick = readShortDecimal(first, last)) return negative ? -*quick : *quick;
    double v = 0;
    const auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument || r.ptr == first) return std::nullopt;
    // An out-of-range magnitude reads as the largest value, as a stream does;
    // one too small to represent (a negative exponent) reads as 0.
    if (r.ec == std::errc::result_out_of_range) {
        const std::string_view digits(first, static_cast<std::size_t>(r.ptr - first));
        const auto e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    return negative ? -v : v;
}

} // namespace korda32ex
