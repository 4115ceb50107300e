// The measurement function of an analog channel.
#pragma once

#include "channels/ChannelProcessorBase.h"

namespace korda32ex {

class ChannelFunctionProcessor final : public ChannelProcessor {
  public:
    ChannelFunctionProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}

    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

} // namespace korda32ex
