// What the library tells an application beyond status codes: the detail of
// the last failed call on each thread, and the trace of the wire that an
// application may register.
#pragma once

#include "comm/Diagnostics.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korda32ex {

// Marks the span of one exported call on the calling thread. Details recorded
// during the call are kept as the thread's last failure detail only when the
// call fails; a failure that recorded none keeps its status text instead.
// Nested frames count as the outermost one.
class CallDetailScope {
  public:
    CallDetailScope();
    ~CallDetailScope() = default;
    CallDetailScope(const CallDetailScope&) = delete;
    CallDetailScope& operator=(const CallDetailScope&) = delete;
    // Ends the call with its status; returns it.
    int finish(int status) noexcept;

  private:
    bool outermost_;
};

// Records the detail of a failure in the current call of the calling thread.
void recordCallDetail(const std::string& text);
// The calling thread's last failure detail (empty before any failure).
const std::string& lastCallDetail();

// Registers the application's trace callback (null switches the trace off).
// When this returns, the previous callback is not running and is not called
// again.
using TraceCallback = void (*)(void* context, int bcn, int direction, const char* text,
                               std::uint32_t length);
void setTraceCallback(TraceCallback callback, void* context);

// What the communication objects of an instrument are built with: details go
// to the calling thread's current call, traces to the registered callback
// under the BCN.
Diagnostics diagnosticsFor(int bcn);

} // namespace korda32ex
