// config get, set and example: the configuration record as JSON.
#include "Channels.h"
#include "Commands.h"
#include "ConfigJson.h"
#include "Output.h"
#include "OutputFile.h"
#include "Signals.h"

#include <cstring>

namespace korda::tool {

namespace {

// The instrument's OEM identity text; empty when it cannot be read.
std::string oemText() {
    char text[1024] = {};
    return dlxVmrOEMIdentityGetA(Connection::kBcn, text, sizeof text) == DLXVMR_OK ? text : "";
}

// A configuration's fingerprint as config set stores it: 13 hexadecimal
// digits in capitals.
bool isFingerprint(const std::string& text) {
    return text.size() == 13 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

} // namespace

Step parseConfigExample(Args& args) {
    const std::string modelText = args.value("config example: the model (7043A or 5129A)");
    const int model = modelFromName(modelText);
    if (!model)
        throw UsageError("config example: the model is 7043A or 5129A, not '" + modelText + "'");
    const std::string path = optionalOutput(args);
    return Step{"config example", [model, path](Run&) {
                    auto c = newRecord();
                    exampleConfig(model, *c);
                    return writeJson(*c, path);
                }};
}

Step parseConfigSet(Args& args) {
    const std::string path = args.value("config set: the JSON file");
    int options = 0;
    if (args.takeIf("--skip-unchanged")) options = DLXVMR_CONFIG_SKIP_UNCHANGED;
    std::shared_ptr<VmrInstConfig> record = newRecord();
    try {
        configFromJson(json::parse(readFile(path)), *record);
    } catch (const json::Error& e) {
        throw InputError(path + ": " + e.what(), kExitUsage);
    }
    return instrumentStep("config set", [record, path, options](Run& run) -> int {
        // The library may raise a shunt resistance in the record it is
        // given; the file's record stays as read.
        auto sent = newRecord();
        std::memcpy(sent.get(), record.get(), sizeof(VmrInstConfig));
        const std::string before = oemText();
        int detail = 0;
        int st = DLXVMR_OK;
        {
            WaitNotice notice("configuring from " + path);
            st = dlxVmrConfigSet(Connection::kBcn, sent.get(), options, &detail);
        }
        if (st == DLXVMR_CONFIG_NO_CHANNEL) {
            message("configuring from " + path + ": " + statusText(st) +
                    " (the record scans no channel; nothing was sent)");
            return kExitInstrument;
        }
        if (st != DLXVMR_OK) {
            if (detail != 0)
                message("configuring from " + path + ": detail code " + std::to_string(detail));
            return reportFailure("configuring from " + path, st);
        }
        run.config = record;
        // The fingerprint takes the place of the OEM identity text.
        if (!before.empty() && !isFingerprint(before) && oemText() != before)
            message("config set replaced the instrument's OEM identity text \"" + before +
                    "\" with the configuration's fingerprint (korda oem TEXT stores it again; "
                    "config set --skip-unchanged then sends every configuration)");
        return kExitOk;
    });
}

Step parseConfigGet(Args& args) {
    const std::string path = optionalOutput(args);
    return instrumentStep("config get", [path](Run& run) -> int {
        std::shared_ptr<VmrInstConfig> record = newRecord();
        int st = DLXVMR_OK;
        {
            // The read-back changes the instrument's trigger and recording
            // and puts them back at its end: a stop asked for meanwhile waits
            // for the restore.
            StopScope deferStop;
            WaitNotice notice("reading the configuration back");
            st = dlxVmrConfigGet(Connection::kBcn, record.get());
            if (stopRequested()) {
                message("interrupted; the configuration was read back and the instrument's "
                        "settings restored first");
                return kExitInterrupted;
            }
        }
        if (st != DLXVMR_OK) return reportFailure("reading the configuration back", st);
        run.config = record;
        return writeJson(*record, path);
    });
}

} // namespace korda::tool
