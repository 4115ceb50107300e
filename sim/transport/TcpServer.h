// The virtual instrument's TCP/IP interface: a server on loopback (or on every
// interface) that serves each connection with its own session.
#pragma once

#include "state/Instrument.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace korda::sim {

// Writes a reply to a byte stream, applying the instrument's transport faults.
// write(data, length) returns false when the stream failed. Returns false when
// the connection must end (failure or injected disconnect).
class FaultyWriter {
  public:
    explicit FaultyWriter(Instrument& instrument) : instrument_(instrument) {}
    template <class Write> bool write(const std::string& reply, Write&& writeBytes);

  private:
    Instrument& instrument_;
    long written_ = 0;
};

// Serves each connection on a thread of its own, up to a limit of open
// connections; one beyond it, or one whose thread cannot start, is closed at
// once. A reply waits for its peer to take it for as long as the server runs
// and the connection is wanted, so a peer that never reads holds up nothing
// but itself.
class TcpServer {
  public:
    static constexpr std::size_t kDefaultConnectionLimit = 256;

    // Listens on port (0 = any free port) and starts serving at once.
    TcpServer(Instrument& instrument, std::uint16_t port = 0, bool loopbackOnly = true);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    bool listening() const { return listener_ != -1; }
    std::uint16_t port() const { return port_; }
    // Connections served so far (not those closed at once).
    int connectionsAccepted() const { return accepted_.load(); }
    void setConnectionLimit(std::size_t limit) { connectionLimit_ = limit; }
    // Threads of connections not yet joined: those still served, and those
    // ended within the last poll interval.
    std::size_t connectionThreads();
    // Closes every open connection (the listener stays).
    void dropConnections();
    void stop();

  private:
    // A connection's thread; done is set when its connection has ended.
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    // Serves an accepted connection on a new thread, or closes it.
    void admit(std::intptr_t socket);
    // Joins the threads of connections that have ended.
    void reapEnded();
    void serve(std::intptr_t socket);

    Instrument& instrument_;
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> running_{true};
    std::atomic<int> accepted_{0};
    std::atomic<std::size_t> connectionLimit_{kDefaultConnectionLimit};
    std::atomic<unsigned> dropGeneration_{0};
    std::thread acceptThread_;
    std::mutex threadsMutex_;
    std::list<Connection> connections_;
};

template <class Write> bool FaultyWriter::write(const std::string& reply, Write&& writeBytes) {
    const Faults f = instrument_.faults();
    if (f.silent || reply.empty()) return true;
    std::string out = instrument_.takeGarbage() + reply;
    if (f.replyDelayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(f.replyDelayMs));
    }
    if (f.disconnectAfterBytes >= 0) {
        const long room = f.disconnectAfterBytes - written_;
        if (room <= 0) return false;
        if (static_cast<long>(out.size()) >= room) {
            writeBytes(out.data(), static_cast<std::size_t>(room));
            written_ += room;
            return false;
        }
    }
    written_ += static_cast<long>(out.size());
    return writeBytes(out.data(), out.size());
}

} // namespace korda::sim
