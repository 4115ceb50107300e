#include "scan/EnableScansProcessor.h"
#include "core/Numbers.h"

#include "core/Status.h"
#include "core/Text.h"

namespace korda32ex {

namespace {
constexpr std::int64_t kScanningBit = 256;
}

bool EnableScansProcessor::buildCommands(std::vector<std::string>& commands, std::string&, int&) {
    if (enable != 0) {
        commands.insert(commands.end(), {"FORmat:READing:TIME 1", "FORMat:READing:ALARm ON",
                                         "SYSTem:KLOCk ON", "INIT"});
    } else {
        commands.insert(commands.end(), {"SYSTem:KLOCk OFF", "ABORt"});
    }
    return true;
}

bool EnableScansProcessor::parseResponse(const std::string& reply, ScanRecord*,
                                         std::string& errorText, int& errorCode) {
    const auto value = readLeadingInteger(reply);
    if (value && *value >= 0 && (*value & kScanningBit) != 0) return true;
    errorText = "Invalid response: " + reply;
    errorCode = status::kInvalidRequest;
    return false;
}

bool EnableScansProcessor::buildQueries(ScanRecord*, unsigned, std::vector<std::string>& queries,
                                        SCPIHandler&) {
    queries.push_back("STAT:OPER?");
    return true;
}

} // namespace korda32ex
