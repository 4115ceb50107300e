// Reading numbers and words out of instrument replies, on top of the wire
// number rules (classic "C" rules whatever the application's locale).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korda32ex {

// Reads a decimal integer the way strtol does: leading blanks and a sign
// accepted, reading stops at the first character that is not a digit. Empty
// when no digit follows, or when the number does not fit 64 bits.
std::optional<std::int64_t> readLeadingInteger(std::string_view text);

// As readLeadingInteger, limited to the int range.
std::optional<int> readLeadingInt(std::string_view text);

// Reads a decimal real number the way stream extraction does: leading blanks,
// an optional sign, digits with an optional point and exponent. Empty when the
// text does not begin with a number. A magnitude beyond the double range reads
// as the largest double (an infinity once narrowed to float), an underflow as 0.
std::optional<double> readLeadingReal(std::string_view text);

// A double narrowed to float; a magnitude beyond the float range becomes an
// infinity of the same sign.
float toFloat(double value);

// True when the two texts are equal ignoring ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// True when text contains word, ignoring ASCII letter case.
bool containsIgnoringCase(std::string_view text, std::string_view word);

} // namespace korda32ex
