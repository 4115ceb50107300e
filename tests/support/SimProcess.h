// The korda-sim program as a child process (POSIX only): started with its
// options, its first output line read for the TCP port it listens on.
#pragma once

#ifndef _WIN32

#include "Child.h"
#include "TempDir.h"

#include <cstdint>
#include <cstdlib>

namespace korda::test {

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> options = {"--port", "0"})
        : child_(withProgram(std::move(options)), {}, dir_.file("sim.log").string()) {
        // "korda-sim: model 5129A listening on TCP port N"
        for (int waited = 0; child_.pid() > 0 && port_ == 0 && waited < 10000; waited += 5) {
            const std::string out = dir_.read("sim.log");
            const auto at = out.find("port ");
            if (at != std::string::npos && out.find('\n', at) != std::string::npos)
                port_ = static_cast<std::uint16_t>(std::atoi(&out[at + 5]));
            else
                ::usleep(5000);
        }
    }
    ~SimProcess() { stop(SIGTERM, 10000); }

    std::uint16_t port() const { return port_; }
    pid_t pid() const { return child_.pid(); }

    // Sends the signal and waits at most boundMs for the program to end: its
    // exit code (128 + the signal that ended it), or -1 when it still runs
    // (it is killed then).
    int stop(int signal, unsigned boundMs) {
        child_.signal(signal);
        const int code = child_.wait(static_cast<int>(boundMs));
        if (code < 0) child_.signal(SIGKILL);
        return code;
    }

  private:
    static std::vector<std::string> withProgram(std::vector<std::string> options) {
        options.insert(options.begin(), KORDA_SIM_PROGRAM);
        return options;
    }
    TempDir dir_;
    Child child_;
    std::uint16_t port_ = 0;
};

} // namespace korda::test

#endif
