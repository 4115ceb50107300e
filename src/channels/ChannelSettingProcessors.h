// The per-channel settings besides function and range: alarms, scaling,
// integration time, delay, thermocouple options, name and unit. One processor
// per setting, each a child of the channel's composite.
#pragma once

#include "channels/ChannelProcessorBase.h"

namespace korda32ex {

class FirstAlarmFunctionProcessor final : public ChannelProcessor {
  public:
    FirstAlarmFunctionProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class SecondAlarmFunctionProcessor final : public ChannelProcessor {
  public:
    SecondAlarmFunctionProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class ThermoDetectionProcessor final : public ChannelProcessor {
  public:
    ThermoDetectionProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class FactorMProcessor final : public ChannelProcessor {
  public:
    FactorMProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class FactorBProcessor final : public ChannelProcessor {
  public:
    FactorBProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class CustomSampleRateProcessor final : public ChannelProcessor {
  public:
    CustomSampleRateProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class ChannelDelayProcessor final : public ChannelProcessor {
  public:
    ChannelDelayProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class FirstAlarmLimitProcessor final : public ChannelProcessor {
  public:
    FirstAlarmLimitProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class SecondAlarmLimitProcessor final : public ChannelProcessor {
  public:
    SecondAlarmLimitProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class FirstAlarmIOProcessor final : public ChannelProcessor {
  public:
    FirstAlarmIOProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class SecondAlarmIOProcessor final : public ChannelProcessor {
  public:
    SecondAlarmIOProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class ChannelAlarmTriggerProcessor final : public ChannelProcessor {
  public:
    ChannelAlarmTriggerProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class ChannelNameProcessor final : public ChannelProcessor {
  public:
    ChannelNameProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

class ChannelUnitProcessor final : public ChannelProcessor {
  public:
    ChannelUnitProcessor(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

} // namespace korda32ex
