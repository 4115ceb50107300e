// korda-sim: the virtual instrument as a standalone program.
#include "Instrument.h"
#include "PtyServer.h"
#include "RecordingWriter.h"
#include "TcpServer.h"

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

void usage() {
    std::fprintf(stderr,
                 "usage: korda-sim [--model 7043A|5129A] [--port N] [--any]\n"
                 "                 [--pty] [--link PATH] [--stall]\n"
                 "                 [--delay MS] [--silent] [--error HEADER=CODE,TEXT]\n"
                 "                 [--modules LIST]\n"
                 "  --port N     TCP port to listen on (default 5025; 0 picks a free port)\n"
                 "  --any        listen on every interface instead of loopback only\n"
                 "  --pty        answer on a pseudo-terminal (the USB virtual COM port)\n"
                 "               and print its path; TCP only when --port is given too\n"
                 "  --link PATH  with --pty: make PATH a symbolic link to the terminal\n"
                 "  --stall      with --pty: never read the terminal (writes to it block\n"
                 "               once its buffer is full)\n"
                 "  --delay MS   wait MS milliseconds before every reply\n"
                 "  --silent     read commands but never answer\n"
                 "  --error      make the instrument reject HEADER with CODE and TEXT\n"
                 "  --modules LIST  the module in each slot, comma-separated: a name,\n"
                 "               or NONE for an empty slot (default: every slot filled,\n"
                 "               two in a 7043A, three in a 5129A), e.g. MUX22,NONE,MUX22\n"
                 "       korda-sim --write-recording DIR [--model 7043A|5129A] [--scans N]\n"
                 "  --write-recording DIR  write setup.csv and dat00001.csv of a\n"
                 "               recording of N scans (default 100) into DIR, as on a\n"
                 "               USB drive, and exit\n");
}

} // namespace

int main(int argc, char** argv) {
    Model model = Model::M7043A;
    int port = 5025;
    bool any = false;
    bool portGiven = false;
    bool pty = false;
    std::string link;
    bool stall = false;
    Faults faults;
    std::string recordingDir;
    int scans = 100;
    std::string moduleList;
    bool modulesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--model") {
            const std::string m = next();
            if (m == "7043A")
                model = Model::M7043A;
            else if (m == "5129A")
                model = Model::M5129A;
            else {
                usage();
                return 2;
            }
        } else if (a == "--modules") {
            moduleList = next();
            modulesGiven = true;
        } else if (a == "--port") {
            port = std::atoi(next().c_str());
            portGiven = true;
        } else if (a == "--write-recording") {
            recordingDir = next();
        } else if (a == "--scans") {
            scans = std::atoi(next().c_str());
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
            faults.replyDelayMs = static_cast<unsigned>(std::atoi(next().c_str()));
        } else if (a == "--error") {
            const std::string errorArg = next();
            const auto eq = errorArg.find('=');
            const auto comma = errorArg.find(',', eq == std::string::npos ? 0 : eq);
            if (eq == std::string::npos || comma == std::string::npos) {
                usage();
                return 2;
            }
            faults.forcedErrors[errorArg.substr(0, eq)] = {
                std::atoi(errorArg.substr(eq + 1, comma - eq - 1).c_str()),
                errorArg.substr(comma + 1)};
        } else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }
    if (!recordingDir.empty()) return writeDemoRecording(recordingDir, model, scans);
    std::vector<std::string> modules = defaultModules(model);
    if (modulesGiven && !parseModuleList(model, moduleList, modules)) {
        std::fprintf(stderr, "korda-sim: bad module list '%s' for a %s\n", moduleList.c_str(),
                     model == Model::M7043A ? "7043A" : "5129A");
        return 2;
    }
    Instrument instrument(model, modules);
    instrument.setFaults(faults);
    if ((!link.empty() || stall) && !pty) {
        usage();
        return 2;
    }
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
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (server) server->stop();
    if (terminal) terminal->stop();
    return 0;
}
