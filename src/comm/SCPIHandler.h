// The SCPI command layer: every exchange with an instrument goes through here.
#pragma once

#include "comm/CommunicationInterface.h"
#include "platform/platform.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace korda32ex {

class SCPIHandler {
  public:
    explicit SCPIHandler(std::shared_ptr<CommunicationInterface> transport);
    ~SCPIHandler();
    SCPIHandler(const SCPIHandler&) = delete;
    SCPIHandler& operator=(const SCPIHandler&) = delete;

    // The handler's recursive lock; exported functions hold it for a whole call.
    platform::RecursiveLock& lock() { return lock_; }
    CommunicationInterface& transport() { return *transport_; }

    // Writes the lines (each ended by CR LF) in one write and collects at
    // least expectedLines non-empty reply lines; replies receives every line.
    int transact(const std::vector<std::string>& lines, std::size_t expectedLines,
                 std::vector<std::string>& replies);
    // One query, retried once after a timeout; reply is the first line.
    int query(const std::string& command, std::string& reply);
    // As query, with a time limit of at least minimumMs for this query alone
    // (for a reply that comes only when a long operation is over); the
    // library timeout is left as it is.
    int query(const std::string& command, std::string& reply, std::uint32_t minimumMs);
    // Several queries in one exchange, retried once after a timeout.
    int queryLines(const std::vector<std::string>& queries, std::vector<std::string>& replies);
    // As queryLines; every reply line followed by "\n" is appended to out.
    int queryJoined(const std::vector<std::string>& queries, std::string& out);
    // Setting commands, checked against the error queue in batches of 20.
    int sendCommand(const std::string& command);
    int sendCommands(const std::vector<std::string>& commands);
    int sendCheckedBatch(const std::vector<std::string>& commands);
    // A command answering an unknown number of lines; collects until the
    // error queue's no-error line arrives. Appends to out.
    int readUntilNoError(const std::string& command, std::string& out);
    // Discards whatever input is pending.
    void drainInput();

    static constexpr std::size_t kBatchSize = 20;
    static constexpr std::uint32_t kMillisecondsPerLine = 150;
    static constexpr std::size_t kMinimumLongReply = 128;
    // The most text any exchange collects (-2035 beyond).
    static constexpr std::size_t kLongReplyLimit = std::size_t(256) << 20;
    // The receive limit of the drain's short looks.
    static constexpr std::uint32_t kDrainReadMs = 10;

  private:
    // transact; stillArriving tells whether bytes were still coming in when
    // the exchange ended (then a timeout is not worth a retry).
    int exchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                 std::vector<std::string>& replies, bool& stillArriving);
    // drainInput; true when input was still arriving at the drain's time limit.
    bool drainPending();
    int transactWithRetry(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies);

    std::shared_ptr<CommunicationInterface> transport_;
    platform::RecursiveLock lock_;
    std::uint32_t minimumLimitMs_ = 0; // raised by query(command, reply, minimumMs)
};

// Splits collected reply text into lines: carriage returns removed, split at
// line feeds, empty pieces dropped.
std::vector<std::string> splitReplyLines(const std::string& text);

// Counts complete reply lines incrementally as chunks arrive: a line feed ends
// a line only when another character (not a carriage return) came since the
// previous line end.
class ReplyLineCounter {
  public:
    void feed(const char* data, std::size_t length);
    std::size_t lines() const { return lines_; }

  private:
    std::size_t lines_ = 0;
    bool pending_ = false;
};

} // namespace korda32ex
