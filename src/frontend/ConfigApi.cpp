// Whole-instrument configuration: the installed modules, the transfer of a
// configuration record (skipped when the instrument already runs it), and the
// configuration the instrument runs, read back through its log memory.
#include "comm/SCPIHandler.h"
#include "config/ConfigFingerprint.h"
#include "config/InstConfigProcessor.h"
#include "config/RecordAccess.h"
#include "config/ShuntConversion.h"
#include "frontend/ApiFrame.h"
#include "frontend/ConfigApply.h"
#include "frontend/DirectOperations.h"
#include "korda32ext.h"
#include "logdata/ConfigReadBack.h"
#include "logdata/LogDataFetchProcessor.h"

#include <atomic>
#include <cstring>
#include <memory>

using namespace korda32ex;

namespace korda32ex {

namespace {

std::atomic<std::uint32_t> settlePauseMs{1000};

} // namespace

std::uint32_t configSettlePauseMs() {
    return settlePauseMs.load(std::memory_order_relaxed);
}

void setConfigSettlePauseMs(std::uint32_t ms) {
    settlePauseMs.store(ms, std::memory_order_relaxed);
}

namespace {

// dlxVmrConfigSet inside the instrument's frame: convert, fingerprint, skip
// or build, send, pause, store the fingerprint.
int applyConfiguration(SCPIHandler& handler, GlobalData& global, int model,
                       VmrInstConfig& application, int options, int* detail) {
    if (detail != nullptr) *detail = 0;
    // The model's rules hold for the whole apply, on this thread only.
    ModelCodeScope modelScope(model);

    const auto working = std::make_unique<VmrInstConfig>();
    const ShuntConversionResult converted = convertShuntChannels(application, *working, model);
    if (!converted.ok()) {
        if (detail != nullptr) *detail = converted.detail;
        global.setErrorMessage(status::kInvalidConfiguration,
                               std::string("Invalid configuration: ") +
                                   shuntDetailText(converted.detail) + " (channel " +
                                   std::to_string(converted.channel) + ", detail " +
                                   std::to_string(converted.detail) + ")");
        return status::kInvalidConfiguration;
    }
    const std::string fingerprint = configurationFingerprint(*working);

    if ((options & DLXVMR_CONFIG_SKIP_UNCHANGED) != 0) {
        std::string identity;
        if (readOemIdentity(handler, identity) == status::kOk && identity == fingerprint)
            return status::kOk;
    }

    InstConfigProcessor processor(handler, model);
    // Without the instrument's modules the commands would be built for the
    // wrong ones: a failed query fails the call.
    if (processor.queryStatus() != status::kOk) return processor.queryStatus();
    CommandList commands;
    std::string errorText;
    int errorCode = 0;
    if (!processor.buildCommands(*working, commands, errorText, errorCode)) {
        global.setErrorMessage(errorCode, errorText);
        return errorCode;
    }
    const int sent = handler.sendCommands(commands);
    if (sent != status::kOk) return sent;

    platform::sleepMs(configSettlePauseMs());
    handler.drainInput();
    // A failed store only costs the next skip test.
    handler.sendCommand(oemIdentityCommand(fingerprint));
    return status::kOk;
}

} // namespace

} // namespace korda32ex

extern "C" {

KORDA_API int KORDA_CALL dlxVmrGetInstalledModules(int bcn) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) -> int {
        std::string reply;
        const int st = h.query("*OPT?", reply);
        if (st != status::kOk) return st;
        return static_cast<int>(installedModuleMask(reply));
    });
}

KORDA_API int KORDA_CALL dlxVmrConfigSet(int bcn, VmrInstConfig* config, int options, int* detail) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) -> int {
        if (config == nullptr) return status::kInvalidParameter;
        return applyConfiguration(h, g, g.settingsFor(bcn).model, *config, options, detail);
    });
}

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
