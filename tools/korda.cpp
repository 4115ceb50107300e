// korda: the command line to an instrument (or the virtual one) through the
// library's public interface.
#include "Commands.h"
#include "Output.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

using namespace korda::tool;

int main(int argc, char** argv) {
    // File names follow the user's character set; numbers stay in the
    // classic form whatever the locale.
    std::setlocale(LC_CTYPE, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    Run run;
    run.commandLine = "korda";
    for (const auto& a : args)
        run.commandLine +=
            " " +
            (!a.empty() && a.find_first_of(" \t\"'") == std::string::npos ? a : "'" + a + "'");
    std::vector<Step> steps;
    bool help = false;
    try {
        steps = parseCommandLine(args, run, help);
    } catch (const UsageError& e) {
        message(e.what());
        std::fprintf(
            stderr, "usage: korda [ADDRESS] COMMAND [ARGS]... (korda --help lists the commands)\n");
        return kExitUsage;
    }
    if (help) {
        std::fputs(helpText().c_str(), stdout);
        return kExitOk;
    }
    Library library;
    if (library.status() != 1) return reportFailure("starting the library", library.status());
    for (const auto& step : steps) {
        const int code = step.run(run);
        if (code != kExitOk) return code;
    }
    return kExitOk;
}
