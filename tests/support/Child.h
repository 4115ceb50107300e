// A child process (POSIX only) with its standard output and error in a file.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace korda::test {

class Child {
  public:
    // argv[0] is the program's path; env: assignments added to this process's.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::string& outputPath) {
        std::vector<char*> args, envp;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (char** e = environ; *e; ++e)
            envp.push_back(*e);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        signal(SIGKILL);
        wait(20000);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }
    void signal(int sig) {
        if (pid_ > 0 && status_ < 0) ::kill(pid_, sig);
    }
    // The exit code (128 + signal when killed); -1 when it did not end in time.
    int wait(int boundMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        int raw = 0;
        while (pid_ > 0 && status_ < 0 && std::chrono::steady_clock::now() < end) {
            if (::waitpid(pid_, &raw, WNOHANG) == pid_)
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
};

} // namespace korda::test

#endif
