#include "Run.h"

#include "Output.h"

#include <cstdlib>

namespace korda::tool {

int Run::ensureOpen(bool quiet) {
    if (connection.isOpen()) return kExitOk;
    return connection.open(address, model, quiet);
}

Step instrumentStep(std::string name, std::function<int(Run&)> body) {
    return Step{name, [body = std::move(body)](Run& run) {
                    const int open = run.ensureOpen();
                    return open != kExitOk ? open : body(run);
                }};
}

int rawStep(Run& run, const std::string& command, std::string& reply) {
    const int st = run.connection.raw(command, reply);
    if (st == DLXVMR_OK) return kExitOk;
    const int code = reportFailure("sending " + command, st);
    if (st == DLXVMR_E_TIMEOUT) {
        std::string error;
        if (run.connection.raw("SYST:ERR?", error) == DLXVMR_OK && std::atoi(error.c_str()) != 0) {
            message("the instrument reports " + error);
            return kExitInstrument;
        }
    }
    return code;
}

} // namespace korda::tool
