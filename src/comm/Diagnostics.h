// What the communication layer tells its owner besides status codes: the
// detail of a failure (what was being done, on which device or address, and
// the system's reason), and, while a trace is switched on, each line sent or
// received and each transport event.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace korda32ex {

enum class TraceKind : int { Sent = 0, Received = 1, Event = 2 };

class Diagnostics {
  public:
    using DetailSink = std::function<void(const std::string& text)>;
    using TraceSink = std::function<void(TraceKind kind, std::string_view text)>;

    // Without sinks, details are dropped and nothing is traced.
    Diagnostics() = default;
    // traceOn says whether a trace is wanted right now (the owner keeps it,
    // and keeps it alive); traces go to trace only while it is true.
    Diagnostics(DetailSink detail, const std::atomic<bool>* traceOn, TraceSink trace)
        : detail_(std::move(detail)), traceOn_(traceOn), trace_(std::move(trace)) {}

    void detail(const std::string& text) const {
        if (detail_) detail_(text);
    }
    // Callers test this before composing a trace text, so that a trace that
    // is off costs one load.
    bool tracing() const {
        return traceOn_ != nullptr && traceOn_->load(std::memory_order_relaxed);
    }
    void trace(TraceKind kind, std::string_view text) const {
        if (tracing() && trace_) trace_(kind, text);
    }

  private:
    DetailSink detail_;
    const std::atomic<bool>* traceOn_ = nullptr;
    TraceSink trace_;
};

} // namespace korda32ex
