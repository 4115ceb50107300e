// korda-sim: the virtual instrument as a standalone program.
#include "Instrument.h"
#include "RecordingWriter.h"
#include "TcpServer.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
                 "                 [--delay MS] [--error HEADER=CODE,TEXT]\n"
                 "       korda-sim --write-recording DIR [--model 7043A|5129A] [--scans N]\n"
                 "  --port N    TCP port to listen on (default 5025; 0 picks a free port)\n"
                 "  --any       listen on every interface instead of loopback only\n"
                 "  --delay MS  wait MS milliseconds before every reply\n"
                 "  --error     make the instrument reject HEADER with CODE and TEXT\n"
                 "  --write-recording DIR  write setup.csv and dat00001.csv of a\n"
                 "              recording of N scans (default 100) into DIR, as on a\n"
                 "              USB drive, and exit\n");
}

} // namespace

int main(int argc, char** argv) {
    Model model = Model::M7043A;
    int port = 5025;
    bool any = false;
    Faults faults;
    std::string recordingDir;
    int scans = 100;
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
        } else if (a == "--port") {
            port = std::atoi(next().c_str());
        } else if (a == "--write-recording") {
            recordingDir = next();
        } else if (a == "--scans") {
            scans = std::atoi(next().c_str());
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
    Instrument instrument(model);
    instrument.setFaults(faults);
    TcpServer server(instrument, static_cast<std::uint16_t>(port), !any);
    if (!server.listening()) {
        std::fprintf(stderr, "korda-sim: cannot listen on port %d\n", port);
        return 1;
    }
    std::printf("korda-sim: model %s listening on TCP port %u\n", instrument.modelName(),
                server.port());
    std::fflush(stdout);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    return 0;
}
