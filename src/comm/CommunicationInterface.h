// The byte-stream transport under the SCPI layer: TCP or a USB virtual COM
// port. The SCPI layer never knows which one it talks to: every operation
// below means the same on both.
#pragma once

#include "comm/Diagnostics.h"

#include <cstdint>
#include <functional>
#include <string>

namespace korda32ex {

class CommunicationInterface {
  public:
    virtual ~CommunicationInterface() = default;
    // Connects within timeoutMs. 1 on success, a negative status otherwise.
    virtual int open(std::uint32_t timeoutMs) = 0;
    // Releases the connection.
    virtual int close() = 0;
    // Writes the whole text within timeoutMs (a command exchange). 1 when all
    // of it went out, -1015 when the limit passed first, another negative
    // status on a failed write.
    virtual int send(const std::string& text, std::uint32_t timeoutMs) = 0;
    // Writes the whole text of a bulk exchange (a long log fetch, a probe).
    // TCP allows timeoutMs; the slower USB port its fixed bulk limit.
    virtual int sendBulk(const std::string& text, std::uint32_t timeoutMs) = 0;
    // Waits up to timeoutMs (0 counts as 1 ms) for input and appends to text
    // what has arrived by then: at least one byte when the status is 1; a
    // negative status (-1015 when nothing arrived in time) appends nothing.
    virtual int receive(std::uint32_t timeoutMs, std::string& text) = 0;
    // Discards whatever input is pending: reads until a short look of
    // drainLookMs() finds nothing, and spends no more than limitMs in all. A
    // drain that finds nothing leaves the connection as it is. True when input
    // was still arriving when the limit passed.
    virtual bool drain(std::uint32_t limitMs) = 0;

    static constexpr std::uint32_t kDrainLookMs = 10;
    // The look a drain makes: kDrainLookMs, or a shorter one of 1 ms and up
    // that the test hook KORDA_TEST_DRAIN_LOOK_MS gives (read once).
    static std::uint32_t drainLookMs();

  protected:
    // The drain as both transports make it: look(chunk) reads into chunk what
    // arrives within drainLookMs(); what is discarded is traced by its size.
    static bool drainBy(std::uint32_t limitMs, const Diagnostics& diagnostics,
                        const std::function<void(std::string& chunk)>& look);
};

} // namespace korda32ex
