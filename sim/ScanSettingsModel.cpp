// The scan list, trigger count and timer interval that the scanning model
// runs with. Kept apart from the scanning model itself so that a single owner
// of the instrument's configuration commands can take these over.
#include "Instrument.h"
#include "ScanArgs.h"
#include "ScanModel.h"

namespace korda::sim {

namespace {
constexpr long long kMaxTriggerCount = 99999;
constexpr long long kMaxIntervalSeconds = 99 * 3600 + 59 * 60 + 59;
// The settings cannot change while the instrument scans.
bool scanningRefuses(Instrument& in, Reply& r) {
    catchUpScanning(in);
    if (!in.scan.initiated) return false;
    r.error(-221, "Settings conflict");
    return true;
}

} // namespace

void registerScanSettingsCommands(CommandTable& t) {
    t.add("ROUTe:SCAN", [](Instrument& in, const Request& q, Reply& r) {
        if (scanningRefuses(in, r)) return;
        const auto list = args::channelList(q.args);
        if (!list) return r.error(-224, "Illegal parameter value");
        for (const int c : *list)
            if (!channelExists(in, c)) return r.error(-222, "Data out of range");
        in.scan.scanList = *list;
    });
    t.add("ROUTe:SCAN?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(args::formatChannelList(in.scan.scanList));
    });
    t.add("TRIGger:COUNt", [](Instrument& in, const Request& q, Reply& r) {
        if (scanningRefuses(in, r)) return;
        const auto n = args::integer(q.args);
        if (!n) return r.error(-104, "Data type error");
        if (*n < 0 || *n > kMaxTriggerCount) return r.error(-222, "Data out of range");
        in.scan.triggerCount = static_cast<std::uint32_t>(*n);
    });
    t.add("TRIGger:COUNt?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.scan.triggerCount));
    });
    t.add("TRIGger:TIMer", [](Instrument& in, const Request& q, Reply& r) {
        if (scanningRefuses(in, r)) return;
        const auto n = args::integer(q.args);
        if (!n) return r.error(-104, "Data type error");
        if (*n < 0 || *n > kMaxIntervalSeconds) return r.error(-222, "Data out of range");
        in.scan.intervalMs = static_cast<std::uint32_t>(*n * 1000);
    });
    t.add("TRIGger:TIMer?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.scan.intervalMs / 1000));
    });
}

} // namespace korda::sim
