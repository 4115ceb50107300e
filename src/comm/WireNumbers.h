// Numbers as they travel in SCPI commands, replies and the instrument's CSV
// files. Always the classic "C" rules, whatever locale the application set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korda32ex::wire {

// Fixed notation with six decimals ("%.6f"): 10 -> "10.000000".
std::string fixed6(double v);
// Six significant digits, as a default formatted output stream writes ("%g"):
// 10 -> "10", 0.5 -> "0.5", 1e-07 -> "1e-07".
std::string general(double v);
// Scientific notation with six decimals ("%.6e"): 1 -> "1.000000e+00".
std::string scientific6(double v);

// Reads a real number the way stream extraction does: leading blanks skipped,
// optional sign, digits, point, exponent; stops at the first other character.
// Returns false (value untouched) when no number starts the text.
bool readDouble(std::string_view text, double& value);
// Reads a signed decimal integer (leading blanks and sign accepted, stops at
// the first other character). False when there are no digits or the number
// does not fit.
bool readInt64(std::string_view text, std::int64_t& value);
// Stream extraction into an unsigned 32-bit value that starts at 0: the value
// read, or 0 when the text does not start with a number (or it does not fit).
std::uint32_t readUnsignedOrZero(std::string_view text);

} // namespace korda32ex::wire
