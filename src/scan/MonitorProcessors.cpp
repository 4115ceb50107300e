#include "scan/MonitorProcessors.h"
#include "core/Numbers.h"

#include "core/Status.h"
#include "core/Text.h"
#include "scan/ScanParser.h"

#include <limits>

namespace korda32ex {

bool SpyEnableProcessor::buildCommands(std::vector<std::string>& commands, std::string&,
                                       int&) const {
    commands.push_back(enable != 0 ? "ROUT:MON:STAT ON" : "ROUT:MON:STAT OFF");
    return true;
}

bool buildMonitorReadingCommands(std::vector<std::string>& commands, unsigned channel) {
    commands.insert(commands.end(), {"ROUT:MON (@" + std::to_string(channel) + ")", "TRIG:COUN 1",
                                     "ROUT:MON:STAT ON", "INIT"});
    return true;
}

bool buildMonitorReadingQuery(std::vector<std::string>& queries) {
    queries.push_back("ROUT:MON:DATA?");
    return true;
}

bool parseMonitorReading(const std::string& reply, float& reading, std::string& errorText,
                         int& errorCode) {
    if (reply.empty()) {
        errorText = "Invalid response: " + reply;
        errorCode = status::kInvalidRequest;
        return false;
    }
    if (containsIgnoringCase(reply, "-9.900000e+37")) {
        reading = -std::numeric_limits<float>::infinity();
    } else if (containsIgnoringCase(reply, "9.900000e+37")) {
        reading = std::numeric_limits<float>::infinity();
    } else {
        const auto value = readLeadingReal(reply);
        reading = value ? toFloat(*value) : scan::kNotANumberReading;
    }
    return true;
}

} // namespace korda32ex
