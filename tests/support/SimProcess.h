// The korda-sim program as a child process (POSIX only): started with its
// options, its first output line read for the TCP port it listens on.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace korda::test {

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> options = {"--port", "0"}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        options.insert(options.begin(), KORDA_SIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& option : options)
            argv.push_back(option.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
        // "korda-sim: model 5129A listening on TCP port N"
        std::string line;
        char c = 0;
        pollfd p{output_, POLLIN, 0};
        while (pid_ > 0 && line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 &&
               ::read(output_, &c, 1) == 1)
            line += c;
        const auto at = line.rfind("port ");
        if (at != std::string::npos) port_ = static_cast<std::uint16_t>(std::atoi(&line[at + 5]));
    }
    ~SimProcess() {
        stop(SIGTERM, 10000);
        if (output_ >= 0) ::close(output_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    std::uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }

    // Sends the signal and waits at most boundMs for the program to end: its
    // exit code (128 + the signal that ended it), or -1 when it still runs
    // (it is killed then).
    int stop(int signal, unsigned boundMs) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        int status = 0;
        pid_t done = 0;
        for (unsigned waited = 0; (done = ::waitpid(pid_, &status, WNOHANG)) == 0; waited += 5) {
            if (waited >= boundMs) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = -1;
                return -1;
            }
            ::usleep(5000);
        }
        pid_ = -1;
        if (done < 0) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace korda::test

#endif
