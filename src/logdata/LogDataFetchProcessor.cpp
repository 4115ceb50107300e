#include "logdata/LogDataFetchProcessor.h"

#include "logdata/SetupFileParser.h"

namespace korda32ex {

bool LogDataFetchProcessor::buildCommands(const VmrInstConfig&, CommandList& commands, std::string&,
                                          int&) {
    commands.push_back("MEM:LOG:STOR");
    return true;
}

bool LogDataFetchProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string&, int&) {
    if (reply.empty()) return false;
    logdata::parseSetupText(reply, record);
    return true;
}

bool LogDataFetchProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("MEM:LOG:READ:CONF?");
    return true;
}

} // namespace korda32ex
