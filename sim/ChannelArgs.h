// Argument forms of the virtual instrument's channel commands:
//   "LOW,(@101)", "2.5, (@101)", "\"name\", (@501)", "(@101),(@501)",
//   "(@101,102,205,1), (@503)", "(@101:105)".
// The last channel list names the channels the command acts on; what comes
// before it is the value.
#pragma once

#include <string>
#include <vector>

namespace korda::sim {

struct ChannelArgs {
    std::string value;         // the text before the last channel list, blanks and comma removed
    std::vector<int> channels; // the channels of the last list
};

// False when there is no channel list or it is malformed (numbers separated by
// commas, "a:b" for a range of consecutive numbers).
bool splitChannelArgs(const std::string& args, ChannelArgs& out);

// Parses one channel list "(@...)"; false when malformed or empty.
bool parseChannelList(const std::string& text, std::vector<int>& channels);

// The text between the first and the last double quote; false without two quotes.
bool quotedText(const std::string& value, std::string& text);

// Replies: numbers in the instrument's form "+1.00000000E+00", classic rules.
std::string replyNumber(double v);
// A real number of an argument (classic rules); false when it is not one.
bool argumentNumber(const std::string& text, double& v);

std::string upperCase(std::string s);

} // namespace korda::sim
