#include "channels/SharedChannelSettings.h"

#include "channels/ChannelProcessor.h"
#include "channels/ChannelRules.h"
#include "channels/ComputedChannelProcessor.h"
#include "core/Numbers.h"

namespace korda32ex {

namespace {

using namespace channelrules;

std::string limitHeader(int alarm) {
    return alarm == 1 ? "CALC:LIM1" : "CALC:LIM2";
}

template <class R> auto& limitOf(R& r, int alarm) {
    return alarm == 1 ? r.alarm1Limit : r.alarm2Limit;
}
template <class R> auto& outputOf(R& r, int alarm) {
    return alarm == 1 ? r.alarm1Output : r.alarm2Output;
}
template <class R> auto& scaleOf(R& r, bool offset) {
    return offset ? r.scaleB : r.scaleM;
}

} // namespace

// ---- Alarm state ------------------------------------------------------------

template <class Kind, int Alarm>
bool AlarmStateSetting<Kind, Alarm>::buildCommands(const VmrInstConfig& record,
                                                   CommandList& commands, std::string&, int&) {
    if (const auto* r = this->onRecord(record))
        commands.push_back(limitHeader(Alarm) + ":STAT " + alarmStateWord(r->alarmFlags, Alarm) +
                           "," + this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmStateSetting<Kind, Alarm>::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (this->settingGate(handler))
        queries.push_back(limitHeader(Alarm) + ":STAT? " + this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmStateSetting<Kind, Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                   std::string& errorText, int& errorCode) {
    auto* r = this->replyRecord(record);
    return r == nullptr || parseAlarmState(reply, r->alarmFlags, Alarm, errorText, errorCode);
}

// ---- Alarm limit ------------------------------------------------------------

template <class Kind, int Alarm>
bool AlarmLimitSetting<Kind, Alarm>::buildCommands(const VmrInstConfig& record,
                                                   CommandList& commands, std::string&, int&) {
    if (const auto* r = this->onRecord(record))
        commands.push_back(limitHeader(Alarm) + " " + wire::general(limitOf(*r, Alarm)) + "," +
                           this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmLimitSetting<Kind, Alarm>::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (this->settingGate(handler)) queries.push_back(limitHeader(Alarm) + "? " + this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmLimitSetting<Kind, Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                   std::string& errorText, int& errorCode) {
    auto* r = this->replyRecord(record);
    return r == nullptr || parseNonNegative(reply, limitOf(*r, Alarm), errorText, errorCode);
}

// ---- Alarm output -----------------------------------------------------------

template <class Kind, int Alarm>
bool AlarmOutputSetting<Kind, Alarm>::buildCommands(const VmrInstConfig& record,
                                                    CommandList& commands, std::string&, int&) {
    const auto* r = this->onRecord(record);
    int k = 0;
    if (r != nullptr && outputNumber(outputOf(*r, Alarm), k))
        commands.push_back(limitHeader(Alarm) + ":FEED " + std::to_string(k) + ", " + this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmOutputSetting<Kind, Alarm>::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(limitHeader(Alarm) + ":FEED? " + this->list());
    return true;
}

template <class Kind, int Alarm>
bool AlarmOutputSetting<Kind, Alarm>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                    std::string& errorText, int& errorCode) {
    auto* r = this->replyRecord(record);
    return r == nullptr || parseOutput(reply, outputOf(*r, Alarm), errorText, errorCode);
}

// ---- Scaling ----------------------------------------------------------------

template <class Kind, bool Offset>
bool ScaleSetting<Kind, Offset>::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    const auto* r = this->onRecord(record);
    if (r == nullptr) return true;
    if (scalingOff(r->scaleM, r->scaleB)) {
        commands.push_back("CALC:SCAL:STAT OFF," + this->list());
        return true;
    }
    if (!Offset) commands.push_back("CALC:SCAL:STAT ON," + this->list());
    commands.push_back(std::string(Offset ? "CALC:SCAL:OFFS " : "CALC:SCAL:GAIN ") +
                       wire::general(scaleOf(*r, Offset)) + ", " + this->list());
    return true;
}

template <class Kind, bool Offset>
bool ScaleSetting<Kind, Offset>::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (this->settingGate(handler))
        queries.push_back(std::string(Offset ? "CALC:SCAL:OFFS? " : "CALC:SCAL:GAIN? ") +
                          this->list());
    return true;
}

template <class Kind, bool Offset>
bool ScaleSetting<Kind, Offset>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    auto* r = this->replyRecord(record);
    return r == nullptr || parseNonNegative(reply, scaleOf(*r, Offset), errorText, errorCode);
}

#define KORDA_SHARED_FOR_KIND(Kind)                                                                \
    template class AlarmStateSetting<Kind, 1>;                                                     \
    template class AlarmStateSetting<Kind, 2>;                                                     \
    template class AlarmLimitSetting<Kind, 1>;                                                     \
    template class AlarmLimitSetting<Kind, 2>;                                                     \
    template class AlarmOutputSetting<Kind, 1>;                                                    \
    template class AlarmOutputSetting<Kind, 2>;                                                    \
    template class ScaleSetting<Kind, false>;                                                      \
    template class ScaleSetting<Kind, true>;

KORDA_SHARED_FOR_KIND(ChannelSetting)
KORDA_SHARED_FOR_KIND(ComputedSetting)

} // namespace korda32ex
