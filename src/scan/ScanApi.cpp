// Scan control and reading retrieval: start and stop, count, clear, fetch.
#include "core/Text.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "scan/EnableScansProcessor.h"
#include "scan/ScansProcessor.h"

#include <algorithm>
#include <limits>

using namespace korda32ex;

namespace {

int clearScans(int bcn) {
    return withInstrument(bcn,
                          [](SCPIHandler& h, GlobalData&) { return h.sendCommand("DATA:CLE"); });
}

int scansCount(int bcn, int* count) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (count == nullptr) return status::kInvalidParameter;
        std::int64_t number = 0;
        const int st = h.queryInt("DATA:POIN?", number, 0, std::numeric_limits<int>::max());
        if (st != status::kOk) return st;
        *count = static_cast<int>(number);
        return status::kOk;
    });
}

// Parses the replies into the record, counting each stored scan.
int storeReplies(const std::vector<std::string>& replies, std::size_t queries,
                 ScansProcessor& processor, ScanRecord& record, GlobalData& g) {
    const std::size_t n = std::min(replies.size(), queries);
    std::string errorText;
    int errorCode = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!processor.parseResponse(replies[i], &record, errorText, errorCode)) {
            g.setErrorMessage(errorCode, errorText);
            return errorCode;
        }
        ++record.scanCount;
    }
    return status::kOk;
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrScansEnable(int bcn, int enable) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        EnableScansProcessor processor(enable);
        std::vector<std::string> commands;
        std::string errorText;
        int errorCode = 0;
        if (!processor.buildCommands(commands, errorText, errorCode)) {
            g.setErrorMessage(errorCode, errorText);
            return errorCode;
        }
        return h.sendCommands(commands);
    });
}

KORDA_API int KORDA_CALL dlxVmrScansClear(int bcn) {
    return clearScans(bcn);
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansClear(int bcn) {
    return clearScans(bcn);
}

KORDA_API int KORDA_CALL dlxVmrGetScansCount(int bcn, int* count) {
    return scansCount(bcn, count);
}

KORDA_API int KORDA_CALL dlxVmrScansCount(int bcn, int* count) {
    return scansCount(bcn, count);
}

KORDA_API int KORDA_CALL dlxVmrScansGet(int bcn, uint32_t requested, ScanRecord* record) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        if (record == nullptr) return status::kInvalidParameter;
        ScansProcessor processor;
        std::vector<std::string> queries;
        if (!processor.buildQueries(record, requested, queries, h)) return processor.countFailure();
        record->scanCount = 0;
        if (queries.empty()) return status::kOk;
        // One exchange and no retry: readings the instrument has sent are gone
        // from its memory, so asking again would lose them.
        std::vector<std::string> replies;
        const int st = h.transact(queries, queries.size(), replies);
        if (st != status::kOk) return st;
        if (replies.empty()) return status::kNetworkTimeout;
        return storeReplies(replies, queries.size(), processor, *record, g);
    });
}

} // extern "C"
