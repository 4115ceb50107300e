// Name and unit text of an analog channel.
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "comm/ScpiText.h"
#include "core/Numbers.h"

namespace korda32ex {

using namespace channelrules;

// ---- Name and unit: sent, never read back (the reply line is dropped) -------

template <bool Unit>
bool ChannelTextProcessor<Unit>::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    const ChannelRecord* c = onRecord(record);
    if (c == nullptr) return true;
    const std::string text =
        Unit ? commandText(c->unit, kShortTextBytes) : commandText(c->name, kAnalogNameBytes);
    commands.push_back(std::string(Unit ? "CALC:SCAL:UNIT " : "ROUT:CHAN:NAME ") +
                       scpitext::quoted(text) + ", " + list());
    return true;
}

template <bool Unit>
bool ChannelTextProcessor<Unit>::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(std::string(Unit ? "CALC:SCAL:UNIT? " : "ROUT:CHAN:NAME? ") + list());
    return true;
}

template <bool Unit>
bool ChannelTextProcessor<Unit>::parseResponse(const std::string&, VmrInstConfig&, std::string&,
                                               int&) {
    return true;
}

template class ChannelTextProcessor<true>;
template class ChannelTextProcessor<false>;

} // namespace korda32ex
