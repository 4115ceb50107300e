// Temperature unit and reading rate.
#include "config/InstrumentSettingProcessors.h"
#include "config/ProcessorSupport.h"

#include <array>

namespace korda32ex {

namespace {

constexpr std::uint32_t kFahrenheit = 0x10;

// Reading-rate bits (0-2 of flags) as the reply words set them.
constexpr std::array<TokenCode, 4> kRateReplies{
    {{"FAST", 0}, {"MED", 1}, {"SLOW", 3}, {"NPLC", 6}}};

} // namespace

bool TempConfigProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                        std::string&, int&) {
    commands.push_back((record.flags & kFahrenheit) != 0 ? "UNIT:TEMP F" : "UNIT:TEMP C");
    return true;
}

bool TempConfigProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("UNIT:TEMP?");
    return true;
}

bool TempConfigProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                        std::string& errorText, int& errorCode) {
    return parseFlagBit(reply, record.flags, kFahrenheit, "F", "C", errorText, errorCode);
}

bool SampleRateProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                        std::string&, int&) {
    const std::uint32_t f = record.flags;
    if ((f & 3) == 3)
        commands.push_back("RATE SLOW");
    else if ((f & 1) != 0)
        commands.push_back("RATE MEDIUM");
    else if ((f & 6) == 6)
        commands.push_back("RATE NPLC");
    else
        commands.push_back("RATE FAST");
    return true;
}

bool SampleRateProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("RATE?");
    return true;
}

// The parse only sets bits: it expects them clear (a read-back starts from a
// zeroed record).
bool SampleRateProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                        std::string& errorText, int& errorCode) {
    const TokenCode* rate = findToken(reply, kRateReplies);
    if (rate == nullptr) return invalidResponse(reply, errorText, errorCode);
    record.flags |= rate->code;
    return true;
}

} // namespace korda32ex
