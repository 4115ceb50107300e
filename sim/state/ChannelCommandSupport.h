// Helpers of the virtual instrument's alarm, scaling, text and computed
// channel commands. Their channel list is the last one of the arguments, as
// in "CALC:MATH:SOUR:ACH (@101),(@501)" or a name holding "(@":
//   "LOW,(@101)", "2.5, (@101)", "\"name\", (@501)", "(@101,205,1), (@503)".
#pragma once

#include "ChannelState.h"
#include "scpi/CommandTable.h"
#include "scpi/ScpiArgs.h"

#include <functional>
#include <string>
#include <vector>

namespace korda::sim {

class Instrument;

enum class ChannelScope { Any, Analog, Computed };

struct SettingTargets {
    std::string value;         // the text before the last channel list, blanks and comma removed
    std::vector<int> channels; // the channels of the last list
};

// Splits a setting's arguments at its last channel list and checks every
// channel; on failure the reply carries the instrument error and false is
// returned.
bool settingTargets(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                    SettingTargets& out);
// Answers a query over its channel list: one piece per channel, joined by ",".
void answerEach(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                const std::function<std::string(const ChannelState&)>& piece);

// The text of a value that is one quoted string (a doubled quotation mark
// reads as one); false for any other value.
bool quotedText(const std::string& value, std::string& text);
// A text answered as a quoted string, its quotation marks doubled.
std::string quotedReply(const std::string& text);
// A channel list written as the instrument answers it: "(@101,205,1)".
std::string channelListReply(const std::vector<int>& channels);

} // namespace korda::sim
