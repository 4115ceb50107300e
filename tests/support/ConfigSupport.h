// Helpers of the configuration tests: a virtual instrument reached through the
// library's own TCP transport and SCPI layer, and record helpers.
#pragma once

#include "Instrument.h"
#include "TcpServer.h"
#include "TestSupport.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "config/IProcessor.h"
#include "config/InstConfigProcessor.h"
#include "config/ShuntConversion.h"
#include "frontend/GlobalData.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace korda::test {

using korda32ex::CommandList;
using korda32ex::IProcessor;

// A virtual instrument on loopback with an SCPI handler connected to it.
class SimLink {
  public:
    explicit SimLink(sim::Model model = sim::Model::M7043A)
        : instrument(model), server(instrument) {
        korda32ex::platform::netStartup();
        auto transport = std::make_shared<korda32ex::TCPCommunication>(
            server.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
        openStatus = transport->open(5000);
        handler = std::make_shared<korda32ex::SCPIHandler>(
            std::move(transport), korda32ex::libraryTimeLimit(), korda32ex::libraryErrorSink());
    }

    // Asks p's queries in one exchange and parses the replies into record the
    // way a parent composite hands them out (a single processor gets its line
    // without the line end). Returns the parse result.
    bool readBack(IProcessor& p, VmrInstConfig& record, std::string& errorText, int& errorCode,
                  CommandList* queriesOut = nullptr) {
        korda32ex::CompositeProcessor parent;
        parent.addChild(std::shared_ptr<IProcessor>(&p, [](IProcessor*) {}));
        CommandList queries;
        EXPECT_TRUE(parent.buildQueries(queries, handler.get()));
        if (queriesOut != nullptr) *queriesOut = queries;
        std::string replies;
        if (!queries.empty()) {
            std::vector<std::string> lines;
            EXPECT_EQ(handler->queryLines(queries, lines), 1);
            for (const auto& line : lines)
                replies += line + "\n";
        }
        return parent.parseResponse(replies, record, errorText, errorCode);
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

// The commands one processor builds for a record (the build must succeed).
inline CommandList commandsOf(IProcessor& p, const VmrInstConfig& r) {
    CommandList commands;
    std::string text;
    int code = 0;
    EXPECT_TRUE(p.buildCommands(r, commands, text, code)) << text;
    return commands;
}

// Commands joined by '|', for tables of expected command texts.
inline std::string joined(const CommandList& commands) {
    std::string out;
    for (const auto& c : commands)
        out += (out.empty() ? "" : "|") + c;
    return out;
}

// Outcome of one parse.
struct ParseResult {
    bool ok = false;
    std::string text;
    int code = 0;
};
inline ParseResult parseWith(IProcessor& p, const std::string& reply, VmrInstConfig& r) {
    ParseResult out;
    out.ok = p.parseResponse(reply, r, out.text, out.code);
    return out;
}

// The commands dlxVmrConfigSet sends for record on a model: its shunt
// channels converted, then built against a virtual instrument of the model.
inline CommandList configurationCommands(const VmrInstConfig& record, int model) {
    SimLink link(model == DLXVMR_MODEL_5129A ? sim::Model::M5129A : sim::Model::M7043A);
    EXPECT_EQ(link.openStatus, 1);
    auto application = std::make_unique<VmrInstConfig>(record);
    auto working = zeroRecord();
    EXPECT_TRUE(korda32ex::convertShuntChannels(*application, *working, model).ok());
    CommandList commands;
    std::string text;
    int code = 0;
    EXPECT_TRUE(korda32ex::InstConfigProcessor(*link.handler, model)
                    .buildCommands(*working, commands, text, code))
        << text;
    EXPECT_EQ(code, 0) << text;
    return commands;
}

} // namespace korda::test
