// The korda program run as a user runs it, from a shell in a directory:
// its exit code, standard output and standard error.
#pragma once

#if !defined(_WIN32)
#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace korda::test {

struct KordaResult {
    int code = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs korda (or another program) with the arguments (shell words) in dir;
// env: assignments placed before the program. Its standard output goes to a
// file read back, or, with to, to a path ("/dev/full") or into a pipe
// ("| head -n 1"); the exit code is the program's.
inline KordaResult runKorda(const TempDir& dir, const std::string& arguments,
                            const std::string& env = "", const std::string& to = "",
                            const std::string& program = KORDA_TOOL) {
    const auto out = dir.file("stdout.txt").string();
    const auto err = dir.file("stderr.txt").string();
    const std::string sink = to.empty()     ? ">'" + out + "'"
                             : to[0] == '|' ? to + " >'" + out + "'"
                                            : ">" + to;
    // A program that hangs is stopped after two minutes (exit 124), not at
    // the test's own limit.
    dir.write("run.sh", "cd '" + dir.path().string() + "' && " + env + " timeout -k 5 120 " +
                            program + " " + arguments + " 2>'" + err + "' </dev/null " + sink +
                            "; exit ${PIPESTATUS[0]}\n");
    const int raw = std::system(("bash '" + dir.file("run.sh").string() + "'").c_str());
    KordaResult r;
    r.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

// The lines of a program's output, without their line ends.
inline std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Runs korda with the arguments in dir on a terminal of its own: its exit
// code, and in out all the terminal showed.
inline KordaResult runKordaOnTerminal(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), KORDA_TOOL);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    KordaResult r;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return r;
    if (pid == 0) { // only async-signal-safe calls until korda runs
        if (::chdir(dir.path().c_str()) == 0) ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) // EIO once korda ends
        r.out.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    r.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return r;
}

// The rows of a table in tests/golden (fields split at tabs; blank
// lines and lines starting with '#' skipped); a missing table fails the test.
inline std::vector<std::vector<std::string>> goldenRows(const std::string& name) {
    std::ifstream in(std::string(KORDA_SOURCE_DIR) + "/tests/golden/" + name);
    if (!in) throw std::runtime_error("no table " + name);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        rows.emplace_back();
        for (std::string field; std::getline(fields, field, '\t');)
            rows.back().push_back(field);
    }
    return rows;
}

} // namespace korda::test
#endif
