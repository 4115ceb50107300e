// Scaling (reading x M + B), name and unit text of an analog channel.
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "core/Numbers.h"
#include "comm/ScpiText.h"

namespace korda32ex {

namespace {

using namespace channelrules;

const ChannelRecord* onChannel(const ChannelRecord* c) {
    return c != nullptr && isOn(c->function) ? c : nullptr;
}

} // namespace

// ---- Scaling ----------------------------------------------------------------
// With scaling off both processors send the "off" state, so the command list
// holds it twice; with scaling on: state on, gain, offset.

bool FactorMProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                     std::string&, int&) {
    const ChannelRecord* c = onChannel(presentChannel(record));
    if (c == nullptr) return true;
    if (scalingOff(c->scaleM, c->scaleB)) {
        commands.push_back("CALC:SCAL:STAT OFF," + list());
    } else {
        commands.push_back("CALC:SCAL:STAT ON," + list());
        commands.push_back("CALC:SCAL:GAIN " + wire::general(c->scaleM) + ", " + list());
    }
    return true;
}

bool FactorMProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:SCAL:GAIN? " + list());
    return true;
}

bool FactorMProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                     std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseNonNegative(reply, c->scaleM, errorText, errorCode);
}

bool FactorBProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                     std::string&, int&) {
    const ChannelRecord* c = onChannel(presentChannel(record));
    if (c == nullptr) return true;
    if (scalingOff(c->scaleM, c->scaleB))
        commands.push_back("CALC:SCAL:STAT OFF," + list());
    else
        commands.push_back("CALC:SCAL:OFFS " + wire::general(c->scaleB) + ", " + list());
    return true;
}

bool FactorBProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:SCAL:OFFS? " + list());
    return true;
}

bool FactorBProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                     std::string& errorText, int& errorCode) {
    ChannelRecord* c = channelFor(record);
    if (skipped() || c == nullptr) return true;
    return parseNonNegative(reply, c->scaleB, errorText, errorCode);
}

// ---- Name and unit: sent, never read back (the reply line is dropped) -------

bool ChannelNameProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    const ChannelRecord* c = onChannel(presentChannel(record));
    if (c == nullptr) return true;
    commands.push_back("ROUT:CHAN:NAME " +
                       scpitext::quoted(commandText(c->name, kAnalogNameBytes)) + ", " + list());
    return true;
}

bool ChannelNameProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("ROUT:CHAN:NAME? " + list());
    return true;
}

bool ChannelNameProcessor::parseResponse(const std::string&, VmrInstConfig&, std::string&, int&) {
    return true;
}

bool ChannelUnitProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    const ChannelRecord* c = onChannel(presentChannel(record));
    if (c == nullptr) return true;
    commands.push_back("CALC:SCAL:UNIT " + scpitext::quoted(commandText(c->unit, kShortTextBytes)) +
                       ", " + list());
    return true;
}

bool ChannelUnitProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:SCAL:UNIT? " + list());
    return true;
}

bool ChannelUnitProcessor::parseResponse(const std::string&, VmrInstConfig&, std::string&, int&) {
    return true;
}

} // namespace korda32ex
