// What the commands of one invocation share, and the steps they run in
// order against it.
#pragma once

#include "Address.h"
#include "Connection.h"
#include "korda32ext.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korda::tool {

struct Run {
    Address address;
    bool addressGiven = false;
    // Every address given before the commands (record takes several; the
    // first is address).
    std::vector<Address> addresses;
    // The command line as typed, for the record of a recording.
    std::string commandLine;
    int model = 0; // --model, 0 = from the instrument's identity
    Connection connection;
    // The record of the last "config set" or "config get", for the names and
    // units of scan columns.
    std::shared_ptr<const VmrInstConfig> config;

    // Opens the instrument on first use; 0, or the exit code of the failure
    // (printed unless quiet).
    int ensureOpen(bool quiet = false);
};

struct Step {
    std::string name;
    std::function<int(Run&)> run; // returns an exit code, 0 on success
};

// A step that opens the instrument first.
Step instrumentStep(std::string name, std::function<int(Run&)> body);

// A query or setting through the raw export, reported on failure. A query
// that gets no reply is followed by a look at the error queue, which tells
// why (an unknown header, for one).
int rawStep(Run& run, const std::string& command, std::string& reply);

} // namespace korda::tool
