// What korda writes: CSV of scans, time stamps, and the messages and exit
// codes of failures.
#pragma once

#include "korda32ext.h"

#include <memory>
#include <string>
#include <vector>

namespace korda::tool {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;       // a local failure (a file that cannot be written)
constexpr int kExitUsage = 2;         // bad arguments, found before anything is sent
constexpr int kExitInstrument = 3;    // the instrument or the library refused
constexpr int kExitCommunication = 4; // the instrument could not be reached
constexpr int kExitInterrupted = 130; // stopped by Ctrl-C

// The library's text for a status code, with the quotation marks of an
// instrument's message balanced.
std::string statusText(int status);
// kExitCommunication for transport failures, kExitInstrument otherwise.
int exitCodeFor(int status);
// "DOING: TEXT (CODE)", and after it the library's detail of the failure
// when it has more to say than the text ("open /dev/ttyACM3: Permission
// denied"), with a hint where the detail shows a likely cause. Call it right
// after the failing call: the detail is that of the thread's last failure.
std::string failureText(const std::string& doing, int status);
// Prints "korda: " and the failure text to standard error; returns the exit
// code.
int reportFailure(const std::string& doing, int status);
// Prints "korda: TEXT" to standard error.
void message(const std::string& text);

// "2026-03-07T09:05:03.042+01:00": the time stamp of a scan entry, read as
// the PC's local time (the instrument clock is set from it), with the PC's
// offset from UTC at that moment.
std::string isoTime(const ScanEntry& entry);
// The PC's local time in the same form.
std::string isoNow();

// "1 scan", "2 scans".
std::string counted(long long n, const std::string& noun);

// A reading as CSV text: the shortest form that reads back as the same
// float, "inf"/"-inf" for an overload, empty for a reading the instrument
// could not take.
std::string readingText(float value);
// A reading the instrument could not take (not an overload): 9.91e37 or NaN.
inline bool noReading(float value) {
    return value != value || value == 9.91e37f;
}
// A CSV cell, quoted when it holds a comma, quotation mark or line end.
std::string csvCell(const std::string& text);

// A column of the CSV: channel number, and name and unit when known.
struct Column {
    int channel = 0;
    std::string name;
    std::string unit;
    std::string source; // the instrument, when one file holds several
};

// A progress line on a terminal (standard error), nothing when it is not one.
class Progress {
  public:
    // wanted: false when the rows themselves go to the terminal.
    Progress(std::string what, bool wanted);
    // True when standard output is a terminal.
    static bool outputIsTerminal();
    ~Progress();
    void update(long long done, long long total);

  private:
    std::string what_;
    bool terminal_;
    bool shown_ = false;
};

// On a terminal (standard error), says what korda waits for when a wait
// lasts longer than two seconds: "korda: waiting for the instrument:
// reading the configuration back...". Nothing when standard error is no
// terminal.
class WaitNotice {
  public:
    explicit WaitNotice(std::string what);
    ~WaitNotice();
    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::tool
