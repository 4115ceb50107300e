// A transport with nothing stale to drain that hands over scripted chunks,
// one per receive, and times out at once when they are used up: exact chunk
// boundaries for framing tests, without a socket.
#pragma once

#include "comm/CommunicationInterface.h"

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

} // namespace korda::test
