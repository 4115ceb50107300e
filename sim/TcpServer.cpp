#include "TcpServer.h"

#include "platform/platform.h"

#include <chrono>

namespace korda::sim {

namespace pf = korda32ex::platform;

namespace {
constexpr std::uint32_t kPollMs = 20;
}

TcpServer::TcpServer(Instrument& instrument, std::uint16_t port, bool loopbackOnly)
    : instrument_(instrument) {
    pf::netStartup();
    listener_ = pf::socketListen(port, loopbackOnly, port_);
    if (listener_ == pf::kInvalidSocket) return;
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TcpServer::~TcpServer() {
    stop();
}

void TcpServer::stop() {
    if (!running_.exchange(false)) return;
    if (acceptThread_.joinable()) acceptThread_.join();
    std::list<Connection> connections;
    {
        std::lock_guard<std::mutex> g(threadsMutex_);
        connections.swap(connections_);
    }
    for (auto& c : connections)
        if (c.thread.joinable()) c.thread.join();
    if (listener_ != pf::kInvalidSocket) pf::socketClose(listener_);
    listener_ = pf::kInvalidSocket;
}

void TcpServer::dropConnections() {
    ++dropGeneration_;
}

void TcpServer::reapEnded() {
    std::lock_guard<std::mutex> g(threadsMutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join();
        it = connections_.erase(it);
    }
}

void TcpServer::acceptLoop() {
    while (running_) {
        reapEnded();
        if (pf::socketWaitReadable(listener_, kPollMs) != pf::WaitResult::Ready) continue;
        const auto s = pf::socketAccept(listener_);
        if (s == pf::kInvalidSocket) continue;
        ++accepted_;
        std::lock_guard<std::mutex> g(threadsMutex_);
        Connection& c = connections_.emplace_back();
        c.thread = std::thread([this, s, &c] {
            serve(s);
            c.done = true;
        });
    }
}

std::size_t TcpServer::connectionThreads() {
    std::lock_guard<std::mutex> g(threadsMutex_);
    return connections_.size();
}

void TcpServer::serve(std::intptr_t s) {
    Session session(instrument_);
    FaultyWriter writer(instrument_);
    const unsigned generation = dropGeneration_;
    auto writeBytes = [s](const char* data, std::size_t length) {
        std::size_t done = 0;
        while (done < length) {
            const long n = pf::socketSend(s, data + done, length - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n == pf::kIoWouldBlock) {
                if (pf::socketWaitWritable(s, 1000) == pf::WaitResult::Failed) return false;
            } else {
                return false;
            }
        }
        return true;
    };
    char buffer[4096];
    bool open = true;
    while (open && running_ && generation == dropGeneration_) {
        if (pf::socketWaitReadable(s, kPollMs) != pf::WaitResult::Ready) continue;
        for (;;) {
            const long n = pf::socketRecv(s, buffer, sizeof buffer);
            if (n == pf::kIoWouldBlock) break;
            if (n <= 0) {
                open = false;
                break;
            }
            const std::string reply = session.feed(buffer, static_cast<std::size_t>(n));
            if (!writer.write(reply, writeBytes)) {
                open = false;
                break;
            }
        }
    }
    pf::socketClose(s);
}

} // namespace korda::sim
