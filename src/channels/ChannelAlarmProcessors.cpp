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

// ---- Alarm state ------------------------------------------------------------

bool FirstAlarmFunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                                std::string&, int&) {
    appendAlarmState(presentChannel(record), 1, list(), commands);
    return true;
}

bool FirstAlarmFunctionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:LIM1:STAT? " + list());
    return true;
}

bool FirstAlarmFunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseAlarmState(reply, c->alarmFlags, 1, errorText, errorCode);
}

bool SecondAlarmFunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                                 std::string&, int&) {
    appendAlarmState(presentChannel(record), 2, list(), commands);
    return true;
}

bool SecondAlarmFunctionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:LIM2:STAT? " + list());
    return true;
}

bool SecondAlarmFunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                 std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseAlarmState(reply, c->alarmFlags, 2, errorText, errorCode);
}

// ---- Alarm limit ------------------------------------------------------------

bool FirstAlarmLimitProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                             std::string&, int&) {
    appendLimit(presentChannel(record), 1, list(), commands);
    return true;
}

bool FirstAlarmLimitProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:LIM1? " + list());
    return true;
}

bool FirstAlarmLimitProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                             std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseNonNegative(reply, limitOf(*c, 1), errorText, errorCode);
}

bool SecondAlarmLimitProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                              std::string&, int&) {
    appendLimit(presentChannel(record), 2, list(), commands);
    return true;
}

bool SecondAlarmLimitProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:LIM2? " + list());
    return true;
}

bool SecondAlarmLimitProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                              std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseNonNegative(reply, limitOf(*c, 2), errorText, errorCode);
}

// ---- Alarm output (always asked) --------------------------------------------

bool FirstAlarmIOProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                          std::string&, int&) {
    appendOutput(presentChannel(record), 1, list(), commands);
    return true;
}

bool FirstAlarmIOProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:LIM1:FEED? " + list());
    return true;
}

bool FirstAlarmIOProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (c == nullptr) return true;
    return parseOutput(reply, outputOf(*c, 1), errorText, errorCode);
}

bool SecondAlarmIOProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                           std::string&, int&) {
    appendOutput(presentChannel(record), 2, list(), commands);
    return true;
}

bool SecondAlarmIOProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:LIM2:FEED? " + list());
    return true;
}

bool SecondAlarmIOProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                           std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (c == nullptr) return true;
    return parseOutput(reply, outputOf(*c, 2), errorText, errorCode);
}

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
