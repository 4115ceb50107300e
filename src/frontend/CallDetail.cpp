#include "frontend/CallDetail.h"

#include "core/Status.h"
#include "platform/platform.h"

#include <atomic>

namespace korda32ex {

namespace {

struct ThreadDetail {
    int depth = 0;
    std::string pending; // recorded during the current call
    std::string last;    // of the last failed call
};

ThreadDetail& threadDetail() {
    thread_local ThreadDetail detail;
    return detail;
}

// The registered trace. The lock is held while the callback runs, so that
// switching the trace off waits for a call in progress; the switch lets a
// trace that is off cost one load and no lock.
struct TraceRegistry {
    std::atomic<bool> on{false};
    platform::RecursiveLock lock;
    TraceCallback callback = nullptr;
    void* context = nullptr;
};

TraceRegistry& traceRegistry() {
    static TraceRegistry registry;
    return registry;
}

void emitTrace(int bcn, TraceKind kind, std::string_view text) {
    TraceRegistry& r = traceRegistry();
    platform::LockGuard g(r.lock);
    if (r.callback == nullptr) return;
    const std::string line(text); // zero-terminated for the callback
    r.callback(r.context, bcn, static_cast<int>(kind), line.c_str(),
               static_cast<std::uint32_t>(line.size()));
}

} // namespace

CallDetailScope::CallDetailScope() {
    ThreadDetail& d = threadDetail();
    outermost_ = d.depth++ == 0;
    if (outermost_) d.pending.clear();
}

int CallDetailScope::finish(int st) noexcept {
    ThreadDetail& d = threadDetail();
    --d.depth;
    if (!outermost_ || st >= 0) return st;
    try {
        if (d.pending.empty())
            d.last = statusText(st);
        else
            d.last.swap(d.pending);
    } catch (...) {
        d.last.clear();
    }
    return st;
}

void recordCallDetail(const std::string& text) {
    ThreadDetail& d = threadDetail();
    if (d.depth > 0) d.pending = text;
}

const std::string& lastCallDetail() {
    return threadDetail().last;
}

void setTraceCallback(TraceCallback callback, void* context) {
    TraceRegistry& r = traceRegistry();
    platform::LockGuard g(r.lock);
    r.callback = callback;
    r.context = context;
    r.on.store(callback != nullptr, std::memory_order_relaxed);
}

Diagnostics diagnosticsFor(int bcn) {
    return Diagnostics(
        [](const std::string& text) { recordCallDetail(text); }, &traceRegistry().on,
        [bcn](TraceKind kind, std::string_view text) { emitTrace(bcn, kind, text); });
}

} // namespace korda32ex
