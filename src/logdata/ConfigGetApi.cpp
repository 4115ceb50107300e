// dlxVmrConfigGet: the configuration an instrument runs, read back through
// its log memory into the application's record.
#include "config/InstConfigProcessor.h"
#include "config/RecordAccess.h"
#include "config/ShuntConversion.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "logdata/ConfigReadBack.h"
#include "logdata/LogDataFetchProcessor.h"

#include <cstring>
#include <memory>

using namespace korda32ex;

extern "C" {

KORDA_API int KORDA_CALL dlxVmrConfigGet(int bcn, VmrInstConfig* record) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        if (record == nullptr) return status::kInvalidParameter;
        // Every failure leaves the application's record all zero.
        std::memset(record, 0, sizeof *record);
        auto working = std::make_unique<VmrInstConfig>();
        std::memset(working.get(), 0, sizeof *working);
        // The whole-instrument processor, built as for a configuration: it
        // asks for the modules ("*OPT?") and the scan list ("ROUT:SCAN?"),
        // whose answers the read-back does not use, and keeps the model code
        // current for the whole call.
        const InstConfigProcessor instrument(h, g.settingsFor(bcn).model);

        CaptureState capture;
        if (captureConfiguration(h, *working, capture) != status::kOk)
            return status::kInvalidRequest;

        LogDataFetchProcessor logData;
        CommandList queries;
        if (!logData.buildQueries(queries, &h) || queries.empty()) return status::kInvalidRequest;
        std::string text;
        int st = h.readUntilNoError(queries.front(), text);
        if (st != status::kOk) return st;
        std::string errorText;
        int errorCode = 0;
        if (!logData.parseResponse(text, *working, errorText, errorCode)) {
            if (errorCode == 0) return status::kInvalidResponse; // nothing came back
            g.setErrorMessage(errorCode, errorText);
            return errorCode;
        }

        st = readBackLiveSettings(h, *working);
        if (st != status::kOk) return st;
        st = restoreConfiguration(h, *working, capture);
        if (st != status::kOk) return st;
        restoreShuntChannels(*working, *record);
        return status::kOk;
    });
}

} // extern "C"
