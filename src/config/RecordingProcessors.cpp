// Recording (state and destination), data security and power-loss resume.
#include "config/InstrumentSettingProcessors.h"
#include "config/ProcessorSupport.h"

#include <array>

namespace korda32ex {

namespace {

constexpr std::uint32_t kDataSecurity = 0x20;
constexpr std::uint32_t kResumeScan = 0x80;

constexpr std::array<TokenCode, 2> kDestinations{{{"MEM", 1}, {"MMEM", 2}}};
constexpr std::array<TokenCode, 2> kOnOff{{{"1", 1}, {"0", 0}}};

} // namespace

bool DestinationProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    const TokenCode* destination = findCode(record.recordDestination, kDestinations);
    if (destination == nullptr) {
        commands.push_back("DATA:LOG:AUTO 0");
        return true;
    }
    commands.push_back("DATA:LOG:AUTO 1");
    commands.push_back("DATA:LOG:DEST " + std::string(destination->token));
    return true;
}

bool DestinationProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("DATA:LOG:DEST?");
    return true;
}

// "MEM" and "MMEM" give the destination code; flags are not touched.
bool DestinationProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                         std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kDestinations, record.recordDestination, errorText, errorCode);
}

bool AutoRecordingProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                           std::string&, int&) {
    commands.push_back(record.recordDestination != 0 ? "DATA:LOG:AUTO 1" : "DATA:LOG:AUTO 0");
    return true;
}

bool AutoRecordingProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("DATA:LOG:AUTO?");
    return true;
}

bool AutoRecordingProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                           std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kOnOff, record.recordDestination, errorText, errorCode);
}

bool DataSecurityProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                          std::string&, int&) {
    commands.push_back((record.flags & kDataSecurity) != 0 ? "MEM:LOG:SEC 1" : "MEM:LOG:SEC 0");
    return true;
}

bool DataSecurityProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("MEM:LOG:SEC?");
    return true;
}

bool DataSecurityProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string& errorText, int& errorCode) {
    return parseFlagBit(reply, record.flags, kDataSecurity, "1", "0", errorText, errorCode);
}

bool ResumeScanOnPowerProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    commands.push_back((record.flags & kResumeScan) != 0 ? "ROUT:SCAN:RES 1" : "ROUT:SCAN:RES 0");
    return true;
}

bool ResumeScanOnPowerProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("ROUT:SCAN:RES?");
    return true;
}

bool ResumeScanOnPowerProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    return parseFlagBit(reply, record.flags, kResumeScan, "1", "0", errorText, errorCode);
}

} // namespace korda32ex
