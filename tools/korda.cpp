// korda: the command line to an instrument (or the virtual one) through the
// library's public interface.
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"
#include "Signals.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

using namespace korda::tool;

int main(int argc, char** argv) {
    // File names follow the user's character set; numbers stay in the
    // classic form whatever the locale.
    std::setlocale(LC_CTYPE, "");
    installSignalHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    Run run;
    run.commandLine = "korda";
    for (const auto& a : args)
        run.commandLine +=
            " " +
            (!a.empty() && a.find_first_of(" \t\"'") == std::string::npos ? a : "'" + a + "'");
    std::vector<Step> steps;
    Request request = Request::Run;
    try {
        steps = parseCommandLine(args, run, request);
    } catch (const UsageError& e) {
        message(e.what());
        std::fprintf(stderr, "usage: korda [ADDRESS] [OPTIONS] COMMAND [ARGS]... (korda --help "
                             "lists the commands)\n");
        return kExitUsage;
    } catch (const InputError& e) {
        message(e.what());
        return e.exitCode();
    }
    if (request != Request::Run) {
        say(request == Request::Help ? helpText() : versionText());
        return standardOutput().finish() ? kExitOk : kExitFailure;
    }
    Library library;
    if (library.status() != 1) return reportFailure("starting the library", library.status());
    for (const auto& step : steps) {
        int code = step.run(run);
        // What a step printed is handed on before the next one runs.
        if (!standardOutput().flush() && code == kExitOk) code = kExitFailure;
        if (code != kExitOk) return code;
    }
    return standardOutput().finish() ? kExitOk : kExitFailure;
}
