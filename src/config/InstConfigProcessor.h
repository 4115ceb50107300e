// The whole instrument: module detection and the processor that turns a
// whole configuration record into the command list that sets up an
// instrument from scratch.
#pragma once

#include "config/IProcessor.h"
#include "config/RecordAccess.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korda32ex {

// The installed modules from an "*OPT?" reply: the reply holds two fields per
// module slot, the first naming the module or "NONE" (exactly) for an empty
// slot. Bit k is set when slot k holds a module; the bit for slot k is taken
// modulo 32. An empty reply is one empty field: a module in slot 0.
std::uint32_t installedModuleMask(std::string_view optReply);

// The build's error code when no channel would be scanned, and those of a
// trigger channel that names no configured channel (these do not stop the
// configuration).
inline constexpr int kNoChannelConfigured = 100;
inline constexpr int kInvalidAlarmChannel = 101;
inline constexpr int kInvalidReferenceChannel = 102;

class InstConfigProcessor final : public CompositeProcessor {
  public:
    // Asks the instrument for its modules ("*OPT?") and its scan list
    // ("ROUT:SCAN?") and builds the processor tree: the temperature unit,
    // channel 1, one module processor per installed slot of the model, the
    // computed channels and the instrument settings. The model code stays the
    // current one of this thread for the processor's lifetime.
    InstConfigProcessor(SCPIHandler& handler, int model);

    // The whole configuration: "*RST", the children's commands, the scan
    // list, the thermocouple reference junctions and the trigger channels.
    // False with code 100 when no channel would be scanned, or with a
    // child's code; a trigger channel that names no configured channel sets
    // code 101 or 102 but the build still succeeds.
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;

    // The instrument's "ROUT:SCAN?" reply when the processor was built ("" when
    // it could not be asked).
    const std::string& scanListAtStart() const { return scanListAtStart_; }
    // 1 when the instrument answered both queries, else the first failing
    // status (a lost connection, a time-out): a tree built without the
    // instrument's answers would configure the wrong modules.
    int queryStatus() const { return queryStatus_; }
    // The module slots that got a module processor.
    const std::vector<int>& moduleSlots() const { return moduleSlots_; }

  private:
    ModelCodeScope model_;
    std::string scanListAtStart_;
    int queryStatus_ = 1;
    std::vector<int> moduleSlots_;
};

// True when a trigger channel number names a configured channel: channel 1
// when its function is set, or a three-digit s·mm with s 1..3 and mm 01..22
// whose channel has its function set (the module's presence is not asked).
bool isValidTriggerChannel(std::uint32_t number, const VmrInstConfig& record);

} // namespace korda32ex
