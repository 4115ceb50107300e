// Helpers of the configuration tests: a virtual instrument reached through a
// real TCP connection and SCPI handler, and record builders.
#pragma once

#include "Instrument.h"
#include "TcpServer.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "config/IProcessor.h"
#include "platform/platform.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace korda::test {

// A virtual instrument on loopback with an SCPI handler connected to it.
class SimLink {
  public:
    explicit SimLink(sim::Model model = sim::Model::M7043A)
        : instrument(model), server(instrument) {
        korda32ex::platform::netStartup();
        auto transport = std::make_shared<korda32ex::TCPCommunication>(
            server.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
        openStatus = transport->open(5000);
        handler = std::make_shared<korda32ex::SCPIHandler>(std::move(transport));
    }

    sim::Instrument instrument;
    sim::TcpServer server;
    std::shared_ptr<korda32ex::SCPIHandler> handler;
    int openStatus = 0;
};

// A zeroed record on the heap (it is too large for comfortable stack use).
inline std::unique_ptr<VmrInstConfig> zeroRecord() {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), 0, sizeof(VmrInstConfig));
    return r;
}

// Runs buildCommands of one processor on a record and returns the commands.
inline std::vector<std::string> commandsOf(korda32ex::IProcessor& p, const VmrInstConfig& r) {
    std::vector<std::string> commands;
    std::string text;
    int code = 0;
    p.buildCommands(r, commands, text, code);
    return commands;
}

// Outcome of one parse.
struct ParseResult {
    bool ok = false;
    std::string text;
    int code = 0;
};
inline ParseResult parseWith(korda32ex::IProcessor& p, const std::string& reply, VmrInstConfig& r) {
    ParseResult out;
    out.ok = p.parseResponse(reply, r, out.text, out.code);
    return out;
}

} // namespace korda::test
