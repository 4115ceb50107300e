// Parameter parsing and number formatting for the virtual instrument's
// clock, I/O, scanning and monitoring commands. Locale-free throughout.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korda::sim::args {

// "ON"/"1" and "OFF"/"0" in any letter case.
std::optional<bool> boolean(std::string_view text);
// A whole decimal number with optional blanks and sign; nothing else may follow.
std::optional<long long> integer(std::string_view text);
// A decimal real number; nothing else may follow.
std::optional<double> real(std::string_view text);
// Comma-separated pieces, blanks around each removed.
std::vector<std::string_view> split(std::string_view text);
// A channel list "(@101,102,105:107)"; "(@)" is an empty list.
std::optional<std::vector<int>> channelList(std::string_view text);
// "(@101,102)" for a list; "(@)" for none.
std::string formatChannelList(const std::vector<int>& channels);
// A quoted SCPI string at the front of text ('"' or '\'', a doubled quote
// stands for one); rest receives what follows the closing quote.
std::optional<std::string> quotedString(std::string_view text, std::string_view& rest);
// A reading as the instrument writes it: scientific notation with six
// decimals; overloads as "9.900000e+37" / "-9.900000e+37", a reading that
// could not be taken (NaN) as "9.910000E+37".
std::string formatReading(double value);

} // namespace korda::sim::args
