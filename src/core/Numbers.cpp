#include "core/Numbers.h"

#include <bit>
#include <charconv>
#include <cstring>
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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The eight bytes at p as one little-endian word.
std::uint64_t loadWord(const char* p) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i, w >>= 8)
            swapped = (swapped << 8) | (w & 0xFF);
        w = swapped;
    }
    return w;
}

// True when every byte of the word is a decimal digit.
bool allDigits(std::uint64_t w) {
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u, zeros = 0x3030303030303030u;
    return (w & high) == zeros && ((w + 0x0606060606060606u) & high) == zeros;
}

// The eight decimal digits of a word (first character in the low byte) as
// one number, in three multiplication steps instead of eight.
std::uint32_t eightDigits(std::uint64_t w) {
    w -= 0x3030303030303030u;
    w = w * 10 + (w >> 8); // pairs of digits
    w = (((w & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
         (((w >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
        32;
    return static_cast<std::uint32_t>(w);
}

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactScale = 22;

// digits x 10^scale, rounded once: both factors are exact doubles (digits at
// most 2^53, |scale| at most 22), so one multiplication or division gives
// the correctly rounded value, the value from_chars gives.
double scaled(std::uint64_t digits, int scale) {
    const double v = static_cast<double>(digits);
    return scale < 0 ? v / kExactPowersOfTen[-scale] : v * kExactPowersOfTen[scale];
}

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
    if (digits > (std::uint64_t{1} << 53) || scale < -kMaxExactScale || scale > kMaxExactScale)
        return std::nullopt;
    return scaled(digits, scale);
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

const char* readFixedScientific(const char* first, const char* last, double& value) {
    // "d.dddddd" is read as the eight digits "0ddddddd": the leading digit
    // moves into the place of the point, a zero into its own.
    if (last - first < 12 || first[1] != '.') return nullptr;
    const std::uint64_t word = loadWord(first);
    const std::uint64_t digits = (word & ~std::uint64_t{0xFFFF}) | ((word & 0xFF) << 8) | '0';
    if (!allDigits(digits)) return nullptr;
    if ((first[8] != 'e' && first[8] != 'E') || (first[9] != '+' && first[9] != '-') ||
        !isDigit(first[10]) || !isDigit(first[11]))
        return nullptr;
    const char* const stop = first + 12;
    if (stop < last && isDigit(*stop)) return nullptr; // a longer exponent
    const int exponent = (first[10] - '0') * 10 + (first[11] - '0');
    const int scale = (first[9] == '-' ? -exponent : exponent) - 6;
    if (scale < -kMaxExactScale || scale > kMaxExactScale) return nullptr;
    value = scaled(eightDigits(digits), scale);
    return stop;
}

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
