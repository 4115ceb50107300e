// Alarms of an analog channel: state, limit and digital output of alarms 1
// and 2, and the mark that lets the channel's alarm trigger a scan.
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "core/Numbers.h"

namespace korda32ex {

namespace {

using namespace channelrules;

constexpr std::uint32_t kTriggerBit = 0x1;
constexpr std::uint32_t kAnyAlarmBits = 0x1E;

std::string limitHeader(int alarm) {
    return alarm == 1 ? "CALC:LIM1" : "CALC:LIM2";
}

double& limitOf(ChannelRecord& c, int alarm) {
    return alarm == 1 ? c.alarm1Limit : c.alarm2Limit;
}
std::uint32_t& outputOf(ChannelRecord& c, int alarm) {
    return alarm == 1 ? c.alarm1Output : c.alarm2Output;
}

void appendAlarmState(const ChannelRecord* c, int alarm, const std::string& list,
                      CommandList& commands) {
    if (c == nullptr || !isOn(c->function)) return;
    commands.push_back(limitHeader(alarm) + ":STAT " + alarmStateWord(c->alarmFlags, alarm) + "," +
                       list);
}

void appendLimit(const ChannelRecord* c, int alarm, const std::string& list,
                 CommandList& commands) {
    if (c == nullptr || !isOn(c->function)) return;
    commands.push_back(limitHeader(alarm) + " " +
                       wire::general(alarm == 1 ? c->alarm1Limit : c->alarm2Limit) + "," + list);
}

void appendOutput(const ChannelRecord* c, int alarm, const std::string& list,
                  CommandList& commands) {
    if (c == nullptr || !isOn(c->function)) return;
    int k = 0;
    if (outputNumber(alarm == 1 ? c->alarm1Output : c->alarm2Output, k))
        commands.push_back(limitHeader(alarm) + ":FEED " + std::to_string(k) + ", " + list);
}

} // namespace

// ---- Alarm state, limit and output ------------------------------------------

template <int Alarm>
bool AlarmFunctionProcessor<Alarm>::buildCommands(const VmrInstConfig& record,
                                                  CommandList& commands, std::string&, int&) {
    appendAlarmState(presentChannel(record), Alarm, list(), commands);
    return true;
}

template <int Alarm>
bool AlarmFunctionProcessor<Alarm>::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back(limitHeader(Alarm) + ":STAT? " + list());
    return true;
}

template <int Alarm>
bool AlarmFunctionProcessor<Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                  std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseAlarmState(reply, c->alarmFlags, Alarm, errorText, errorCode);
}

template <int Alarm>
bool AlarmLimitProcessor<Alarm>::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    appendLimit(presentChannel(record), Alarm, list(), commands);
    return true;
}

template <int Alarm>
bool AlarmLimitProcessor<Alarm>::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back(limitHeader(Alarm) + "? " + list());
    return true;
}

template <int Alarm>
bool AlarmLimitProcessor<Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseNonNegative(reply, limitOf(*c, Alarm), errorText, errorCode);
}

template <int Alarm>
bool AlarmIOProcessor<Alarm>::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                            std::string&, int&) {
    appendOutput(presentChannel(record), Alarm, list(), commands);
    return true;
}

// The output is always asked.
template <int Alarm>
bool AlarmIOProcessor<Alarm>::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(limitHeader(Alarm) + ":FEED? " + list());
    return true;
}

template <int Alarm>
bool AlarmIOProcessor<Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                            std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (c == nullptr) return true;
    return parseOutput(reply, outputOf(*c, Alarm), errorText, errorCode);
}

template class AlarmFunctionProcessor<1>;
template class AlarmFunctionProcessor<2>;
template class AlarmLimitProcessor<1>;
template class AlarmLimitProcessor<2>;
template class AlarmIOProcessor<1>;
template class AlarmIOProcessor<2>;

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
