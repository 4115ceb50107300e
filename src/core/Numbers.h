// Numbers as they travel in SCPI commands, replies and the instrument's CSV
// files: the one set of readers and writers every layer uses. Always the
// classic "C" rules, whatever locale the application set.
#pragma once

#include <cstdint>
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

// A double narrowed to float; a magnitude beyond the float range becomes an
// infinity of the same sign.
float toFloat(double value);

} // namespace korda32ex
