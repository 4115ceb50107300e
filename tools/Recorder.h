// The recorder behind `korda record`: one thread per instrument, each
// pumping its scans into one store, reconnecting when the link breaks and
// starting the instrument again when it was restarted, with a live view of
// every instrument on a terminal.
#pragma once

#include "Address.h"
#include "Json.h"
#include "korda32ext.h"

#include <memory>
#include <string>
#include <vector>

namespace korda::tool {

struct RecordOptions {
    std::vector<Address> addresses;
    int model = 0; // --model, 0 = from each instrument's identity
    // --config: checked and applied (unchanged settings skipped) before
    // scanning starts; null when not given.
    std::shared_ptr<const VmrInstConfig> config;
    std::shared_ptr<const json::Value> configDocument; // as read, for the check
    std::string configPath;
    bool force = false; // --force: applied even when its check finds an error
    // A configuration set earlier on the command line: names and units only.
    std::shared_ptr<const VmrInstConfig> naming;
    std::string target;      // --to
    long long interval = -1; // --interval, seconds; -1: the configuration's or the instrument's
    long long forMs = 0;     // --for, 0: until stopped
    long long count = 0;     // --count per instrument, 0: until stopped
    std::string commandLine;
    int pollMs = 1000;             // between looks at an instrument that holds nothing
    long long holdBound = 1000000; // scans held in memory while the store cannot be written
};

// Records until the duration, the count or a stop (Ctrl-C: exit 130;
// SIGTERM, SIGHUP: 0). Returns the exit code.
int runRecorder(const RecordOptions& options);

// The default target: "korda-YYYYMMDD-HHMMSS.sqlite" (".csv" without SQLite)
// in the current directory.
std::string defaultTarget();

} // namespace korda::tool
