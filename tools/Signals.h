// One stop token for the whole program. While a StopScope lives, Ctrl-C
// (SIGINT), SIGTERM and SIGHUP set it instead of ending korda, so that a
// running scan, monitor or read-back stops the instrument (or finishes what
// must not be cut) and ends in order; outside a scope they end korda at once,
// as usual, after removing an unfinished output file. A closed output pipe
// asks for the same stop (requestStop).
#pragma once

#include <string>

namespace korda::tool {

// Installs the handlers (once, at start) and ignores SIGPIPE: a write to a
// closed pipe fails with EPIPE instead of ending korda.
void installSignalHandlers();

// True once a stop was asked for inside the current scope.
bool stopRequested();
// Asks for the stop from the program itself (a closed pipe on the output).
void requestStop();
// The signal that asked for the stop (SIGINT, SIGTERM, SIGHUP); 0 when none
// did.
int stopSignal();

class StopScope {
  public:
    // Clears the token and catches the stop signals until destroyed.
    StopScope();
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;
};

// The unfinished file a signal outside a scope removes before korda ends
// (one at a time; empty for none).
void removeOnSignal(const std::string& path);

// Sleeps up to ms, ending early when a stop is asked for.
void pauseUnlessStopped(long long ms);

} // namespace korda::tool
