// A virtual instrument on loopback reached through the library's own TCP
// transport and SCPI layer, for tests of processors against real replies.
#pragma once

#include "Instrument.h"
#include "TcpServer.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "config/IProcessor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace korda::test {

class SimConnection {
  public:
    explicit SimConnection(sim::Model model = sim::Model::M7043A)
        : instrument_(model), server_(instrument_) {
        auto transport = std::make_shared<korda32ex::TCPCommunication>(
            server_.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
        openStatus_ = transport->open(2000);
        handler_ = std::make_unique<korda32ex::SCPIHandler>(transport);
    }
    int openStatus() const { return openStatus_; }
    sim::Instrument& instrument() { return instrument_; }
    korda32ex::SCPIHandler& handler() { return *handler_; }

    // Builds the queries of p, asks them in one exchange and parses the
    // replies into record the way a parent composite hands them out (so a
    // single processor gets its line without the line end). Returns the
    // parse result.
    bool readBack(korda32ex::IProcessor& p, VmrInstConfig& record, std::string& errorText,
                  int& errorCode, korda32ex::CommandList* queriesOut = nullptr) {
        korda32ex::CompositeProcessor parent;
        parent.addChild(std::shared_ptr<korda32ex::IProcessor>(&p, [](korda32ex::IProcessor*) {}));
        korda32ex::CommandList queries;
        EXPECT_TRUE(parent.buildQueries(queries, handler_.get()));
        if (queriesOut != nullptr) *queriesOut = queries;
        std::string replies;
        if (!queries.empty()) {
            EXPECT_EQ(handler_->queryJoined(queries, replies), 1);
        }
        return parent.parseResponse(replies, record, errorText, errorCode);
    }

  private:
    sim::Instrument instrument_;
    sim::TcpServer server_;
    std::unique_ptr<korda32ex::SCPIHandler> handler_;
    int openStatus_ = 0;
};

// A zeroed configuration record on the heap (it is large).
inline std::unique_ptr<VmrInstConfig> zeroRecord() {
    return std::unique_ptr<VmrInstConfig>(new VmrInstConfig{});
}

// Writes an ASCII text into a 16-bit record text field.
template <std::size_t N> void setText(VmrChar16 (&field)[N], const std::u16string& text) {
    std::size_t i = 0;
    for (; i < text.size() && i + 1 < N; ++i)
        field[i] = static_cast<VmrChar16>(text[i]);
    field[i] = 0;
}

} // namespace korda::test
