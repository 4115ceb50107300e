// The totalizer: debounce, count, read mode and state.
#include "config/InstrumentSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "core/Numbers.h"

#include <array>

namespace korda32ex {

namespace {

constexpr std::array<TokenCode, 2> kOnOff{{{"1", 1}, {"0", 0}}};
constexpr std::array<TokenCode, 2> kReadModes{{{"RRES", 1}, {"READ", 0}}};

} // namespace

bool TotalizerDebounceProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    commands.push_back(record.totalizerDebounce != 0 ? "TOT:DEB ON" : "TOT:DEB OFF");
    return true;
}

bool TotalizerDebounceProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TOT:DEB?");
    return true;
}

bool TotalizerDebounceProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kOnOff, record.totalizerDebounce, errorText, errorCode);
}

// The count is only ever read from the instrument.
bool TotalizerStartCountProcessor::buildCommands(const VmrInstConfig&, CommandList&, std::string&,
                                                 int&) {
    return true;
}

bool TotalizerStartCountProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TOT:DATA?");
    return true;
}

bool TotalizerStartCountProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                 std::string&, int&) {
    record.totalizerCount = readUnsignedOrZero(reply);
    return true;
}

bool TotalizerModeProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                           std::string&, int&) {
    commands.push_back(record.totalizerType != 0 ? "TOT:TYPE RRES" : "TOT:TYPE READ");
    return true;
}

bool TotalizerModeProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TOT:TYPE?");
    return true;
}

bool TotalizerModeProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                           std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kReadModes, record.totalizerType, errorText, errorCode);
}

bool TotalizerResetProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                            std::string&, int&) {
    commands.push_back(record.totalizerState != 0 ? "TOT:STAT ON" : "TOT:STAT OFF");
    return true;
}

bool TotalizerResetProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TOT:STAT?");
    return true;
}

bool TotalizerResetProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                            std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kOnOff, record.totalizerState, errorText, errorCode);
}

} // namespace korda32ex
