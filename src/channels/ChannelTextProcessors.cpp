// Name and unit text of an analog channel.
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "comm/ScpiText.h"
#include "core/Numbers.h"

namespace korda32ex {

namespace {

using namespace channelrules;

const ChannelRecord* onChannel(const ChannelRecord* c) {
    return c != nullptr && isOn(c->function) ? c : nullptr;
}

} // namespace

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
