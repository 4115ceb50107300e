// Measurement settings of an analog channel besides function and range:
// integration time (NPLC), channel delay, and the thermocouple options
// (open-circuit detection, reference junction).
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"
#include "core/Numbers.h"

#include <array>

namespace korda32ex {

namespace {

using namespace channelrules;

constexpr std::uint32_t kNplcRateBits = 0x6; // reading rate "NPLC" in the instrument flags

constexpr std::array<TokenCode, 2> kOpenDetect{{{"ON", 1}, {"OFF", 0}}};
constexpr std::array<TokenCode, 3> kJunctions{{{"INT", 0}, {"FIX", 1}, {"EXT", 2}}};

} // namespace

// ---- Integration time -------------------------------------------------------

bool CustomSampleRateProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                              std::string&, int&) {
    const ChannelRecord* c = onRecord(record);
    if (c == nullptr || !currentModel().integrationTime) return true;
    if ((record.flags & kNplcRateBits) == kNplcRateBits)
        commands.push_back("NPLC " + wire::general(c->nplc) + "," + list());
    return true;
}

bool CustomSampleRateProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("NPLC? " + list());
    return true;
}

bool CustomSampleRateProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                              std::string& errorText, int& errorCode) {
    ChannelRecord* c = replyRecord(record);
    return c == nullptr || parseNonNegative(reply, c->nplc, errorText, errorCode);
}

// ---- Delay ------------------------------------------------------------------

bool ChannelDelayProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                          std::string&, int&) {
    const ChannelRecord* c = onRecord(record);
    if (c != nullptr) commands.push_back("ROUT:CHAN:DEL " + wire::general(c->delay) + "," + list());
    return true;
}

bool ChannelDelayProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("ROUT:CHAN:DEL? " + list());
    return true;
}

bool ChannelDelayProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string& errorText, int& errorCode) {
    ChannelRecord* c = replyRecord(record);
    return c == nullptr || parseNonNegative(reply, c->delay, errorText, errorCode);
}

// ---- Thermocouple open-circuit detection ------------------------------------

bool ThermoDetectionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                             std::string&, int&) {
    const ChannelRecord* c = presentChannel(record);
    if (c == nullptr || c->function != VMR_FUNC_THERMOCOUPLE) return true;
    commands.push_back(std::string("TEMP:TC:ODET ") + (c->openDetect != 0 ? "ON" : "OFF") + ", " +
                       list());
    return true;
}

bool ThermoDetectionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (thermocoupleGate(handler)) queries.push_back("TEMP:TC:ODET? " + list());
    return true;
}

bool ThermoDetectionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                             std::string& errorText, int& errorCode) {
    ChannelRecord* c = replyRecord(record);
    return c == nullptr || parseTokenField(reply, kOpenDetect, c->openDetect, errorText, errorCode);
}

// ---- Thermocouple reference junction ----------------------------------------

bool ThermoColdJunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                                std::string&, int&) {
    const ChannelRecord* c = presentChannel(record);
    if (c == nullptr || c->function != VMR_FUNC_THERMOCOUPLE) return true;
    const char* word = c->refJunction == 1 ? "FIX" : c->refJunction == 2 ? "EXT" : "INT";
    commands.push_back(std::string("TEMP:TC:RJUN:TYPE ") + word + ", " + list());
    return true;
}

bool ThermoColdJunctionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (thermocoupleGate(handler)) queries.push_back("TEMP:TC:RJUN:TYPE? " + list());
    return true;
}

bool ThermoColdJunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                std::string& errorText, int& errorCode) {
    ChannelRecord* c = replyRecord(record);
    return c == nullptr || parseTokenField(reply, kJunctions, c->refJunction, errorText, errorCode);
}

} // namespace korda32ex
