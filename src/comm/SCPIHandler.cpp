#include "comm/SCPIHandler.h"

#include "core/Numbers.h"
#include "core/Status.h"
#include "core/Text.h"

#include <algorithm>
#include <optional>

namespace korda32ex {

using platform::LockGuard;
using platform::tickCount;

namespace {

const std::string kLineEnd = "\r\n";
// The no-error line as it arrives at the end of a long reply.
const std::string kNoErrorEnd = std::string(kNoErrorLine) + "\r";

// Each line followed by the line end, all in one message.
std::string buildMessage(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& l : lines)
        size += l.size() + kLineEnd.size();
    std::string message;
    message.reserve(size);
    for (const auto& l : lines) {
        message += l;
        message += kLineEnd;
    }
    return message;
}

// One line of the error queue, the reply to "SYST:ERR?": the number before
// the first comma and the quoted text after it, which may itself hold commas.
struct ErrorQueueLine {
    int code = 0;
    std::string_view text; // without its closing quotation mark
    bool quoted = false;   // the text is enclosed in quotation marks
};

// The one reader of error-queue lines. Empty when the line is none: no comma,
// a first piece that is not a whole integer, or nothing after the comma.
std::optional<ErrorQueueLine> readErrorQueueLine(std::string_view line) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const std::string_view number = line.substr(0, comma);
    const std::string_view text = line.substr(comma + 1);
    if (text.empty() || number.find_first_not_of("+-0123456789 ") != std::string_view::npos)
        return std::nullopt;
    const auto code = readLeadingInt(number);
    if (!code) return std::nullopt;
    return ErrorQueueLine{*code, text.substr(0, text.size() - 1),
                          text.size() >= 2 && text.front() == '"' && text.back() == '"'};
}

// The instrument's rejection of a long reply's command: the whole reply is
// one error-queue line, quoted, with a negative number (the answer to the
// closing "SYST:ERR?" when the command itself gave nothing). Gives the
// detailed text to record with the number.
struct Rejection {
    int code = 0;
    std::string text;
};
std::optional<Rejection> rejectionOf(std::string_view reply) {
    std::optional<Rejection> rejection;
    std::size_t lines = 0;
    forEachLine(reply, LineRule::Reply, [&](std::string_view line) {
        if (++lines != 1) return;
        const auto entry = readErrorQueueLine(line);
        if (entry && entry->quoted && entry->code < 0)
            rejection = Rejection{entry->code, std::string(entry->text)};
    });
    return lines == 1 ? rejection : std::nullopt;
}

// The commands of an exchange for a failure text: the error queue's own
// commands left out, and a long batch cut short.
std::string describeCommands(const std::vector<std::string>& lines) {
    constexpr std::size_t kMaxText = 160;
    std::string text;
    for (const auto& l : lines) {
        if (l == "*CLS" || l == "SYST:ERR?") continue;
        if (!text.empty()) text += "; ";
        if (text.size() + l.size() > kMaxText) return text + "...";
        text += l;
    }
    return text;
}

} // namespace

SCPIHandler::SCPIHandler(std::shared_ptr<CommunicationInterface> transport,
                         TimeLimitSource timeLimit, ErrorSink errors, std::size_t replyLimit,
                         Diagnostics diagnostics)
    : transport_(std::move(transport)), timeLimit_(std::move(timeLimit)),
      errors_(std::move(errors)), replyLimit_(replyLimit), diagnostics_(std::move(diagnostics)) {}

SCPIHandler::~SCPIHandler() = default;

std::uint32_t SCPIHandler::timeLimitMs() const {
    return timeLimit_ ? timeLimit_() : kDefaultTimeLimitMs;
}

void SCPIHandler::recordError(int code, const std::string& text) const {
    if (errors_) errors_(code, text);
    diagnostics_.detail(text);
}

void SCPIHandler::recordExchangeFailure(int st, const std::vector<std::string>& lines,
                                        std::uint32_t limitMs, std::size_t received) const {
    if (st == status::kTimeout)
        diagnostics_.detail(describeCommands(lines) + " timed out after " +
                            std::to_string(limitMs) + " ms, " + std::to_string(received) +
                            " bytes received");
    else if (st == status::kInvalidResponse)
        diagnostics_.detail(describeCommands(lines) + ": reply longer than " +
                            std::to_string(replyLimit_) + " bytes");
}

