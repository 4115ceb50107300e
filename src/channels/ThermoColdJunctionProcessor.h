// The reference junction of a thermocouple channel. Not a child of the
// channel's composite: the whole-instrument configuration runs it for each
// thermocouple channel after the scan list.
#pragma once

#include "channels/ChannelProcessorBase.h"

namespace korda32ex {

class ThermoColdJunctionProcessor final : public ChannelProcessor {
  public:
    ThermoColdJunctionProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

} // namespace korda32ex
