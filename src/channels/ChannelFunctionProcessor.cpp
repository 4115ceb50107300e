#include "channels/ChannelSettingProcessors.h"

#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"

#include <array>

namespace korda32ex {

namespace {

// Function words of the "CONF?" reply, in the order they are tried.
constexpr std::array<TokenCode, 13> kFunctionReplies{{
    {"\"VOLT\"", 1},
    {"\"VOLT:AC\"", 2},
    {"\"CURR\"", 3},
    {"\"CURR:AC\"", 4},
    {"\"FRES\"", 6},
    {"\"RES\"", 5},
    {"\"TEMP TC\"", 12},
    {"\"TEMP FRTD\"", 9},
    {"\"TEMP RTD\"", 7},
    {"\"TEMP TRTD\"", 8},
    {"\"TEMP THER\"", 10},
    {"\"TEMP FTH\"", 11},
    {"\"FREQ\"", 13},
}};

} // namespace

bool ChannelFunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                             std::string&, int&) {
    const ChannelRecord* channel = presentChannel(record);
    if (channel == nullptr) return true;
    // Module channels 1-20 measure current as the voltage across a shunt;
    // channel 1 and module channels 21 and 22 have current inputs.
    const bool throughShunt = slot() >= 0 && index() < 20;
    const bool hasAc = currentModel().acFunctions;
    const char* word = nullptr;
    switch (channel->function) {
    case 1:
        word = "CONF:VOLT ";
        break;
    case 2:
        word = hasAc ? "CONF:VOLT:AC " : nullptr;
        break;
    case 3:
        word = throughShunt ? "CONF:VOLT " : "CONF:CURR:DC ";
        break;
    case 4:
        if (hasAc) word = throughShunt ? "CONF:VOLT:AC " : "CONF:CURR:AC ";
        break;
    case 5:
        word = "CONF:RES ";
        break;
    case 6:
        word = "CONF:FRES ";
        break;
    default:
        break; // temperature and frequency: configured with the range
    }
    if (word != nullptr) commands.push_back(word + list());
    return true;
}

bool ChannelFunctionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CONF? " + list());
    return true;
}

bool ChannelFunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                             std::string& errorText, int& errorCode) {
    // A channel read back proves its module present.
    if (slot() >= 0 && slot() < VMR_MODULE_AREAS)
        record.modules[slot()].moduleState = static_cast<std::uint32_t>(slot() + 1);
    ChannelRecord* channel = channelFor(record);
    if (channel == nullptr) return true;
    if (skipped()) {
        channel->function = VMR_CHANNEL_OFF;
        return true;
    }
    const TokenCode* match = findToken(reply, kFunctionReplies);
    if (match == nullptr) return invalidResponse(reply, errorText, errorCode);
    channel->function = match->code;
    return true;
}

} // namespace korda32ex
