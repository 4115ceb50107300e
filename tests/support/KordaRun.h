// The korda program run as a user runs it, from a shell in a directory:
// its exit code, standard output and standard error.
#pragma once

#if !defined(_WIN32)
#include "TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace korda::test {

struct KordaResult {
    int code = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs korda with the arguments (shell words) in dir; env: assignments
// placed before the program.
inline KordaResult runKorda(const TempDir& dir, const std::string& arguments,
                            const std::string& env = "") {
    const auto out = dir.file("stdout.txt").string();
    const auto err = dir.file("stderr.txt").string();
    const std::string command = "cd '" + dir.path().string() + "' && " + env + " " + KORDA_TOOL +
                                " " + arguments + " >'" + out + "' 2>'" + err + "' </dev/null";
    const int raw = std::system(command.c_str());
    KordaResult r;
    r.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
    return r;
}

} // namespace korda::test
#endif
