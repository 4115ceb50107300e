// Unit and name of a computed channel.
#include "channels/ChannelRules.h"
#include "channels/CompProcessors.h"
#include "comm/ScpiText.h"
#include "core/Numbers.h"

namespace korda32ex {

using namespace channelrules;

// ---- Unit and name ----------------------------------------------------------

template <bool Unit>
bool CompTextProcessor<Unit>::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                            std::string&, int&) {
    if (!channelOn(record)) return true;
    const ComputedChannelRecord* rec = recordIn(record);
    const std::string text = commandText(Unit ? rec->unit : rec->name, kShortTextBytes);
    if (Unit) {
        if (!text.empty())
            commands.push_back("CALC:MATH:UNIT " + scpitext::quoted(text) + ", " + list());
    } else {
        // An empty name is sent too: it clears the instrument's name.
        commands.push_back("ROUT:CHAN:NAME " + scpitext::quoted(text) + ", " + list());
    }
    return true;
}

template <bool Unit>
bool CompTextProcessor<Unit>::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(std::string(Unit ? "CALC:MATH:UNIT? " : "ROUT:CHAN:NAME? ") + list());
    return true;
}

template <bool Unit>
bool CompTextProcessor<Unit>::parseResponse(const std::string&, VmrInstConfig&, std::string&,
                                            int&) {
    return true; // names and units are not read back; the reply line is dropped
}

template class CompTextProcessor<true>;
template class CompTextProcessor<false>;

} // namespace korda32ex
