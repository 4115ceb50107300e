// TCP transport: a non-blocking socket to the instrument's SCPI port.
#pragma once

#include "comm/CommunicationInterface.h"
#include "comm/Diagnostics.h"
#include "platform/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korda32ex {

class TCPCommunication final : public CommunicationInterface {
  public:
    // Failures are described, and connects and reconnects traced, through
    // diagnostics.
    TCPCommunication(int port, const std::array<std::uint8_t, 4>& ipAddress,
                     Diagnostics diagnostics = {});
    ~TCPCommunication() override;
    TCPCommunication(const TCPCommunication&) = delete;
    TCPCommunication& operator=(const TCPCommunication&) = delete;

    int open(std::uint32_t timeoutMs) override;
    int close() override;
    int send(const std::string& text, std::uint32_t timeoutMs) override;
    int sendBulk(const std::string& text, std::uint32_t timeoutMs) override;
    // A read that fails, finds the stream ended, or times out replaces the
    // connection for the next exchange (the drain's look excepted).
    int receive(std::uint32_t timeoutMs, std::string& text) override;
    bool drain(std::uint32_t limitMs) override;

    bool isOpen() const { return socket_ != platform::kInvalidSocket; }
    platform::SocketHandle socketHandle() const { return socket_; }

    // The most bytes one receive takes before handing them over.
    static constexpr std::size_t kMaxReceiveBytes = std::size_t(64) << 10;
    // Limit of the reconnect made by a send on a closed transport.
    static constexpr std::uint32_t kSendReconnectMs = 1000;

  private:
    int writeAll(const std::string& text, std::uint32_t timeoutMs);
    void reopen(std::uint32_t timeoutMs);
    // receive, where a silent peer keeps its connection when keepOnSilence.
    int read(std::uint32_t timeoutMs, std::string& text, bool keepOnSilence);
    // Records "<what> <address>:<port>: <the system's reason>".
    void recordSystemError(const char* what) const;
    void recordDetail(const char* what, const std::string& reason) const;

    int port_;
    platform::SocketHandle socket_ = platform::kInvalidSocket;
    std::string endpoint_; // "a.b.c.d:port"
    Diagnostics diagnostics_;
    // One read's buffer: a long reply arrives in a few large reads, not in
    // many small ones (each is a system call).
    static constexpr std::size_t kChunkBytes = std::size_t(64) << 10;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(kChunkBytes);
};

} // namespace korda32ex
