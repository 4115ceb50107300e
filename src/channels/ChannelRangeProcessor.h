// The range of an analog channel, or for temperature channels the sensor type
// with its calibration values.
#pragma once

#include "channels/ChannelProcessorBase.h"

namespace korda32ex {

class ChannelRangeProcessor final : public ChannelProcessor, CommonCommandConfig {
  public:
    ChannelRangeProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}

    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

} // namespace korda32ex
