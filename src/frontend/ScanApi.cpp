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
        // Each reply line becomes the next scan as soon as it has arrived.
        // Lines beyond the queries are not looked at; a line that is not a
        // scan ends the parse, and is reported once the exchange is over.
        std::size_t taken = 0;
        int parseError = status::kOk;
        std::string errorText;
        const int st = h.transactLines(queries, queries.size(), [&](std::string_view line) {
            if (taken == queries.size() || parseError != status::kOk) return;
            ++taken;
            int code = 0;
            if (!processor.parseLine(line, record, errorText, code)) {
                parseError = code;
                return;
            }
            ++record->scanCount;
        });
        if (st != status::kOk) {
            // A failed fetch keeps no scan.
            record->entrySize = static_cast<std::int32_t>(DLXVMR_SCAN_RECORD_HEADER_SIZE);
            record->scanCount = 0;
            return st;
        }
        if (taken == 0) return status::kNetworkTimeout;
        if (parseError != status::kOk) {
            g.setErrorMessage(parseError, errorText);
            return parseError;
        }
        return status::kOk;
    });
}

} // extern "C"
