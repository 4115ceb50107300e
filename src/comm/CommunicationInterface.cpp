#include "comm/CommunicationInterface.h"

#include "core/Numbers.h"
#include "platform/platform.h"

#include <cstdlib>
#include <optional>

namespace korda32ex {

std::uint32_t CommunicationInterface::drainLookMs() {
    static const std::uint32_t ms = [] {
        const char* text = std::getenv("KORDA_TEST_DRAIN_LOOK_MS");
        const auto v = text == nullptr ? std::nullopt : readLeadingInteger(text);
        return v && *v >= 1 && *v <= kDrainLookMs ? static_cast<std::uint32_t>(*v) : kDrainLookMs;
    }();
    return ms;
}

bool CommunicationInterface::drainBy(std::uint32_t limitMs, const Diagnostics& diagnostics,
                                     const std::function<void(std::string& chunk)>& look) {
    const std::uint32_t start = platform::tickCount();
    std::size_t discarded = 0;
    bool arriving = false;
    for (;;) {
        std::string chunk;
        look(chunk);
        discarded += chunk.size();
        if (chunk.empty()) break;
        if (platform::tickCount() - start > limitMs) {
            arriving = true; // still arriving
            break;
        }
    }
    if (discarded > 0 && diagnostics.tracing())
        diagnostics.trace(TraceKind::Event,
                          "drain discarded " + std::to_string(discarded) + " bytes");
    return arriving;
}

} // namespace korda32ex
