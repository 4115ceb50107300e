// Where a command writes: standard output, or a file named with -o (made
// when the command runs, so that nothing is created by a command line that
// fails to parse).
#pragma once

#include "korda32ext.h"

#include <cstdio>
#include <string>

namespace korda::tool {

class OutputFile {
  public:
    explicit OutputFile(const std::string& path) : path_(path) {}
    ~OutputFile() { finish(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The stream to write to; nullptr (after a message) when the file cannot
    // be made.
    std::FILE* open();
    // True when the output goes to a terminal.
    bool toTerminal() const;
    // False (after a message) when the writes failed.
    bool finish();

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

// Writes a configuration record as JSON; an exit code.
int writeJson(const VmrInstConfig& config, const std::string& path);

} // namespace korda::tool
