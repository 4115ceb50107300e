// TCP transport: a non-blocking socket to the instrument's SCPI port.
#pragma once

#include "comm/CommunicationInterface.h"
#include "platform/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace korda32ex {

class TCPCommunication final : public CommunicationInterface {
  public:
    TCPCommunication(int port, const std::array<std::uint8_t, 4>& ipAddress);
    ~TCPCommunication() override;
    TCPCommunication(const TCPCommunication&) = delete;
    TCPCommunication& operator=(const TCPCommunication&) = delete;

    int open(std::uint32_t timeoutMs) override;
    int close() override;
    int send(const std::string& text, std::uint32_t timeoutMs) override;
    int sendRaw(const std::string& text) override;
    int receive(std::uint32_t timeoutMs, std::string& text) override;

    bool isOpen() const { return socket_ != platform::kInvalidSocket; }
    platform::SocketHandle socketHandle() const { return socket_; }

    // The receive limit that marks the SCPI layer's drain: a drain that finds
    // nothing leaves the connection as it is.
    static constexpr std::uint32_t kDrainTimeoutMs = 10;
    // The most bytes one receive takes before handing them over.
    static constexpr std::size_t kMaxReceiveBytes = std::size_t(1) << 20;
    // Limit of the reconnect made by a send on a closed transport.
    static constexpr std::uint32_t kSendReconnectMs = 1000;

  private:
    int writeAll(const std::string& text, std::uint32_t timeoutMs);
    void reopen(std::uint32_t timeoutMs);

    int port_;
    platform::SocketHandle socket_ = platform::kInvalidSocket;
    std::array<std::uint8_t, 4> ipAddress_;
};

} // namespace korda32ex
