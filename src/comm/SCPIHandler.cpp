#include "comm/SCPIHandler.h"

#include "frontend/GlobalData.h"
#include "frontend/StatusCodes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace korda32ex {

using platform::LockGuard;
using platform::tickCount;

namespace {

const std::string kLineEnd = "\r\n";
const std::string kNoErrorLine = "0,\"No error\"\r";

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

// Reads a decimal integer the way atoi does, but reports whether there was one.
bool readInteger(const std::string& text, long& value) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* digits = p + ((*p == '+' || *p == '-') ? 1 : 0);
    if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
    value = std::strtol(p, nullptr, 10);
    return true;
}

// True when text ends with a complete error-queue line of an error: a
// number other than 0, a comma and a quoted text. The text is kept without its
// closing quotation mark, as the setting commands record it.
bool endsWithErrorLine(std::string_view text, long& code, std::string& message) {
    if (text.empty() || text.back() != '\n') return false;
    text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::size_t start = text.find_last_of('\n');
    const std::string_view line = start == std::string_view::npos ? text : text.substr(start + 1);
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || line.size() < comma + 3 || line[comma + 1] != '"' ||
        line.back() != '"')
        return false;
    const std::string number(line.substr(0, comma));
    if (number.find_first_not_of("+-0123456789 ") != std::string::npos ||
        !readInteger(number, code) || code == 0)
        return false;
    message.assign(line.substr(comma + 1, line.size() - comma - 2));
    return true;
}

} // namespace

void ReplyLineCounter::feed(const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const char c = data[i];
        if (c == '\r') continue;
        if (c == '\n') {
            if (pending_) ++lines_;
            pending_ = false;
        } else {
            pending_ = true;
        }
    }
}

std::vector<std::string> splitReplyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            if (!current.empty()) lines.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

SCPIHandler::SCPIHandler(std::shared_ptr<CommunicationInterface> transport)
    : transport_(std::move(transport)) {}

SCPIHandler::~SCPIHandler() = default;

void SCPIHandler::drainInput() {
    drainPending();
}

bool SCPIHandler::drainPending() {
    LockGuard g(lock_);
    // Stops at the first read that delivers nothing, whatever its status, and
    // never spends more than the library timeout in total.
    const std::uint32_t limit = libraryTimeoutMs();
    const std::uint32_t start = tickCount();
    for (;;) {
        std::string chunk;
        transport_->receive(kDrainReadMs, chunk);
        if (chunk.empty()) return false;
        if (tickCount() - start > limit) return true; // still arriving
    }
}

int SCPIHandler::transact(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies) {
    bool stillArriving = false;
    return exchange(lines, expectedLines, replies, stillArriving);
}

int SCPIHandler::exchange(const std::vector<std::string>& lines, std::size_t expectedLines,
                          std::vector<std::string>& replies, bool& stillArriving) {
    LockGuard g(lock_);
    stillArriving = false;
    const std::uint64_t perLines = std::uint64_t{kMillisecondsPerLine} * lines.size();
    const std::uint64_t t =
        std::max<std::uint64_t>({libraryTimeoutMs(), perLines, minimumLimitMs_});
    const std::uint32_t limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(t, 0xFFFFFFFFu));

    // One deadline for the whole exchange: the drain, the write and the reply.
    // (Unsigned differences of the tick count stay right across its wrap.)
    const std::uint32_t start = tickCount();
    const std::string message = buildMessage(lines);
    stillArriving = drainPending();
    const int sent = transport_->send(message, limit);
    if (sent != status::kOk) return sent;

    std::string collected;
    if (expectedLines > 0) {
        ReplyLineCounter counter;
        while (counter.lines() < expectedLines) {
            const std::uint32_t elapsed = tickCount() - start;
            if (elapsed > limit) return status::kTimeout;
            const std::size_t before = collected.size();
            const int st = transport_->receive(limit - elapsed, collected);
            stillArriving = st == status::kOk && collected.size() > before;
            if (st != status::kOk) return st;
            counter.feed(collected.data() + before, collected.size() - before);
            if (collected.size() > kLongReplyLimit) return status::kInvalidResponse;
        }
    }
    replies = splitReplyLines(collected);
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

int SCPIHandler::queryJoined(const std::vector<std::string>& queries, std::string& out) {
    LockGuard g(lock_);
    std::vector<std::string> replies;
    const int st = queryLines(queries, replies);
    if (st != status::kOk) return st;
    for (const auto& r : replies) {
        out += r;
        out += '\n';
    }
    return status::kOk;
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
        const std::string& line = replies[i];
        // The number, then the quoted text, which may itself hold commas.
        const auto comma = line.find(',');
        if (comma == std::string::npos) return status::kInvalidResponse;
        const std::string number = line.substr(0, comma);
        std::string message = line.substr(comma + 1);
        long code = 0;
        if (!readInteger(number, code) || message.empty()) return status::kInvalidResponse;
        if (code == 0) continue;
        result = static_cast<int>(code);
        message.pop_back(); // the closing quotation mark
        recordErrorMessage(result, commands[i] + " => " + message);
    }
    return result;
}

int SCPIHandler::readUntilNoError(const std::string& command, std::string& out) {
    LockGuard g(lock_);
    const std::string message = "*CLS" + kLineEnd + command + kLineEnd + "SYST:ERR?" + kLineEnd;
    drainInput();
    const int sent = transport_->sendRaw(message);
    if (sent != status::kOk) return sent;
    const std::size_t base = out.size();
    for (;;) {
        const std::size_t before = out.size();
        const int st = transport_->receive(libraryTimeoutMs(), out);
        if (st != status::kOk) return st;
        // Look for the no-error line only where it can newly complete.
        const std::size_t from =
            std::max(base, before >= kNoErrorLine.size() ? before - kNoErrorLine.size() + 1 : 0);
        if (out.find(kNoErrorLine, from) != std::string::npos)
            return out.size() >= kMinimumLongReply ? status::kOk : status::kInvalidResponse;
        // The instrument rejected the command: its error, the answer to the
        // closing "SYST:ERR?", is the last line, and no no-error line follows.
        long code = 0;
        std::string text;
        if (out.size() > before &&
            endsWithErrorLine(std::string_view(out).substr(base), code, text)) {
            recordErrorMessage(static_cast<int>(code), command + " => " + text);
            return static_cast<int>(code);
        }
        if (out.size() - base > kLongReplyLimit) return status::kInvalidResponse;
    }
}

} // namespace korda32ex
