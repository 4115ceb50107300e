// USB transport: the virtual serial port (COM port) an instrument presents
// when attached by USB. Can search COM1 to COM64 for an answering instrument.
#pragma once

#include "comm/CommunicationInterface.h"
#include "comm/Diagnostics.h"
#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <string>

namespace korda32ex {

class USBCommunication final : public CommunicationInterface {
  public:
    // port: the COM number to open; below 1 searches COM1 to COM64.
    // Failures are described, and opens traced, through diagnostics.
    explicit USBCommunication(int port, Diagnostics diagnostics = {});
    ~USBCommunication() override;
    USBCommunication(const USBCommunication&) = delete;
    USBCommunication& operator=(const USBCommunication&) = delete;

    // Opens the port (or the first answering port of the search); 1 when an
    // instrument answered the probe, -2039 otherwise. The time limit is not
    // used. Open already: 1 without touching the port.
    int open(std::uint32_t timeoutMs) override;
    int close() override;
    // Writes the whole text within timeoutMs: -2037 on a write failure,
    // -1015 when it could not all be written in time, else 1.
    int send(const std::string& text, std::uint32_t timeoutMs) override;
    // As send, with the bulk write limit of 50 s whatever timeoutMs says.
    int sendBulk(const std::string& text, std::uint32_t timeoutMs) override;
    // -2037 on a read failure or a closed port.
    int receive(std::uint32_t timeoutMs, std::string& text) override;
    bool drain(std::uint32_t limitMs) override;

    bool isOpen() const { return handle_ != platform::kInvalidSerial; }
    // The COM number that is open (0 while closed).
    int openPort() const { return isOpen() ? openPort_ : 0; }

    static constexpr int kSearchFirst = 1;
    static constexpr int kSearchLast = 64;
    static constexpr std::uint32_t kProbeReplyMs = 500;
    static constexpr std::uint32_t kBulkWriteMs = 50000;

  private:
    bool probe();
    int write(const std::string& text, std::uint32_t timeoutMs);
    // Records "<what> <device>: <reason>" for the open port.
    void recordDetail(const char* what, const std::string& reason) const;

    int port_;
    platform::SerialHandle handle_ = platform::kInvalidSerial;
    int openPort_ = 0;
    Diagnostics diagnostics_;
    // One read's buffer: a read takes whatever has arrived, so that a reply
    // costs one system call rather than one per byte.
    std::array<char, 65536> buffer_{};
};

} // namespace korda32ex
