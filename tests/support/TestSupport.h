// Shared test helpers: a virtual instrument on loopback opened through the
// exported interface, and a scripted peer that replays exact bytes.
#pragma once

#include "Instrument.h"
#include "TcpServer.h"
#include "korda32ext.h"

#include <atomic>
#include <functional>
#include <locale>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace korda::test {

std::string errorString(int code);

// Calls f(bcn, &value) with value first set to seed; returns the status and
// what value holds afterwards.
template <class F> std::pair<int, int> statusAndValue(F f, int bcn, int seed = -1) {
    int value = seed;
    const int status = f(bcn, &value);
    return {status, value};
}

// Polls predicate every few milliseconds until it holds or boundMs have
// passed; returns whether it held. For what another thread or process
// brings about in its own time.
bool waitUntil(const std::function<bool()>& predicate, unsigned boundMs);

// Writes an ASCII text into a 16-bit record text field.
template <std::size_t N> void setText(VmrChar16 (&field)[N], const std::u16string& text) {
    std::size_t i = 0;
    for (; i < text.size() && i + 1 < N; ++i)
        field[i] = static_cast<VmrChar16>(text[i]);
    field[i] = 0;
}

// The answers of the virtual instrument to the queries of the settings that
// dlxVmrConfigGet's capture changes and must put back.
std::map<std::string, std::string> captureTouched(sim::Instrument& instrument);

// Runs one line on the instrument and returns its first reply line ("" when none).
std::string ask(sim::Instrument& instrument, const std::string& line);

// A short library time limit for tests of timeouts: sets the library's test
// hook KORDA_TEST_TIMEOUT_MS for the scope, so that a dlxVmrLibInit made
// within it starts with a limit of ms milliseconds instead of whole seconds.
class ShortTimeLimit {
  public:
    explicit ShortTimeLimit(unsigned ms = 250);
    ~ShortTimeLimit();
    ShortTimeLimit(const ShortTimeLimit&) = delete;
    ShortTimeLimit& operator=(const ShortTimeLimit&) = delete;
};

// Puts the process (C and C++ global locale) under a decimal-comma locale for
// the scope and restores the previous one; active() is false when the
// machine has none.
class CommaLocale {
  public:
    CommaLocale();
    ~CommaLocale();
    bool active() const { return active_; }

  private:
    std::string previous_;
    std::locale previousGlobal_;
    bool active_ = false;
};

// A virtual instrument served over TCP on loopback, opened as BCN `bcn`
// through dlxVmrLibInit / dlxVmrCCFsetBCN / dlxVmrCommOpen.
class VirtualInstrumentSession {
  public:
    explicit VirtualInstrumentSession(sim::Model model = sim::Model::M7043A, int bcn = 1);
    // The same with the given module in each slot ("" = empty slot).
    VirtualInstrumentSession(sim::Model model, int bcn, const std::vector<std::string>& modules);
    ~VirtualInstrumentSession();
    int openStatus() const { return openStatus_; }
    sim::Instrument& instrument() { return instrument_; }
    sim::TcpServer& server() { return server_; }

  private:
    sim::Instrument instrument_;
    sim::TcpServer server_;
    int bcn_;
    int openStatus_ = 0;
};

// A TCP peer on loopback that records every byte received and answers with
// scripted bytes. The responder sees the text received since its last call
// (complete lines only) and returns what to write back; it runs on the
// peer's thread, so a responder that waits holds its reply back.
class ScriptedPeer {
  public:
    struct Action {
        std::string reply;
        bool closeAfter = false;
        // When not 0, the reply goes out one byte at a time with this pause
        // after each (while the peer runs and the connection takes it).
        unsigned trickleMs = 0;
        // Called once the reply is written.
        std::function<void()> written = {};
        // When set, the reply never ends: text without a line end follows
        // it for as long as this returns true.
        std::function<bool()> endlessWhile = {};
    };
    using Responder = std::function<Action(const std::string& received, int connection)>;

    explicit ScriptedPeer(Responder responder);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    std::uint16_t port() const { return port_; }
    // Every message handed to the responder, in order.
    std::vector<std::string> messages();
    int connections() const { return connections_.load(); }
    // The peer closes its end of the connection before it reads again.
    void hangUp() { hangUp_ = true; }

  private:
    void run();
    void drop();
    void writeAll(const std::string& text);
    void stream();
    Responder responder_;
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> running_{true};
    std::atomic<bool> hangUp_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::string> messages_;
    // The connection and its endless reply: the peer's thread only.
    std::intptr_t current_ = -1;
    std::function<bool()> endlessWhile_;
    std::thread thread_;
};

// A raw client of a loopback TCP server: writes text, reads lines.
class LoopbackClient {
  public:
    explicit LoopbackClient(std::uint16_t port);
    ~LoopbackClient() { close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;
    // Writes text; gives up when the server takes nothing for 200 ms.
    void send(const std::string& text);
    // The next count lines, line ends included, arriving within boundMs;
    // fewer when the server ends the connection or the bound passes.
    std::string lines(std::size_t count, unsigned boundMs = 5000);
    // Sends text and returns the next `replies` lines.
    std::string ask(const std::string& text, std::size_t replies = 1);
    // Whether the server ends the connection within boundMs (what arrives
    // meanwhile is dropped).
    bool endedWithin(unsigned boundMs);
    void close();

  private:
    std::intptr_t socket_ = -1;
    std::string received_;
};

// Opens BCN 1 as TCP/IP to 127.0.0.1:port after dlxVmrLibInit.
int openLoopback(int bcn, std::uint16_t port, int model = DLXVMR_MODEL_7043A);

// A record text up to its terminator, characters beyond ASCII as '?'.
std::string text16(const VmrChar16* units);

// Splits "a\r\nb\r\n" into lines without their line ends.
std::vector<std::string> lines(const std::string& message);

} // namespace korda::test