void SCPIHandler::traceSent(const std::vector<std::string>& lines) const {
    if (!diagnostics_.tracing()) return;
    for (const auto& l : lines)
        diagnostics_.trace(TraceKind::Sent, l);
}

void SCPIHandler::traceReceived(std::string_view text) const {
    if (!diagnostics_.tracing()) return;
    forEachLine(text, LineRule::Reply,
                [&](std::string_view line) { diagnostics_.trace(TraceKind::Received, line); });
}

int SCPIHandler::invalidReply(const std::string& reply) const {
    recordError(status::kInvalidRequest, "Invalid response: " + reply);
    return status::kInvalidResponse;
}

int SCPIHandler::transact(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies) {
    bool stillArriving = false;
    return exchange(lines, expectedLines, replies, stillArriving);
}

int SCPIHandler::transactLines(const std::vector<std::string>& lines, std::size_t expectedLines,
                               const LineSink& sink) {
    LockGuard g(lock_);
    bool stillArriving = false;
    // The buffer of the last streamed exchange, its room kept: a fresh one
    // would have to grow (and fault in new pages) on every long reply.
    std::string unfinished = std::move(streamBuffer_);
    unfinished.clear();
    const int st = runExchange(lines, expectedLines, unfinished, stillArriving, &sink);
    if (unfinished.capacity() <= kKeptStreamRoom) streamBuffer_ = std::move(unfinished);
    return st;
}

int SCPIHandler::exchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies, bool& stillArriving) {
    LockGuard g(lock_);
    std::string collected;
    const int st = runExchange(lines, expectedLines, collected, stillArriving, nullptr);
    if (st != status::kOk) return st;
    replies.clear();
    forEachLine(collected, LineRule::Reply,
                [&](std::string_view line) { replies.emplace_back(line); });
    return status::kOk;
}

int SCPIHandler::runExchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                             std::string& collected, bool& stillArriving, const LineSink* sink) {
    stillArriving = false;
    const std::uint64_t perLines = std::uint64_t{kMillisecondsPerLine} * lines.size();
    const std::uint64_t t = std::max<std::uint64_t>({timeLimitMs(), perLines, minimumLimitMs_});
    const std::uint32_t limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(t, 0xFFFFFFFFu));

    // One deadline for the whole exchange: the drain, the write and the reply.
    // (Unsigned differences of the tick count stay right across its wrap.)
    const std::uint32_t start = tickCount();
    const std::string message = buildMessage(lines);
    stillArriving = transport_->drain(timeLimitMs());
    traceSent(lines);
    const int sent = transport_->send(message, limit);
    if (sent != status::kOk) {
        recordExchangeFailure(sent, lines, limit, 0);
        return sent;
    }

    // A streamed reply is traced whole at the end, as a collected one is.
    std::string traced;
    std::string* const tracedText = sink != nullptr && diagnostics_.tracing() ? &traced : nullptr;
    std::size_t received = 0;
    const int st = collectReply(expectedLines, start, limit, collected, stillArriving, sink,
                                tracedText, received);
    traceReceived(sink != nullptr ? traced : collected);
    if (st != status::kOk) {
        recordExchangeFailure(st, lines, limit, received);
        return st;
    }
    // Text after the last line feed is a line too.
    if (sink != nullptr) forEachLine(collected, LineRule::Reply, *sink);
    return status::kOk;
}

