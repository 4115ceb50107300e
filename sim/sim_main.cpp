// korda-sim: the virtual instrument as a standalone program.
#include "files/RecordingWriter.h"
#include "scpi/ScpiArgs.h"
#include "state/Instrument.h"
#include "state/ScanModel.h"
#include "transport/PtyServer.h"
#include "transport/TcpServer.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

using namespace korda::sim;

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) {
    stopRequested = true;
}

const char* const kUsage =
    "usage: korda-sim [--model 7043A|5129A] [--port N] [--any]\n"
    "                 [--pty] [--link PATH] [--stall]\n"
    "                 [--delay MS] [--silent] [--error HEADER=CODE,TEXT]\n"
    "                 [--modules LIST] [--speed N] [--numbered]\n"
    "  --model M    the model (default 5129A)\n"
    "  --port N     TCP port to listen on, 1 to 65535 (default 5025; 0 picks a\n"
    "               free port)\n"
    "  --any        listen on every interface instead of loopback only\n"
    "  --pty        answer on a pseudo-terminal (the USB virtual COM port)\n"
    "               and print its path; TCP only when --port is given too\n"
    "  --link PATH  with --pty: make PATH a symbolic link to the terminal\n"
    "  --stall      with --pty: never read the terminal (writes to it block\n"
    "               once its buffer is full)\n"
    "  --delay MS   wait MS milliseconds (up to 60000) before every reply\n"
    "  --silent     read commands but never answer\n"
    "  --error      make the instrument reject HEADER with CODE and TEXT\n"
    "  --modules LIST  the module in each slot, comma-separated: a name,\n"
    "               or NONE for an empty slot (default: every slot filled,\n"
    "               two in a 7043A, three in a 5129A), e.g. MUX22,NONE,MUX22\n"
    "  --speed N    run the instrument's clock N times as fast as real time\n"
    "               (1 to 100000): scan timers, \"*OPC?\" and the time stamps of\n"
    "               scans follow it, so an hour of scans passes in 3.6 s at 1000\n"
    "  --numbered   every reading of a scan is the scan's number: the n-th scan\n"
    "               taken since the program started reads n on every channel\n"
    "               (counted across INIT, ABORt, *RST and clears, including\n"
    "               scans that left the memory unread), so a reader sees a\n"
    "               missing, repeated or reordered scan\n"
    "       korda-sim --write-recording DIR [--model 7043A|5129A] [--scans N]\n"
    "                 [--numbered]\n"
    "  --write-recording DIR  write setup.csv and dat00001.csv of a\n"
    "               recording of N scans (0 to 1000000, default 100) into DIR,\n"
    "               as on a USB drive, and exit\n";

[[noreturn]] void refuse(const std::string& message) {
    std::fprintf(stderr, "korda-sim: %s\n(korda-sim --help lists the options)\n", message.c_str());
    std::exit(2);
}

// The whole number an option takes, from low to high; refuses anything else.
long long number(const std::string& option, const std::string& text, long long low,
                 long long high) {
    long long v = 0;
    if (!parseInteger(text, v) || v < low || v > high)
        refuse(option + " takes a whole number from " + std::to_string(low) + " to " +
               std::to_string(high) + ", not '" + text + "'");
    return v;
}

} // namespace

int main(int argc, char** argv) {
    Model model = kDefaultModel;
    int port = 5025;
    bool any = false;
    bool portGiven = false;
    bool pty = false;
    std::string link;
    bool stall = false;
    Faults faults;
    std::string recordingDir;
    int scans = 100;
    int speed = 1;
    bool numbered = false;
    std::string moduleList;
    bool modulesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) refuse(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--model") {
            const std::string m = next();
            if (!modelNamed(m, model))
                refuse("--model is " + modelNames(" or ") + ", not '" + m + "'");
        } else if (a == "--modules") {
            moduleList = next();
            modulesGiven = true;
        } else if (a == "--port") {
            port = static_cast<int>(number(a, next(), 0, 65535));
            portGiven = true;
        } else if (a == "--write-recording") {
            recordingDir = next();
        } else if (a == "--scans") {
            scans = static_cast<int>(number(a, next(), 0, 1000000));
        } else if (a == "--speed") {
            speed = static_cast<int>(number(a, next(), 1, 100000));
        } else if (a == "--numbered") {
            numbered = true;
        } else if (a == "--pty") {
            pty = true;
        } else if (a == "--link") {
            link = next();
        } else if (a == "--stall") {
            stall = true;
        } else if (a == "--silent") {
            faults.silent = true;
        } else if (a == "--any") {
            any = true;
        } else if (a == "--delay") {
            faults.replyDelayMs = static_cast<unsigned>(number(a, next(), 0, 60000));
        } else if (a == "--error") {
            const std::string errorArg = next();
            const auto eq = errorArg.find('=');
            const auto comma = errorArg.find(',', eq == std::string::npos ? 0 : eq);
            if (eq == std::string::npos || comma == std::string::npos)
                refuse("--error takes HEADER=CODE,TEXT, not '" + errorArg + "'");
            const auto code = number("the code of --error", errorArg.substr(eq + 1, comma - eq - 1),
                                     -32768, 32767);
            faults.forcedErrors[errorArg.substr(0, eq)] = {static_cast<int>(code),
                                                           errorArg.substr(comma + 1)};
        } else {
            refuse("unknown option '" + a + "'");
        }
    }
    if (!recordingDir.empty()) return writeDemoRecording(recordingDir, model, scans, numbered);
    std::vector<std::string> modules = defaultModules(model);
    if (modulesGiven && !parseModuleList(model, moduleList, modules)) {
        std::fprintf(stderr, "korda-sim: bad module list '%s' for a %s\n", moduleList.c_str(),
                     traitsOf(model).name.data());
        return 2;
    }
    if ((!link.empty() || stall) && !pty) refuse("--link and --stall go with --pty");
    Instrument instrument(model, modules);
    instrument.setFaults(faults);
    instrument.clock.setRate(speed);
    setNumberedScans(instrument, numbered);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::unique_ptr<PtyServer> terminal;
    if (pty) {
        terminal = std::make_unique<PtyServer>(instrument, link);
        if (!terminal->ready()) {
            std::fprintf(stderr, "korda-sim: %s\n", terminal->error().c_str());
            return 1;
        }
        terminal->setReading(!stall);
        std::printf("korda-sim: model %s on pseudo-terminal %s\n", instrument.modelName(),
                    terminal->path().c_str());
    }
    std::unique_ptr<TcpServer> server;
    if (!pty || portGiven) {
        server = std::make_unique<TcpServer>(instrument, static_cast<std::uint16_t>(port), !any);
        if (!server->listening()) {
            std::fprintf(stderr, "korda-sim: cannot listen on port %d\n", port);
            return 1;
        }
        std::printf("korda-sim: model %s listening on TCP port %u\n", instrument.modelName(),
                    server->port());
    }
    std::fflush(stdout);
    while (!stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (server) server->stop();
    if (terminal) terminal->stop();
    return 0;
}
