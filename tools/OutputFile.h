// Where a command writes: standard output, or a file named with -o. Every
// write and the final flush are checked: a failure is reported once with the
// path and the system's reason, and a closed pipe asks for the program's stop
// as Ctrl-C does. A file is written under a temporary name beside it and
// renamed when complete, so that a failed or interrupted run never leaves
// half a file; a path that exists and is no regular file (a device, a FIFO)
// is written in place.
#pragma once

#include "Output.h"
#include "korda32ext.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korda::tool {

class OutputFile {
  public:
    // path: empty for standard output. Nothing is made before open(), so
    // that a command line that fails to parse creates nothing. appendInPlace:
    // the file is written where it is, after what it holds (a recording
    // that a killed recorder continues), never replaced.
    explicit OutputFile(std::string path, bool appendInPlace = false);
    // Removes an unfinished temporary file.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False (after a message) when the file cannot be made.
    bool open();
    // False (after a message, once) when this or an earlier write failed.
    bool write(std::string_view text);
    // Hands what was written on (to the pipe, terminal or file).
    bool flush();
    // Flushes, closes and puts the file in place (standard output: flushes);
    // false after a message.
    bool finish();
    // True when the output goes to a terminal.
    bool toTerminal() const;
    // "standard output" or the path.
    std::string name() const;

  private:
    bool fail(int error);

    std::string path_;
    bool appendInPlace_ = false;
    std::string target_;    // the file the rename puts in place (a link's target)
    std::string temporary_; // the name written to before the rename
    std::FILE* file_ = nullptr;
    bool ownFailed_ = false;
    // Standard output fails once for every command that writes to it.
    bool& failed_;
    bool finished_ = false;
};

// Standard output, shared by every command of the invocation.
OutputFile& standardOutput();
// Writes text to standard output; false after a failed write.
bool say(const std::string& text);
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
// The same, formatted as by printf.
bool sayf(const char* format, ...);

// Writes scans as CSV: a header row ("time" and one cell per column), then
// one row per scan.
class CsvWriter {
  public:
    explicit CsvWriter(OutputFile& out) : out_(out) {}
    bool header(const std::vector<Column>& columns);
    // False when the output cannot be written.
    bool rows(const ScanRecord& record);
    // One row, the time stamp's text and the readings, kept until flush().
    void row(const std::string& time, const float* readings, int count);
    // Writes the rows kept, at once: a reader sees each row complete.
    bool flush();

  private:
    OutputFile& out_;
    std::string text_;
};

// Writes a configuration record as JSON; an exit code.
int writeJson(const VmrInstConfig& config, const std::string& path);

} // namespace korda::tool
