// The SCPI command layer: every exchange with an instrument goes through here.
#pragma once

#include "comm/CommunicationInterface.h"
#include "comm/Diagnostics.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korda32ex {

class SCPIHandler {
  public:
    // The current time limit of an exchange, in milliseconds.
    using TimeLimitSource = std::function<std::uint32_t()>;
    // Where the detailed text of a failed command or an unusable reply goes,
    // under its status code.
    using ErrorSink = std::function<void(int code, const std::string& text)>;
    // Receives the reply lines of a streamed exchange, one at a time, in order.
    using LineSink = std::function<void(std::string_view line)>;

    static constexpr std::uint32_t kDefaultTimeLimitMs = 10000;

    // Without a time limit source the limit is kDefaultTimeLimitMs; without an
    // error sink detailed texts are dropped. replyLimit is the most text any
    // exchange collects (-2035 beyond). diagnostics receives the detail of
    // each failed exchange (the transport describes its own failures) and,
    // while a trace is on, every line sent and received.
    explicit SCPIHandler(std::shared_ptr<CommunicationInterface> transport,
                         TimeLimitSource timeLimit = {}, ErrorSink errors = {},
                         std::size_t replyLimit = kLongReplyLimit, Diagnostics diagnostics = {});
    ~SCPIHandler();
    SCPIHandler(const SCPIHandler&) = delete;
    SCPIHandler& operator=(const SCPIHandler&) = delete;

    // The handler's recursive lock; exported functions hold it for a whole call.
    platform::RecursiveLock& lock() { return lock_; }

    // Writes the lines (each ended by CR LF) in one write and collects at
    // least expectedLines non-empty reply lines; replies receives every line.
    int transact(const std::vector<std::string>& lines, std::size_t expectedLines,
                 std::vector<std::string>& replies);
    // As transact (no retry), handing each reply line to sink as soon as it
    // is complete instead of returning a list: a long reply is taken apart
    // while it arrives and is never held whole. The lines are those transact
    // gives; when the exchange fails, some may have been handed on already.
    int transactLines(const std::vector<std::string>& lines, std::size_t expectedLines,
                      const LineSink& sink);
    // One query, retried once after a timeout; reply is the first line.
    int query(const std::string& command, std::string& reply);
    // As query, with a time limit of at least minimumMs for this query alone
    // (for a reply that comes only when a long operation is over); the time
    // limit of every other exchange stays as it is.
    int query(const std::string& command, std::string& reply, std::uint32_t minimumMs);
    // Several queries in one exchange, retried once after a timeout.
    int queryLines(const std::vector<std::string>& queries, std::vector<std::string>& replies);
    // Typed queries: one query as query() does, its reply read as a type. A
    // reply that is not one gives -2035 and records "Invalid response: "
    // followed by the reply under -1.
    // An integer from min to max.
    int queryInt(const std::string& command, std::int64_t& value,
                 std::int64_t min = std::numeric_limits<std::int64_t>::min(),
                 std::int64_t max = std::numeric_limits<std::int64_t>::max());
    // A real number.
    int queryReal(const std::string& command, double& value);
    // One of words (ignoring letter case); index is its position.
    int queryToken(const std::string& command, std::span<const std::string_view> words,
                   std::size_t& index);
    // Setting commands, checked against the error queue in batches of 20.
    int sendCommand(const std::string& command);
    int sendCommands(const std::vector<std::string>& commands);
    int sendCheckedBatch(const std::vector<std::string>& commands);
    // A command answering an unknown number of lines; collects until the
    // error queue's no-error line arrives. Appends to out. -1015 when nothing
    // arrives for a whole time limit, or when the whole reply takes longer
    // than the time limit plus kLongReplyMsPerByte for each byte received: a
    // peer that trickles cannot hold it forever. A reply that is one quoted
    // error-queue line with a negative number is the instrument's rejection:
    // that number, its text recorded under it. Any other error-shaped line
    // is data.
    int readUntilNoError(const std::string& command, std::string& out);
    // Discards whatever input is pending (the transport's drain, within the
    // time limit).
    void drainInput();
    // Records the detailed text of a failure through the error sink.
    void recordError(int code, const std::string& text) const;

    static constexpr std::size_t kBatchSize = 20;
    static constexpr std::uint32_t kMillisecondsPerLine = 150;
    static constexpr std::size_t kMinimumLongReply = 128;
    // The time a long reply may take per byte beyond the time limit: a pace
    // of 100 bytes per second, far below the slowest link (19200 baud, about
    // 1920 bytes per second).
    static constexpr std::uint64_t kLongReplyMsPerByte = 10;
    // The most text any exchange collects unless the handler is built with
    // another limit.
    static constexpr std::size_t kLongReplyLimit = std::size_t(256) << 20;

  private:
    std::uint32_t timeLimitMs() const;
    // Rejects an unusable reply: records it and gives -2035.
    int invalidReply(const std::string& reply) const;
    // transact; stillArriving tells whether bytes were still coming in when
    // the exchange ended (then a timeout is not worth a retry).
    int exchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                 std::vector<std::string>& replies, bool& stillArriving);
    // The drain, the write and the reply of one exchange. Without a sink,
    // collected receives the whole reply; with one, the complete lines go to
    // the sink as they arrive.
    int runExchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                    std::string& collected, bool& stillArriving, const LineSink* sink);
    // Collects the reply of an exchange whose message has gone out until
    // expectedLines lines are complete; received counts its bytes. With a
    // sink, collected keeps only the unfinished last line, and traced (when
    // given) everything.
    int collectReply(std::size_t expectedLines, std::uint32_t start, std::uint32_t limit,
                     std::string& collected, bool& stillArriving, const LineSink* sink,
                     std::string* traced, std::size_t& received);
    // Describes a failed exchange of lines: a time-out with the time limit
    // and what had arrived, an overlong reply.
    void recordExchangeFailure(int st, const std::vector<std::string>& lines, std::uint32_t limitMs,
                               std::size_t received) const;
    // Receives the rest of a long reply, up to the no-error line.
    // rejected: the instrument answered the command with an error (its code
    // is returned, its text recorded under it).
    int collectUntilNoError(const std::string& command, std::uint32_t limit, std::size_t base,
                            std::string& out, bool& rejected);
    void traceSent(const std::vector<std::string>& lines) const;
    void traceReceived(std::string_view text) const;
    int transactWithRetry(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies);

    std::shared_ptr<CommunicationInterface> transport_;
    TimeLimitSource timeLimit_;
    ErrorSink errors_;
    std::size_t replyLimit_;
    Diagnostics diagnostics_;
    platform::RecursiveLock lock_;
    std::uint32_t minimumLimitMs_ = 0; // raised by query(command, reply, minimumMs)
    // Kept between streamed exchanges while its room is at most kKeptStreamRoom.
    std::string streamBuffer_;
    static constexpr std::size_t kKeptStreamRoom = std::size_t(4) << 20;
};

} // namespace korda32ex
