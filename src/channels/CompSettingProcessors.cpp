// Alarms, scaling, unit and name of a computed channel.
#include "channels/ChannelRules.h"
#include "channels/CompProcessors.h"
#include "core/Numbers.h"
#include "comm/ScpiText.h"

namespace korda32ex {

namespace {

using namespace channelrules;

std::string limitHeader(int alarm) {
    return alarm == 1 ? "CALC:LIM1" : "CALC:LIM2";
}

} // namespace

// ---- Alarm state ------------------------------------------------------------

bool CompAlarmFunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    if (!channelOn(record)) return true;
    commands.push_back(limitHeader(alarm_) + ":STAT " +
                       alarmStateWord(recordIn(record)->alarmFlags, alarm_) + "," + list());
    return true;
}

bool CompAlarmFunctionProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(limitHeader(alarm_) + ":STAT? " + list());
    return true;
}

bool CompAlarmFunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    return parseAlarmState(reply, rec->alarmFlags, alarm_, errorText, errorCode);
}

// ---- Alarm limit ------------------------------------------------------------

bool CompAlarmLimitProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                            std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    commands.push_back(limitHeader(alarm_) + " " +
                       wire::general(alarm_ == 1 ? rec->alarm1Limit : rec->alarm2Limit) + "," +
                       list());
    return true;
}

bool CompAlarmLimitProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(limitHeader(alarm_) + "? " + list());
    return true;
}

bool CompAlarmLimitProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                            std::string& errorText, int& errorCode) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    return parseNonNegative(reply, alarm_ == 1 ? rec->alarm1Limit : rec->alarm2Limit, errorText,
                            errorCode);
}

// ---- Alarm output -----------------------------------------------------------

bool CompAlarmIOProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    int k = 0;
    if (outputNumber(alarm_ == 1 ? rec->alarm1Output : rec->alarm2Output, k))
        commands.push_back(limitHeader(alarm_) + ":FEED " + std::to_string(k) + ", " + list());
    return true;
}

bool CompAlarmIOProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(limitHeader(alarm_) + ":FEED? " + list());
    return true;
}

bool CompAlarmIOProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                         std::string& errorText, int& errorCode) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    return parseOutput(reply, alarm_ == 1 ? rec->alarm1Output : rec->alarm2Output, errorText,
                       errorCode);
}

// ---- Scaling ----------------------------------------------------------------

bool CompFactorMProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    if (scalingOff(rec->scaleM, rec->scaleB)) {
        commands.push_back("CALC:SCAL:STAT OFF," + list());
    } else {
        commands.push_back("CALC:SCAL:STAT ON," + list());
        commands.push_back("CALC:SCAL:GAIN " + wire::general(rec->scaleM) + ", " + list());
    }
    return true;
}

bool CompFactorMProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:SCAL:GAIN? " + list());
    return true;
}

bool CompFactorMProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                         std::string& errorText, int& errorCode) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    return parseNonNegative(reply, rec->scaleM, errorText, errorCode);
}

bool CompFactorBProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    if (scalingOff(rec->scaleM, rec->scaleB))
        commands.push_back("CALC:SCAL:STAT OFF," + list());
    else
        commands.push_back("CALC:SCAL:OFFS " + wire::general(rec->scaleB) + ", " + list());
    return true;
}

bool CompFactorBProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:SCAL:OFFS? " + list());
    return true;
}

bool CompFactorBProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                         std::string& errorText, int& errorCode) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    return parseNonNegative(reply, rec->scaleB, errorText, errorCode);
}

// ---- Unit and name ----------------------------------------------------------

bool CompTextProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                      std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    const std::string text = commandText(unit_ ? rec->unit : rec->name, kShortTextBytes);
    if (unit_) {
        if (!text.empty())
            commands.push_back("CALC:MATH:UNIT " + scpitext::quoted(text) + ", " + list());
    } else {
        // An empty name is sent too: it clears the instrument's name.
        commands.push_back("ROUT:CHAN:NAME " + scpitext::quoted(text) + ", " + list());
    }
    return true;
}

bool CompTextProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(std::string(unit_ ? "CALC:MATH:UNIT? " : "ROUT:CHAN:NAME? ") + list());
    return true;
}

bool CompTextProcessor::parseResponse(const std::string&, VmrInstConfig&, std::string&, int&) {
    return true; // names and units are not read back; the reply line is dropped
}

} // namespace korda32ex
