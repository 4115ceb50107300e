// config check: what an instrument would not hold of a configuration, before
// anything is sent; config set runs the same check first.
#include "ConfigCheck.h"
#include "Channels.h"
#include "Commands.h"
#include "ConfigJson.h"
#include "Output.h"

#include <cstdio>

namespace korda::tool {

ConfigDocument readConfigDocument(const std::string& path) {
    ConfigDocument d;
    d.record = newRecord();
    try {
        d.document = std::make_shared<json::Value>(json::parse(readFile(path)));
        configFromJson(*d.document, *d.record);
    } catch (const json::Error& e) {
        throw InputError(path + ": " + e.what(), kExitUsage);
    }
    return d;
}

namespace {

// The slots of the open instrument that hold a module; every slot when it
// does not tell.
unsigned fittedSlots(int bcn = Connection::kBcn) {
    const int fitted = dlxVmrGetInstalledModules(bcn);
    return fitted < 0 ? ~0u : static_cast<unsigned>(fitted);
}

// Runs the check; the exit code of a failure to run it, else 0.
int runCheck(const ConfigDocument& d, const std::string& path, const CheckTarget& target,
             std::vector<Finding>& findings) {
    const int st = checkConfig(*d.document, *d.record, target, findings);
    return st == DLXVMR_OK ? kExitOk : reportFailure("checking " + path, st);
}

} // namespace

int checkBeforeSending(Run& run, const ConfigDocument& d, const std::string& path, bool force) {
    return checkBeforeSending(Connection::kBcn, run.connection, d, path, force);
}

int checkBeforeSending(int bcn, const Connection& connection, const ConfigDocument& d,
                       const std::string& path, bool force) {
    const std::string where = connection.where();
    CheckTarget target;
    target.model = connection.model();
    if (target.model == DLXVMR_MODEL_UNIDENTIFIED) {
        if (force) return kExitOk;
        message(path + " cannot be checked: the instrument at " + where +
                " names neither model; nothing was sent (--force sends it unchecked)");
        return kExitFailure;
    }
    target.fittedSlots = fittedSlots(bcn);
    std::vector<Finding> findings;
    // A check that cannot run stops the sending, unless forced.
    if (const int code = runCheck(d, path, target, findings); code != kExitOk)
        return force ? kExitOk : code;
    for (const auto& f : findings)
        message(f.line());
    if (errorCount(findings) == 0) return kExitOk;
    const std::string counts =
        findingCounts(findings) + " for the " + modelName(target.model) + " at " + where;
    if (force) {
        message(path + ": " + counts + "; sent all the same (--force)");
        return kExitOk;
    }
    message(path + ": " + counts + "; nothing was sent (--force sends it all the same)");
    return kExitFailure;
}

Step parseConfigCheck(Args& args) {
    const std::string path = args.value("config check: the JSON file");
    int model = 0;
    if (args.takeIf("--model")) {
        const std::string m = args.value("config check --model");
        model = modelFromName(m);
        if (!model) throw UsageError("config check --model is 7043A or 5129A, not '" + m + "'");
    }
    const ConfigDocument d = readConfigDocument(path);
    return Step{"config check", [d, path, model](Run& run) -> int {
                    CheckTarget target;
                    target.model = model ? model : run.model;
                    if (!target.model && run.address.kind == Address::Kind::Sim)
                        target.model = run.address.model;
                    if (!target.model && run.addressGiven) {
                        // An instrument named: checked against its model and modules.
                        if (const int open = run.ensureOpen(); open != kExitOk) return open;
                        target.model = run.connection.model();
                        target.fittedSlots = fittedSlots();
                    }
                    if (!target.model) target.model = DLXVMR_MODEL_5129A;
                    std::vector<Finding> findings;
                    if (const int code = runCheck(d, path, target, findings); code != kExitOk)
                        return code;
                    for (const auto& f : findings)
                        std::printf("%s\n", f.line().c_str());
                    std::printf("%s: %s for the %s\n", path.c_str(),
                                findingCounts(findings).c_str(), modelName(target.model));
                    if (std::fflush(stdout) != 0) return kExitFailure;
                    return errorCount(findings) == 0 ? kExitOk : kExitFailure;
                }};
}

} // namespace korda::tool