int SCPIHandler::collectReply(std::size_t expectedLines, std::uint32_t start, std::uint32_t limit,
                              std::string& collected, bool& stillArriving, const LineSink* sink,
                              std::string* traced, std::size_t& received) {
    ReplyLineCounter counter;
    received = 0;
    while (counter.lines() < expectedLines) {
        const std::uint32_t elapsed = tickCount() - start;
        if (elapsed > limit) return status::kTimeout;
        const std::size_t before = collected.size();
        const int st = transport_->receive(limit - elapsed, collected);
        stillArriving = st == status::kOk && collected.size() > before;
        if (st != status::kOk) return st;
        const std::size_t got = collected.size() - before;
        received += got;
        counter.feed(collected.data() + before, got);
        if (received > replyLimit_) return status::kInvalidResponse;
        if (sink == nullptr) continue;
        if (traced != nullptr) traced->append(collected, before, got);
        // Hand on the lines completed by this chunk; the unfinished one stays.
        std::size_t cut = collected.size();
        while (cut > before && collected[cut - 1] != '\n')
            --cut;
        if (cut == before) continue;
        forEachLine(std::string_view(collected).substr(0, cut), LineRule::Reply, *sink);
        collected.erase(0, cut);
    }
    return status::kOk;
}

int SCPIHandler::transactWithRetry(const std::vector<std::string>& lines, std::size_t expectedLines,
                                   std::vector<std::string>& replies) {
    bool stillArriving = false;
    const int st = exchange(lines, expectedLines, replies, stillArriving);
    // A retry is for a reply that was lost. A peer still sending when the
    // time ran out, without ever completing the reply, gets no second round.
    if (st != status::kTimeout || stillArriving) return st;
    replies.clear();
    return exchange(lines, expectedLines, replies, stillArriving);
}

int SCPIHandler::query(const std::string& command, std::string& reply) {
    LockGuard g(lock_);
    std::vector<std::string> replies;
    const int st = transactWithRetry({command}, 1, replies);
    if (st != status::kOk) return st;
    reply = replies.empty() ? std::string() : replies.front();
    return status::kOk;
}

int SCPIHandler::query(const std::string& command, std::string& reply, std::uint32_t minimumMs) {
    LockGuard g(lock_);
    struct Restore {
        std::uint32_t& field;
        const std::uint32_t value;
        ~Restore() { field = value; }
    } restore{minimumLimitMs_, minimumLimitMs_};
    minimumLimitMs_ = std::max(restore.value, minimumMs);
    return query(command, reply);
}

int SCPIHandler::queryLines(const std::vector<std::string>& queries,
                            std::vector<std::string>& replies) {
    LockGuard g(lock_);
    return transactWithRetry(queries, queries.size(), replies);
}

int SCPIHandler::queryInt(const std::string& command, std::int64_t& value, std::int64_t min,
                          std::int64_t max) {
    std::string reply;
    const int st = query(command, reply);
    if (st != status::kOk) return st;
    const auto number = readLeadingInteger(reply);
    if (!number || *number < min || *number > max) return invalidReply(reply);
    value = *number;
    return status::kOk;
}

int SCPIHandler::queryReal(const std::string& command, double& value) {
    std::string reply;
    const int st = query(command, reply);
    if (st != status::kOk) return st;
    const auto number = readLeadingReal(reply);
    if (!number) return invalidReply(reply);
    value = *number;
    return status::kOk;
}

int SCPIHandler::queryToken(const std::string& command, std::span<const std::string_view> words,
                            std::size_t& index) {
    std::string reply;
    const int st = query(command, reply);
    if (st != status::kOk) return st;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (equalsIgnoringCase(reply, words[i])) {
            index = i;
            return status::kOk;
        }
    }
    return invalidReply(reply);
}

int SCPIHandler::sendCommand(const std::string& command) {
    return sendCommands({command});
}

int SCPIHandler::sendCommands(const std::vector<std::string>& commands) {
    LockGuard g(lock_);
    for (std::size_t first = 0; first < commands.size(); first += kBatchSize) {
        const std::size_t last = std::min(commands.size(), first + kBatchSize);
        const std::vector<std::string> batch(commands.begin() + static_cast<long>(first),
                                             commands.begin() + static_cast<long>(last));
        const int st = sendCheckedBatch(batch);
        if (st != status::kOk) return st;
    }
    return status::kOk;
}

