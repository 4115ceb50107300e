// Transports of the SCPI layer's tests: one with nothing stale to drain that
// hands over scripted chunks, one per receive, and times out at once when they
// are used up (exact chunk boundaries for framing tests, without a socket);
// and the library's TCP transport opened to a peer on loopback.
#pragma once

#include "comm/CommunicationInterface.h"
#include "comm/TCPCommunication.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace korda::test {

class ChunkedTransport final : public korda32ex::CommunicationInterface {
  public:
    explicit ChunkedTransport(std::vector<std::string> chunks) : chunks_(std::move(chunks)) {}
    int open(std::uint32_t) override { return 1; }
    int close() override { return 1; }
    int send(const std::string&, std::uint32_t) override { return 1; }
    int sendBulk(const std::string&, std::uint32_t) override { return 1; }
    bool drain(std::uint32_t) override { return false; }
    int receive(std::uint32_t, std::string& text) override {
        if (next_ == chunks_.size()) return -1015;
        text += chunks_[next_++];
        return 1;
    }
    // The chunks not yet received.
    std::size_t unread() const { return chunks_.size() - next_; }

  private:
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
};

// The TCP transport opened to port on 127.0.0.1.
inline std::shared_ptr<korda32ex::TCPCommunication> connectTo(std::uint16_t port) {
    auto t = std::make_shared<korda32ex::TCPCommunication>(
        port, std::array<std::uint8_t, 4>{127, 0, 0, 1});
    EXPECT_EQ(t->open(2000), 1);
    return t;
}

} // namespace korda::test
