// Texts of the virtual instrument's scanning commands that the shared argument
// helpers do not cover: channel lists and reading replies.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korda::sim::args {

// "(@101,102)" for a list; "(@)" for none.
std::string formatChannelList(const std::vector<int>& channels);
// A reading as the instrument writes it: scientific notation with six
// decimals; overloads as "9.900000e+37" / "-9.900000e+37", a reading that
// could not be taken (NaN) as "9.910000E+37".
std::string formatReading(double value);
// The number of a reading in scientific notation with six decimals, or seven
// for a whole number that six would round (10^7 up to 10^8, the scan numbers
// of numbered scans), so that every whole number a float holds exactly
// arrives exactly: 12345678 -> "1.2345678e+07".
std::string scientificReading(double value);

} // namespace korda::sim::args