int SCPIHandler::sendCheckedBatch(const std::vector<std::string>& commands) {
    LockGuard g(lock_);
    std::vector<std::string> lines;
    lines.reserve(1 + 2 * commands.size());
    lines.push_back("*CLS");
    for (const auto& c : commands) {
        lines.push_back(c);
        lines.push_back("SYST:ERR?");
    }
    std::vector<std::string> replies;
    const int st = transactWithRetry(lines, commands.size(), replies);
    if (st != status::kOk) return st;
    if (replies.size() != commands.size()) return status::kInvalidResponse;

    int result = status::kOk;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const auto entry = readErrorQueueLine(replies[i]);
        if (!entry) return status::kInvalidResponse;
        if (entry->code == 0) continue;
        result = entry->code;
        recordError(result, commands[i] + " => " + std::string(entry->text));
    }
    return result;
}

void SCPIHandler::drainInput() {
    LockGuard g(lock_);
    transport_->drain(timeLimitMs());
}

int SCPIHandler::readUntilNoError(const std::string& command, std::string& out) {
    LockGuard g(lock_);
    const std::vector<std::string> lines{"*CLS", command, "SYST:ERR?"};
    const std::uint32_t limit = timeLimitMs();
    transport_->drain(limit);
    traceSent(lines);
    const int sent = transport_->sendBulk(buildMessage(lines), limit);
    if (sent != status::kOk) {
        recordExchangeFailure(sent, lines, limit, 0);
        return sent;
    }
    const std::size_t base = out.size();
    bool rejected = false;
    const int st = collectUntilNoError(command, limit, base, out, rejected);
    traceReceived(std::string_view(out).substr(base));
    if (rejected) return st; // the instrument's own error, recorded with its text
    if (st == status::kInvalidResponse && out.size() - base <= replyLimit_)
        diagnostics_.detail(command + ": reply of " + std::to_string(out.size() - base) +
                            " bytes, too short for a log");
    else if (st != status::kOk)
        recordExchangeFailure(st, lines, limit, out.size() - base);
    return st;
}

int SCPIHandler::collectUntilNoError(const std::string& command, std::uint32_t limit,
                                     std::size_t base, std::string& out, bool& rejected) {
    const std::uint32_t start = tickCount();
    const std::uint32_t quiet = std::max<std::uint32_t>(limit, 1);
    // The reply's complete lines, counted as they arrive, until the first
    // one has been judged: only a reply that is one line can be a rejection.
    ReplyLineCounter lines;
    bool firstLineJudged = false;
    for (;;) {
        // Silence for a whole time limit ends the collection, and so does a
        // reply slower overall than the time limit plus kLongReplyMsPerByte
        // for each byte received: a live instrument, even on the slowest
        // link, stays far within that, a peer that trickles does not.
        const std::uint64_t received = out.size() - base;
        const std::uint64_t allowed =
            std::min<std::uint64_t>(quiet + received * kLongReplyMsPerByte, 0xFFFFFFFFu);
        const std::uint32_t elapsed = tickCount() - start;
        if (elapsed >= allowed) return status::kTimeout;
        const std::size_t before = out.size();
        const int st = transport_->receive(
            static_cast<std::uint32_t>(std::min<std::uint64_t>(allowed - elapsed, quiet)), out);
        if (st != status::kOk) return st;
        if (out.size() == before) continue;
        // Look for the no-error line only where it can newly complete.
        const std::size_t from =
            std::max(base, before >= kNoErrorEnd.size() ? before - kNoErrorEnd.size() + 1 : 0);
        if (out.find(kNoErrorEnd, from) != std::string::npos)
            return out.size() >= kMinimumLongReply ? status::kOk : status::kInvalidResponse;
        // The instrument rejected the command: its error, the answer to the
        // closing "SYST:ERR?", is all that came. An error-shaped line after
        // other lines, or one that is not negative, is data.
        if (!firstLineJudged) {
            lines.feed(out.data() + before, out.size() - before);
            if (lines.lines() > 0) {
                firstLineJudged = true;
                const auto rejection = lines.lines() == 1 && !lines.pending()
                                           ? rejectionOf(std::string_view(out).substr(base))
                                           : std::nullopt;
                if (rejection) {
                    recordError(rejection->code, command + " => " + rejection->text);
                    rejected = true;
                    return rejection->code;
                }
            }
        }
        if (out.size() - base > replyLimit_) return status::kInvalidResponse;
    }
}

} // namespace korda32ex
