#include "TcpServer.h"

#include "platform/platform.h"

#include <algorithm>
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
        if (s != pf::kInvalidSocket) admit(s);
    }
}

void TcpServer::admit(std::intptr_t s) {
    std::lock_guard<std::mutex> g(threadsMutex_);
    const auto open = std::count_if(connections_.begin(), connections_.end(),
                                    [](const Connection& c) { return !c.done; });
    if (static_cast<std::size_t>(open) >= connectionLimit_) {
        pf::socketClose(s);
        return;
    }
    // Without memory or a thread for it this connection ends; the server goes on.
    try {
        connections_.emplace_back();
    } catch (...) {
        pf::socketClose(s);
        return;
    }
    Connection& c = connections_.back();
    // Counted before its thread can answer anything on it.
    ++accepted_;
    try {
        c.thread = std::thread([this, s, &c] {
            serve(s);
            c.done = true;
        });
    } catch (...) {
        --accepted_;
        connections_.pop_back();
        pf::socketClose(s);
        return;
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
    const auto wanted = [&] { return running_ && generation == dropGeneration_; };
    auto writeBytes = [&](const char* data, std::size_t length) {
        for (std::size_t done = 0; done < length;) {
            if (!wanted()) return false;
            const long n = pf::socketSend(s, data + done, length - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n != pf::kIoWouldBlock ||
                     pf::socketWaitWritable(s, kPollMs) == pf::WaitResult::Failed)
                return false;
        }
        return true;
    };
    char buffer[16384];
    while (wanted()) {
        std::uint32_t look = kPollMs;
        if (session.waiting()) {
            const std::int64_t left = session.waitMs();
            if (left == 0) {
                if (!writer.write(session.resume(), writeBytes)) break;
                continue;
            }
            look = static_cast<std::uint32_t>(std::min<std::int64_t>(left, kPollMs));
            if (session.inputFull()) {
                pf::sleepMs(look);
                continue;
            }
        }
        const auto ready = pf::socketWaitReadable(s, look);
        if (ready == pf::WaitResult::Failed) break;
        if (ready != pf::WaitResult::Ready) continue;
        const long n = pf::socketRecv(s, buffer, sizeof buffer);
        if (n == pf::kIoWouldBlock) continue;
        if (n <= 0) break;
        if (!writer.write(session.feed(buffer, static_cast<std::size_t>(n)), writeBytes)) break;
    }
    pf::socketClose(s);
}

} // namespace korda::sim
