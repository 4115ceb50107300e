// The byte-stream transport under the SCPI layer: TCP or a USB virtual COM port.
#pragma once

#include <cstdint>
#include <string>

namespace korda32ex {

class CommunicationInterface {
  public:
    virtual ~CommunicationInterface() = default;
    // Connects within timeoutMs. 1 on success, a negative status otherwise.
    virtual int open(std::uint32_t timeoutMs) = 0;
    // Releases the connection.
    virtual int close() = 0;
    // Writes the whole text within timeoutMs (the SCPI exchange).
    virtual int send(const std::string& text, std::uint32_t timeoutMs) = 0;
    // Writes the whole text (bulk exchanges and the USB probe).
    virtual int sendRaw(const std::string& text) = 0;
    // Appends what arrives within timeoutMs to text. 1 when the read went
    // without error (possibly with nothing new), a negative status otherwise.
    virtual int receive(std::uint32_t timeoutMs, std::string& text) = 0;
};

} // namespace korda32ex
