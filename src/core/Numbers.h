// Numbers as they travel in SCPI commands, replies and the instrument's CSV
// files: the one set of readers and writers every layer uses. Always the
// classic "C" rules, whatever locale the application set.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace korda32ex {

namespace wire {
// Fixed notation with six decimals ("%.6f"): 10 -> "10.000000".
std::string fixed6(double v);
// Six significant digits, as a default formatted output stream writes ("%g"):
// 10 -> "10", 0.5 -> "0.5", 1e-07 -> "1e-07".
std::string general(double v);
// Scientific notation with six decimals ("%.6e"): 1 -> "1.000000e+00".
std::string scientific6(double v);
} // namespace wire

namespace detail {
// The pieces of readFixedScientific, which is inline: a reading is read in
// the loop that splits its line.
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The eight bytes at p as one little-endian word.
inline std::uint64_t loadWord(const char* p) {
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
inline bool allDigits(std::uint64_t w) {
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u, zeros = 0x3030303030303030u;
    return (w & high) == zeros && ((w + 0x0606060606060606u) & high) == zeros;
}

// The eight decimal digits of a word (first character in the low byte) as
// one number, in three multiplication steps instead of eight.
inline std::uint32_t eightDigits(std::uint64_t w) {
    w -= 0x3030303030303030u;
    w = w * 10 + (w >> 8); // pairs of digits
    w = (((w & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
         (((w >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
        32;
    return static_cast<std::uint32_t>(w);
}

// The powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxExactScale = 22;

// digits x 10^scale, rounded once: both factors are exact doubles (digits at
// most 2^53, |scale| at most 22), so one multiplication or division gives
// the correctly rounded value, the value from_chars gives.
inline double scaled(std::uint64_t digits, int scale) {
    const double v = static_cast<double>(digits);
    return scale < 0 ? v / kExactPowersOfTen[-scale] : v * kExactPowersOfTen[scale];
}
} // namespace detail

// Reads a signed decimal integer the way strtol does: leading blanks and a
// sign accepted, reading stops at the first character that is not a digit.
// Empty when no digit follows, or when the number does not fit 64 bits (then
// *outOfRange, when given, is set).
std::optional<std::int64_t> readLeadingInteger(std::string_view text, bool* outOfRange = nullptr);
// As readLeadingInteger, limited to the int range.
std::optional<int> readLeadingInt(std::string_view text);
// Stream extraction into an unsigned 32-bit value that starts at 0: the value
// read, or 0 when the text does not start with a number (or it does not fit).
std::uint32_t readUnsignedOrZero(std::string_view text);

// Reads a decimal real number the way stream extraction does: leading blanks,
// an optional sign, digits with an optional point and exponent; stops at the
// first other character. Empty when the text does not begin with a number
// ("inf" and "nan" are words, not numbers). A magnitude beyond the double
// range reads as the largest double, an underflow as 0.
std::optional<double> readLeadingReal(std::string_view text);

// The first step of readLeadingReal, for the form readings usually take:
// exactly "d.dddddd" followed by "e" or "E", a sign and two exponent digits
// (no sign in front; no further digit may follow). Returns where the number
// ends and sets value (the value readLeadingReal gives) when [first, last)
// begins with that form and the value is a one-step exact conversion;
// nullptr otherwise, leaving the text to readLeadingReal.
inline const char* readFixedScientific(const char* first, const char* last, double& value) {
    // "d.dddddd" is read as the eight digits "0ddddddd": the leading digit
    // moves into the place of the point, a zero into its own.
    if (last - first < 12 || first[1] != '.') return nullptr;
    const std::uint64_t word = detail::loadWord(first);
    const std::uint64_t digits = (word & ~std::uint64_t{0xFFFF}) | ((word & 0xFF) << 8) | '0';
    if (!detail::allDigits(digits)) return nullptr;
    if ((first[8] != 'e' && first[8] != 'E') || (first[9] != '+' && first[9] != '-') ||
        !detail::isDigit(first[10]) || !detail::isDigit(first[11]))
        return nullptr;
    const char* const stop = first + 12;
    if (stop < last && detail::isDigit(*stop)) return nullptr; // a longer exponent
    const int exponent = (first[10] - '0') * 10 + (first[11] - '0');
    const int scale = (first[9] == '-' ? -exponent : exponent) - 6;
    if (scale < -detail::kMaxExactScale || scale > detail::kMaxExactScale) return nullptr;
    value = detail::scaled(detail::eightDigits(digits), scale);
    return stop;
}

// A double narrowed to float; a magnitude beyond the float range becomes an
// infinity of the same sign.
inline float toFloat(double value) {
    constexpr double maxFloat = std::numeric_limits<float>::max();
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    if (value > maxFloat) return std::numeric_limits<float>::infinity();
    if (value < -maxFloat) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

} // namespace korda32ex
