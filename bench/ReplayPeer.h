// A replay peer for benchmarks: a loopback TCP peer that answers every query
// at once from bytes built beforehand, so that a measurement sees the client
// alone.
#pragma once

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korda::bench {

// Answers each query line at once from bytes built beforehand: a table of
// query -> reply, "DATA:POIN?" with the scan count (and a fresh start of the
// scans), and each "DATA:READ?" with the next pre-built scan line. With
// stream, "DATA:POIN?" answers the scans not yet read and starts nothing
// again: the scans go out once, as from an instrument. Lines not in the
// table (setting commands) get nothing. One thread per connection,
// non-blocking, reading on while its replies wait to go out.
class ReplayPeer {
  public:
    ReplayPeer(std::map<std::string, std::string> table, std::string scans, bool stream = false)
        : table_(std::move(table)), scans_(std::move(scans)), stream_(stream) {
        for (std::size_t at = 0; at < scans_.size();) {
            const std::size_t end = scans_.find('\n', at) + 1;
            lineStarts_.push_back(at);
            at = end;
        }
        lineStarts_.push_back(scans_.size());
        poin_ = std::to_string(lineStarts_.size() - 1) + "\r\n";
        // port() is 0 when the peer cannot listen.
        int port = 0;
        listener_ = korda::test::listenLoopback(128, port);
        port_ = static_cast<std::uint16_t>(port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~ReplayPeer() {
        running_ = false;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        acceptor_.join();
        for (auto& t : connections_)
            t.join();
    }
    std::uint16_t port() const { return port_; }
    // Records every message received from now on (one per read).
    void record(bool on) {
        std::lock_guard<std::mutex> g(mutex_);
        recording_ = on;
    }
    std::vector<std::string> recorded() {
        std::lock_guard<std::mutex> g(mutex_);
        return recorded_;
    }

  private:
    struct Piece {
        const char* data;
        std::size_t size;
    };

    void acceptLoop() {
        while (running_) {
            const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) break;
            const int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::fcntl(c, F_SETFL, ::fcntl(c, F_GETFL) | O_NONBLOCK);
            connections_.emplace_back([this, c] { serve(c); });
        }
    }

    void answer(std::string_view line, std::vector<Piece>& out, std::size_t& next,
                std::deque<std::string>& made) {
        auto add = [&](const char* p, std::size_t n) {
            if (!out.empty() && out.back().data + out.back().size == p)
                out.back().size += n; // contiguous scan lines go out as one piece
            else
                out.push_back({p, n});
        };
        if (line == "DATA:READ?") {
            if (next + 1 < lineStarts_.size()) {
                add(scans_.data() + lineStarts_[next], lineStarts_[next + 1] - lineStarts_[next]);
                ++next;
            }
            return;
        }
        if (line == "DATA:POIN?" && stream_) {
            made.push_back(std::to_string(lineStarts_.size() - 1 - next) + "\r\n");
            add(made.back().data(), made.back().size());
            return;
        }
        if (line == "DATA:POIN?") {
            next = 0;
            add(poin_.data(), poin_.size());
            return;
        }
        const auto it = table_.find(std::string(line));
        if (it != table_.end()) add(it->second.data(), it->second.size());
    }

    void serve(int c) {
        std::vector<char> buffer(1 << 16);
        std::string pending;
        std::vector<Piece> out;
        std::deque<std::string> made; // replies made for this connection, until sent
        std::size_t first = 0, offset = 0, next = 0;
        while (running_) {
            const bool writing = first < out.size();
            pollfd p{c, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, 200) < 0) break;
            if ((p.revents & POLLOUT) != 0 && writing) {
                const Piece& piece = out[first];
                const ssize_t n = ::send(c, piece.data + offset, piece.size - offset, MSG_NOSIGNAL);
                if (n > 0 && (offset += static_cast<std::size_t>(n)) == piece.size) {
                    offset = 0;
                    if (++first == out.size()) out.clear(), made.clear(), first = 0;
                }
            }
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = ::recv(c, buffer.data(), buffer.size(), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
            if (n < 0) continue;
            {
                std::lock_guard<std::mutex> g(mutex_);
                if (recording_) recorded_.emplace_back(buffer.data(), static_cast<std::size_t>(n));
            }
            pending.append(buffer.data(), static_cast<std::size_t>(n));
            std::size_t at = 0;
            for (;;) {
                const std::size_t end = pending.find('\n', at);
                if (end == std::string::npos) break;
                std::string_view line(pending.data() + at, end - at);
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                answer(line, out, next, made);
                at = end + 1;
            }
            pending.erase(0, at);
        }
        ::close(c);
    }

    std::map<std::string, std::string> table_;
    std::string scans_;
    bool stream_;
    std::vector<std::size_t> lineStarts_;
    std::string poin_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> running_{true};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
    std::mutex mutex_;
    bool recording_ = false;
    std::vector<std::string> recorded_;
};

// Scan lines of `readings` readings in the instrument's form, each
// different, with CR LF; with stepMs, time stamps that step on by that much
// from midnight.
inline std::string buildScanReply(std::size_t scans, int readings, std::size_t stepMs = 0) {
    std::string text;
    char field[64];
    for (std::size_t i = 0; i < scans; ++i) {
        for (int r = 0; r < readings; ++r) {
            if (r % 7 == 3) {
                text += "9.900000e+37,"; // an overload, as the instrument words it
                continue;
            }
            const double v = static_cast<double>(i % 977) * 0.731 - r * 1.25;
            std::snprintf(field, sizeof field, "%+.6E,", v);
            text += field;
        }
        const std::size_t ms = i * stepMs;
        if (stepMs > 0)
            std::snprintf(field, sizeof field, "0,2026,12,06,%02zu,%02zu,%02zu.%03zu\r\n",
                          ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        else
            std::snprintf(field, sizeof field, "0,2026,12,06,%02zu,%02zu,%02zu.%03zu\r\n",
                          (i / 3600) % 24, (i / 60) % 60, i % 60, (i * 7) % 1000);
        text += field;
    }
    return text;
}

} // namespace korda::bench
