// One stop token for the whole program. While a StopScope lives, Ctrl-C
// (SIGINT), SIGTERM and SIGHUP set it instead of ending korda, so that a
// running scan, monitor or recording stops the instrument and ends in order;
// outside a scope they end korda at once, as usual. A closed output pipe
// requests the same stop (see requestStop).
#pragma once

namespace korda::tool {

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

// Sleeps up to ms, ending early when a stop is asked for.
void pauseUnlessStopped(int ms);

} // namespace korda::tool
