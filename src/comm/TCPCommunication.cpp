#include "comm/TCPCommunication.h"

#include "core/Status.h"

#include <algorithm>
#include <cstring>

namespace korda32ex {

using namespace platform;

TCPCommunication::TCPCommunication(int port, const std::array<std::uint8_t, 4>& ipAddress,
                                   Diagnostics diagnostics)
    : port_(port), endpoint_(std::to_string(ipAddress[0]) + "." + std::to_string(ipAddress[1]) +
                             "." + std::to_string(ipAddress[2]) + "." +
                             std::to_string(ipAddress[3]) + ":" + std::to_string(port)),
      diagnostics_(std::move(diagnostics)) {}

void TCPCommunication::recordDetail(const char* what, const std::string& reason) const {
    diagnostics_.detail(std::string(what) + " " + endpoint_ + ": " + reason);
}

void TCPCommunication::recordSystemError(const char* what) const {
    recordDetail(what, systemErrorText(lastSystemError()));
}

TCPCommunication::~TCPCommunication() {
    if (isOpen()) close();
}

int TCPCommunication::open(std::uint32_t timeoutMs) {
    if (isOpen()) return status::kCannotOpenSocket;

    const std::string dotted = endpoint_.substr(0, endpoint_.find(':'));
    std::uint32_t address = 0;
    if (!parseIPv4(dotted.c_str(), address)) {
        recordDetail("connect", "not an IPv4 address");
        return status::kCannotOpenSocket;
    }

    const SocketHandle s = socketCreate();
    if (s == kInvalidSocket) {
        recordSystemError("socket for");
        return status::kCannotOpenSocket;
    }
    // A failed open never keeps its socket, so that a later open can succeed.
    // The reason is read before the close can replace it.
    auto fail = [this, s](int code) {
        recordSystemError("connect");
        socketClose(s);
        return code;
    };
    auto succeed = [this, s] {
        socket_ = s;
        if (diagnostics_.tracing()) diagnostics_.trace(TraceKind::Event, "connect " + endpoint_);
        return status::kOk;
    };
    if (!socketSetNonBlocking(s)) return fail(status::kCannotOpenSocket);

    switch (socketConnect(s, address, static_cast<std::uint16_t>(port_))) {
    case ConnectStart::Connected:
        return succeed();
    case ConnectStart::Refused:
        return fail(status::kConnectionRefused);
    case ConnectStart::Failed:
        return fail(status::kSocketRead);
    case ConnectStart::InProgress:
        break;
    }
    switch (socketWaitConnected(s, timeoutMs)) {
    case WaitResult::Ready:
        return succeed();
    case WaitResult::Timeout:
        recordDetail("connect", "no answer within " + std::to_string(timeoutMs) + " ms");
        socketClose(s);
        return status::kTimeout;
    case WaitResult::Exception:
        return fail(status::kConnectionRefused);
    case WaitResult::Failed:
        break;
    }
    return fail(status::kWinsockGeneral);
}

int TCPCommunication::close() {
    if (!isOpen()) return status::kWinsockGeneral;
    socketClose(socket_);
    socket_ = kInvalidSocket;
    return status::kOk;
}

void TCPCommunication::reopen(std::uint32_t timeoutMs) {
    if (isOpen()) close();
    if (diagnostics_.tracing()) diagnostics_.trace(TraceKind::Event, "reconnect " + endpoint_);
    open(timeoutMs); // the result is not used: the next exchange tries again
}

int TCPCommunication::writeAll(const std::string& text, std::uint32_t timeoutMs) {
    if (!isOpen()) {
        const int st = open(kSendReconnectMs);
        if (st != status::kOk) return st;
    }
    const std::uint32_t start = tickCount();
    std::size_t done = 0;
    while (done < text.size()) {
        const long n = socketSend(socket_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == kIoError) {
            recordSystemError("send to");
            return status::kSocketSend;
        }
        // The send buffer is full: wait for room within the exchange's limit.
        const std::uint32_t elapsed = tickCount() - start;
        if (elapsed >= timeoutMs) return status::kTimeout;
        const WaitResult w = socketWaitWritable(socket_, timeoutMs - elapsed);
        if (w == WaitResult::Timeout) return status::kTimeout;
        if (w != WaitResult::Ready) {
            recordSystemError("send to");
            return status::kSocketSend;
        }
    }
    return status::kOk;
}

int TCPCommunication::send(const std::string& text, std::uint32_t timeoutMs) {
    return writeAll(text, timeoutMs);
}

int TCPCommunication::sendBulk(const std::string& text, std::uint32_t timeoutMs) {
    return writeAll(text, timeoutMs);
}

int TCPCommunication::receive(std::uint32_t timeoutMs, std::string& text) {
    return read(timeoutMs, text, false);
}

bool TCPCommunication::drain(std::uint32_t limitMs) {
    return drainBy(limitMs, diagnostics_,
                   [this](std::string& chunk) { read(drainLookMs(), chunk, true); });
}

int TCPCommunication::read(std::uint32_t timeoutMs, std::string& text, bool keepOnSilence) {
    if (!isOpen()) {
        recordDetail("receive from", "not connected");
        return status::kSocketRead;
    }
    const std::uint32_t limit = std::max<std::uint32_t>(timeoutMs, 1);
    switch (socketWaitReadable(socket_, limit)) {
    case WaitResult::Ready:
        break;
    case WaitResult::Timeout:
        // Silence gets a fresh connection for the next exchange.
        if (!keepOnSilence) reopen(timeoutMs);
        return status::kTimeout;
    default:
        recordSystemError("receive from");
        close();
        return status::kSocketRead;
    }

    // Read everything that has arrived, in large chunks. NUL bytes are
    // dropped: reading byte by byte up to the first NUL keeps exactly the rest.
    // A peer that never pauses cannot hold the read: it ends at the limit, or
    // after kMaxReceiveBytes, and the caller decides whether to read on.
    const std::uint32_t start = tickCount();
    char* const buffer = buffer_.get();
    std::size_t got = 0;
    for (;;) {
        const long n = socketRecv(socket_, buffer, kChunkBytes);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            const char* p = buffer;
            const char* end = buffer + n;
            while (p < end) {
                const char* nul = static_cast<const char*>(
                    std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
                const char* stop = nul ? nul : end;
                text.append(p, stop);
                p = nul ? nul + 1 : end;
            }
            // A read that did not fill the buffer took all there was: asking
            // again would only hear "nothing more" at the cost of a call.
            if (static_cast<std::size_t>(n) < kChunkBytes || got >= kMaxReceiveBytes ||
                tickCount() - start >= limit)
                return status::kOk;
            continue;
        }
        if (n == kIoWouldBlock) return status::kOk;
        if (n == kIoClosed) {
            // The peer closed the stream. Bytes that came first are handed
            // over; the next read sees the end again with nothing new.
            if (got > 0) return status::kOk;
            // The reason is recorded after the reconnect, which may record
            // its own failure.
            reopen(timeoutMs);
            recordDetail("receive from", "the instrument closed the connection");
            return status::kSocketRead;
        }
        const std::string reason = systemErrorText(lastSystemError());
        reopen(timeoutMs);
        recordDetail("receive from", reason);
        return status::kSocketRead;
    }
}

} // namespace korda32ex
