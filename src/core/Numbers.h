// Numbers as they travel in SCPI commands, replies and the instrument's CSV
// files: the one set of readers and writers every layer uses. Always the
// classic "C" rules, whatever locale the application set.
#pragma once

#include <cmath>
#include <cstdint>
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
const char* readFixedScientific(const char* first, const char* last, double& value);

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
