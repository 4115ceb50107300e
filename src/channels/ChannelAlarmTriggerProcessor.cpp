// The mark that lets an analog channel's alarm trigger a scan.
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "core/Numbers.h"

namespace korda32ex {

namespace {

using namespace channelrules;

constexpr std::uint32_t kTriggerBit = 0x1;
constexpr std::uint32_t kAnyAlarmBits = 0x1E;

} // namespace

// ---- Alarm trigger ----------------------------------------------------------

bool ChannelAlarmTriggerProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                                 std::string&, int&) {
    const ChannelRecord* c = presentChannel(record);
    if (c == nullptr || !isOn(*c)) return true;
    if ((c->alarmFlags & kTriggerBit) && (c->alarmFlags & kAnyAlarmBits))
        commands.push_back("TRIG:ALAR:CHAN " + list());
    return true;
}

bool ChannelAlarmTriggerProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TRIG:ALAR:CHAN?"); // one instrument-wide answer, asked by every channel
    return true;
}

// The reply names the one channel whose alarm triggers: this channel ("101"),
// another channel, or none ("000").
bool ChannelAlarmTriggerProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                 std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    if (reply == std::to_string(number())) {
        c->alarmFlags |= kTriggerBit;
        return true;
    }
    if (reply == "000" || readUnsignedOrZero(reply) > 0) {
        c->alarmFlags &= ~kTriggerBit;
        return true;
    }
    return invalidResponse(reply, errorText, errorCode);
}

} // namespace korda32ex
