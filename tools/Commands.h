// The commands of korda: one table drives the help, the parsing and the
// dispatch. The whole command line is parsed before anything is sent; the
// steps then run in order against one instrument.
//
// A new command is a file under commands/ with its parse function, declared
// below, and a row of the table in Commands.cpp.
#pragma once

#include "Args.h"
#include "Json.h"
#include "Run.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korda::tool {

struct Command {
    const char* name;    // "scan", or "config set" for one of a family's words
    const char* usage;   // "scan --count N [--interval S] [-o FILE]"
    const char* example; // "korda scan --count 20 -o run.csv"
    const char* what;    // one line for the help
    // Reads the command's own arguments (after its name) and returns the
    // step that runs it; throws UsageError.
    Step (*parse)(Args& args);
};

// Every command, in the order of the help.
const std::vector<Command>& commandTable();

// True when the word starts a command (its first word: "config", "scan").
bool isCommandName(const std::string& word);

// What the command line asks for besides commands.
enum class Request { Run, Help, Version };

// Parses the command line (without the program name). Before the commands,
// in any order: the address, --model M; anywhere: --timeout S (from where it
// stands), --help, --version. Throws UsageError, or InputError for a file
// named on it.
std::vector<Step> parseCommandLine(const std::vector<std::string>& args, Run& run,
                                   Request& request);

// The help text: usage, one line per command with an example.
std::string helpText();
// "korda 1.0.0, library KORDA32Ext 1.0.0".
std::string versionText();

// The parse functions of the rows, by family.
// commands/Device.cpp
Step parseIdn(Args& args);
Step parseList(Args& args);
Step parseDio(Args& args);
Step parseTotalizer(Args& args);
Step parseClock(Args& args);
Step parseOem(Args& args);
Step parseRaw(Args& args);
Step parseDoctor(Args& args);
Step parseTimeout(Args& args);
// commands/Config.cpp
Step parseConfigGet(Args& args);
Step parseConfigSet(Args& args);
Step parseConfigExample(Args& args);
// commands/ConfigCheck.cpp
Step parseConfigCheck(Args& args);
// A configuration file as read for config set and check: the document and
// its record. Throws UsageError naming the file and what is wrong.
struct ConfigDocument {
    std::shared_ptr<const json::Value> document;
    std::shared_ptr<VmrInstConfig> record;
};
ConfigDocument readConfigDocument(const std::string& path);
// Checks the document against the open instrument's model and modules and
// prints the findings; 0 when it may be sent (no error, or force), else the
// exit code (nothing was sent).
int checkBeforeSending(Run& run, const ConfigDocument& document, const std::string& path,
                       bool force);
// The same for the instrument open on another BCN through connection.
int checkBeforeSending(int bcn, const Connection& connection, const ConfigDocument& document,
                       const std::string& path, bool force);
// commands/Scan.cpp
Step parseScan(Args& args);
Step parseMonitor(Args& args);
// commands/Log.cpp
Step parseLogList(Args& args);
Step parseLogRead(Args& args);
Step parseLogConfig(Args& args);
Step parseLogStatus(Args& args);
Step parseLogFormat(Args& args);
// commands/Files.cpp
Step parseFiles(Args& args);
// commands/Record.cpp
Step parseRecord(Args& args);
// "90", "90s", "15m", "2h", "7d" in milliseconds; throws UsageError.
long long parseDuration(const std::string& text);
// commands/Export.cpp
Step parseExport(Args& args);
// An instant given as export takes it (ISO 8601, local time without an
// offset), in milliseconds since 1970-01-01 UTC; throws UsageError.
std::int64_t timeArgument(Args& args, const std::string& what);
// commands/Report.cpp
Step parseReport(Args& args);

} // namespace korda::tool
