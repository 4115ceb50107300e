// The korda program run as a user runs it, from a shell in a directory:
// its exit code, standard output and standard error.
#pragma once

#if !defined(_WIN32)
#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace korda::test {

struct KordaResult {
    int code = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs korda with the arguments (shell words) in dir; env: assignments
// placed before the program. Its standard output goes to a file read back,
// or, with to, to a path ("/dev/full") or into a pipe ("| head -n 1"); the
// exit code is korda's.
inline KordaResult runKorda(const TempDir& dir, const std::string& arguments,
                            const std::string& env = "", const std::string& to = "") {
    const auto out = dir.file("stdout.txt").string();
    const auto err = dir.file("stderr.txt").string();
    const std::string sink = to.empty()     ? ">'" + out + "'"
                             : to[0] == '|' ? to + " >'" + out + "'"
                                            : ">" + to;
    dir.write("run.sh", "cd '" + dir.path().string() + "' && " + env + " " + KORDA_TOOL + " " +
                            arguments + " 2>'" + err + "' </dev/null " + sink +
                            "; exit ${PIPESTATUS[0]}\n");
    const int raw = std::system(("bash '" + dir.file("run.sh").string() + "'").c_str());
    KordaResult r;
    r.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = dir.read("stdout.txt");
    r.err = dir.read("stderr.txt");
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
