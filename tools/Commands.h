// The commands of korda: parsed from the whole command line before anything
// is sent, then run in order against one instrument.
#pragma once

#include "Address.h"
#include "Connection.h"
#include "korda32ext.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace korda::tool {

// A command line that cannot be run: the text says what is wrong.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the commands of one invocation share.
struct Run {
    Address address;
    bool addressGiven = false;
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

// Parses the command line (without the program name). Global options:
// an address as the first argument, --model M, --timeout S (from where it
// stands), --help. Throws UsageError.
std::vector<Step> parseCommandLine(const std::vector<std::string>& args, Run& run, bool& help);

// The help text: usage, one line per command with an example.
std::string helpText();

} // namespace korda::tool
