// Argument handling shared by the virtual instrument's command handlers:
// channel lists "(@101,102:105)", comma-separated parameters, switches and
// numbers, and the instrument's real-number reply form.
#pragma once

#include "ScpiErrors.h"

#include <string>
#include <string_view>
#include <vector>

namespace korda::sim {

std::string upperCase(std::string_view s);
bool sameWord(std::string_view a, std::string_view b); // ignoring letter case
std::string trimmed(std::string_view s);

// Arguments of a channel command: the parameters before the channel list and
// the channels it names.
struct ChannelArgs {
    std::string params;        // e.g. "10.000000" of "10.000000,(@101)", blanks trimmed
    std::vector<int> channels; // in the order written, ranges expanded
    bool hasList = false;
};
// False when a channel list is malformed (unbalanced, not numbers, a range
// running backwards or longer than 1000 channels).
bool parseChannelArgs(const std::string& args, ChannelArgs& out);

// Splits at commas, each piece trimmed; an empty text gives no pieces.
std::vector<std::string> splitParams(const std::string& params);

// "ON"/"1" and "OFF"/"0" (any case).
bool parseSwitch(const std::string& text, bool& on);
// A whole text that is one real number (classic "C" rules).
bool parseReal(const std::string& text, double& value);
// A whole text that is one integer.
bool parseInteger(const std::string& text, long long& value);

// The instrument's real-number form: "+1.00000000E+01".
std::string realReply(double value);
// "1" or "0".
inline std::string switchReply(bool on) {
    return on ? "1" : "0";
}

} // namespace korda::sim
