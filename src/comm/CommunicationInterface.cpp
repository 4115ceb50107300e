#include "comm/CommunicationInterface.h"

#include "platform/platform.h"

namespace korda32ex {

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
