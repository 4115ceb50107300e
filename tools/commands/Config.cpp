// config get, set and example: the configuration record as JSON.
#include "Channels.h"
#include "Commands.h"
#include "ConfigJson.h"
#include "Output.h"
#include "OutputFile.h"

#include <cstring>

namespace korda::tool {

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
        throw UsageError(path + ": " + e.what());
    }
    return instrumentStep("config set", [record, path, options](Run& run) -> int {
        // The library may raise a shunt resistance in the record it is
        // given; the file's record stays as read.
        auto sent = newRecord();
        std::memcpy(sent.get(), record.get(), sizeof(VmrInstConfig));
        int detail = 0;
        const int st = dlxVmrConfigSet(Connection::kBcn, sent.get(), options, &detail);
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
        return kExitOk;
    });
}

Step parseConfigGet(Args& args) {
    const std::string path = optionalOutput(args);
    return instrumentStep("config get", [path](Run& run) -> int {
        std::shared_ptr<VmrInstConfig> record = newRecord();
        const int st = dlxVmrConfigGet(Connection::kBcn, record.get());
        if (st != DLXVMR_OK) return reportFailure("reading the configuration back", st);
        run.config = record;
        return writeJson(*record, path);
    });
}

} // namespace korda::tool
