// Monitoring: select a channel, switch monitoring, take one reading.
#include "core/Numbers.h"
#include "core/Text.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "scan/MonitorProcessors.h"

using namespace korda32ex;

namespace {

constexpr int kSpyChannelFactor = 1000;
constexpr std::int64_t kMonitorReady = 512;
constexpr int kFurtherStatusPolls = 3;

bool monitorReady(const std::string& reply) {
    const auto v = readLeadingInteger(reply);
    return v && *v == kMonitorReady;
}

// Takes one monitor reading of channel; the instrument is aborted afterwards.
int takeMonitorReading(SCPIHandler& h, GlobalData& g, unsigned channel, float& reading) {
    std::vector<std::string> commands;
    buildMonitorReadingCommands(commands, channel);
    int st = h.sendCommands(commands);
    if (st != status::kOk) return st;

    std::string state;
    st = h.query("STAT:OPER?", state);
    if (st != status::kOk) return st;
    // A short poll for the reading; the reading is fetched whatever it shows.
    for (int polls = 0; polls < kFurtherStatusPolls && !monitorReady(state); ++polls) {
        state.clear();
        h.query("STAT:OPER?", state);
    }

    std::vector<std::string> queries;
    buildMonitorReadingQuery(queries);
    std::string reply;
    st = h.query(queries.front(), reply);
    if (st == status::kOk && reply.empty()) st = h.query(queries.front(), reply);
    if (st != status::kOk) {
        h.sendCommand("ABOR");
        return st;
    }
    float value = 0.0f;
    std::string errorText;
    int errorCode = 0;
    if (!parseMonitorReading(reply, value, errorText, errorCode)) {
        g.setErrorMessage(errorCode, errorText);
        return errorCode;
    }
    st = h.sendCommand("ABOR");
    if (st == status::kOk) reading = value;
    return st;
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrInstMonitor(int bcn, int enable, unsigned int channel) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        std::vector<std::string> commands{"ROUT:MON (@" + std::to_string(channel) + ")"};
        std::string errorText;
        int errorCode = 0;
        SpyEnableProcessor(enable).buildCommands(commands, errorText, errorCode);
        return h.sendCommands(commands);
    });
}

KORDA_API int KORDA_CALL dlxVmrSpyEnable(int bcn, int enable) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        std::vector<std::string> commands;
        std::string errorText;
        int errorCode = 0;
        if (!SpyEnableProcessor(enable).buildCommands(commands, errorText, errorCode)) {
            g.setErrorMessage(errorCode, errorText);
            return errorCode;
        }
        return h.sendCommands(commands);
    });
}

KORDA_API int KORDA_CALL dlxVmrSpyGet(int code, float* reading) {
    const int bcn = code / kSpyChannelFactor;
    const auto channel = static_cast<unsigned>(code % kSpyChannelFactor);
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        if (reading == nullptr) return status::kInvalidParameter;
        return takeMonitorReading(h, g, channel, *reading);
    });
}

} // extern "C"
