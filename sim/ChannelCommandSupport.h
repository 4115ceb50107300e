// Helpers of the virtual instrument's channel commands: which channels a
// command may address, and how settings and queries walk their channel lists.
#pragma once

#include "ChannelArgs.h"
#include "ChannelSettings.h"
#include "CommandTable.h"

#include <functional>
#include <string>
#include <vector>

namespace korda::sim {

class Instrument;

enum class ChannelScope { Any, Analog, Computed };

// Channel 1, the channels of fitted modules (s01..s22) and 501..520.
bool channelExists(Instrument& in, int number);
bool inScope(int number, ChannelScope scope);

// Splits a setting's arguments and checks every channel; on failure the reply
// carries the instrument error and false is returned.
bool settingTargets(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                    ChannelArgs& out);
// Answers a query over its channel list: one piece per channel, joined by ",".
void answerEach(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                const std::function<std::string(int number)>& piece);

// Instrument errors of channel commands.
void missingParameter(Reply& r);
void illegalValue(Reply& r);
void outOfRange(Reply& r);
void settingsConflict(Reply& r);

// "ON"/"1" and "OFF"/"0" (any letter case); false for anything else.
bool booleanArgument(const std::string& value, bool& on);

} // namespace korda::sim
