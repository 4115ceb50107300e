// Transport faults swept over the exported functions that talk to an
// instrument. The peer is the virtual instrument's own dialogue behind a
// connection this test controls, so every function gets its true replies,
// and the peer can cut, silence or spoil them at any byte:
// - the connection closed after k reply bytes, for k across the whole reply
//   of the call (every k in the slow run, the edges in the normal suite);
// - silence, garbage and NUL bytes, a reply without its line end;
// - a reply that never ends, a reply that comes after the time limit, a peer
//   that goes away between calls;
// - a USB virtual COM port (the virtual instrument's own pseudo-terminal)
//   unplugged while a call waits for its reply.
// Each must give a negative status within the time limit (with a margin that
// only proves the call did not hang), leave no descriptor or thread behind,
// and leave the BCN usable: the next call works, or fails cleanly.
//
// The library runs with a short time limit (KORDA_TEST_TIMEOUT_MS).
#include "InstrumentCalls.h"
#include "ProcessUsage.h"
#include "PtyServer.h"
#include "SlowTests.h"
#include "TestSupport.h"
#include "korda32ext.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <cstdlib>
#endif

using namespace korda;
namespace pf = korda32ex::platform;

namespace {

// The library's time limit in these tests.
constexpr std::uint32_t kLimitMs = 120;
// The time every exchange is allowed per line it sends, when that is more.
constexpr std::uint32_t kPerLineMs = 150;
// What a call may take beyond its time limits: only proves it did not hang.
constexpr std::uint32_t kMarginMs = 1500;

enum class Fault { None, CutAfter, Silent, Garbage, NulBytes, NoLineEnd, Late, Endless };

// The virtual instrument's dialogue on a TCP port, with one fault armed at a
// time. A fault applies to the replies of one call; once it has struck (the
// connection cut, a late reply written) the peer answers normally again.
// Garbage, NUL bytes, missing line ends and silence last until re-armed; an
// endless reply streams until re-armed.
class FaultyPeer {
  public:
    FaultyPeer() = default;
    FaultyPeer(const FaultyPeer&) = delete;
    FaultyPeer& operator=(const FaultyPeer&) = delete;

    void arm(Fault fault, long param = 0) {
        std::lock_guard<std::mutex> g(mutex_);
        fault_ = fault;
        param_ = param;
        replies_.clear();
        written = 0;
        ++round_;
        released = false;
    }
    // A cut armed but not made: the replies ended before its position.
    bool cutPending() const {
        std::lock_guard<std::mutex> g(mutex_);
        return fault_ == Fault::CutAfter;
    }
    // Bytes of the reply to each message since the last arm().
    std::vector<long> replies() const {
        std::lock_guard<std::mutex> g(mutex_);
        return replies_;
    }
    // Replies to the messages since the last arm() written; a held reply
    // is released by setting released.
    std::atomic<int> written{0};
    std::atomic<bool> released{false};
    // The peer closes its end between two calls.
    void hangUp() { peer_.hangUp(); }
    std::uint16_t port() const { return peer_.port(); }
    sim::Instrument& instrument() { return instrument_; }

  private:
    test::ScriptedPeer::Action answer(const std::string& message) {
        sim::Session session(instrument_);
        test::ScriptedPeer::Action action;
        std::string& reply = action.reply;
        reply = session.feed(message.data(), message.size());
        long holdMs = 0;
        {
            std::lock_guard<std::mutex> g(mutex_);
            const long before = std::accumulate(replies_.begin(), replies_.end(), 0L);
            switch (fault_) {
            case Fault::None:
                break;
            case Fault::CutAfter: {
                const long room = param_ - before;
                if (room < static_cast<long>(reply.size())) {
                    reply.resize(static_cast<std::size_t>(std::max(room, 0L)));
                    action.closeAfter = true;
                    fault_ = Fault::None;
                }
                break;
            }
            case Fault::Silent:
                reply.clear();
                break;
            case Fault::Garbage:
                for (char& c : reply)
                    if (c != '\r' && c != '\n') c = static_cast<char>('#' + (c & 7));
                break;
            case Fault::NulBytes:
                // NULs between the characters of a reply that is no answer.
                for (std::size_t i = 0; i < reply.size(); ++i)
                    if (reply[i] != '\r' && reply[i] != '\n') reply[i] = i % 2 ? '\0' : '#';
                break;
            case Fault::NoLineEnd:
                std::erase(reply, '\n');
                break;
            case Fault::Late: // held until released, or for the parameter in milliseconds
                if (!reply.empty()) {
                    holdMs = param_;
                    fault_ = Fault::None;
                }
                break;
            case Fault::Endless:
                reply = "7";
                action.endlessWhile = [this] {
                    std::lock_guard<std::mutex> g(mutex_);
                    return fault_ == Fault::Endless;
                };
                break;
            }
            replies_.push_back(static_cast<long>(reply.size()));
        }
        for (long waited = 0; waited < holdMs && !released; waited += 2)
            pf::sleepMs(2);
        action.written = [this, round = round_.load()] {
            if (round == round_) ++written;
        };
        return action;
    }

    sim::Instrument instrument_{sim::Model::M7043A};
    mutable std::mutex mutex_;
    Fault fault_ = Fault::None;
    long param_ = 0;
    std::vector<long> replies_;
    std::atomic<int> round_{0};
    // Last: its thread stops before the state above goes.
    test::ScriptedPeer peer_{[this](const std::string& message, int) { return answer(message); }};
};

// The digital I/O's reply on BCN 1 is held (by arm()) until both rounds of
// the query have given up; then (settled()) it and the answer to the second
// round have arrived. The calls after it get their own answers: the identity
// text, not the digital I/O's number.
void expectLateReplyDiscarded(const std::function<void()>& arm,
                              const std::function<bool()>& settled) {
    char identity[64] = {};
    ASSERT_EQ(dlxVmrOEMIdentityGetA(1, identity, sizeof identity), 1);
    int dio = -1;
    ASSERT_EQ(dlxVmrDIOGet(1, &dio), 1);
    arm();
    int value = -1;
    const std::uint32_t start = pf::tickCount();
    EXPECT_EQ(dlxVmrDIOGet(1, &value), DLXVMR_E_TIMEOUT);
    EXPECT_LT(pf::tickCount() - start, 2 * kPerLineMs + kMarginMs);
    EXPECT_EQ(value, -1);
    ASSERT_TRUE(settled());
    char after[64] = {};
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, after, sizeof after), 1);
    EXPECT_STREQ(after, identity);
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, dio);
}

using test::Call;

const Call& named(const std::vector<Call>& calls, const char* name) {
    return *std::find_if(calls.begin(), calls.end(),
                         [&](const Call& c) { return std::string(c.name) == name; });
}

// The byte positions to cut a reply of `whole` bytes at, made of exchanges
// of the given sizes: every one in the slow run; in the normal suite the
// first and last byte of the first exchange and of the whole.
std::vector<long> cutPositions(const std::vector<long>& exchanges, long whole) {
    std::vector<long> at;
    if (test::slowTests()) {
        for (long k = 0; k < whole; ++k)
            at.push_back(k);
        return at;
    }
    at = {0, std::min(exchanges.front(), whole) - 1, whole - 1};
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    return at;
}

class FaultSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        {
            test::ShortTimeLimit shortLimit(kLimitMs);
            ASSERT_EQ(dlxVmrLibInit(0), 1);
        }
        ASSERT_EQ(test::openLoopback(1, peer.port()), 1);
        // A scan list, scanning every second, for the fetches.
        sim::Instrument& in = peer.instrument();
        sim::setScanChannels(in, {101, 102, 103});
        in.execute("TRIG:TIM 1");
        in.execute("TRIG:COUN 0");
        // Connections and threads that only the first calls set up.
        int value = 0;
        ASSERT_EQ(dlxVmrDIOGet(1, &value), 1);
        fds = openDescriptors();
        tasks = threadCount();
    }
    // No descriptor or thread is left behind by any fault.
    void TearDown() override {
        if (fds != 0) {
            EXPECT_EQ(openDescriptors(), fds);
            EXPECT_EQ(threadCount(), tasks);
        }
        dlxVmrCommClose(1);
        dlxVmrLibExit();
    }

    // Runs the call, checks it fails within the bound, then that the BCN
    // works again.
    void expectCleanFailure(const Call& call, std::uint32_t boundMs, const std::string& what,
                            bool mayTakeTheText = false) {
        const std::uint32_t start = pf::tickCount();
        const int st = call.run();
        const std::uint32_t took = pf::tickCount() - start;
        if (peer.cutPending()) {
            // Fresh readings carry a clock whose fields vary in width: this
            // reply was shorter than the one measured, so nothing was cut.
            ++uncut;
            EXPECT_GT(st, 0) << call.name << ' ' << what;
        } else if (!(mayTakeTheText && call.freeText && st > 0)) {
            EXPECT_LT(st, 0) << call.name << ' ' << what;
        }
        EXPECT_LT(took, boundMs) << call.name << ' ' << what;
        peer.arm(Fault::None);
        expectWorks("after " + std::string(call.name) + ' ' + what);
    }
    void expectWorks(const std::string& what) {
        int value = 0;
        EXPECT_EQ(dlxVmrDIOGet(1, &value), 1) << what;
    }
    // The bound of a call that waits out its time limit `rounds` times.
    static std::uint32_t waitBound(const Call& call, int rounds) {
        const auto lines = static_cast<std::uint32_t>(call.linesPerExchange);
        return static_cast<std::uint32_t>(rounds) * std::max(kLimitMs, kPerLineMs * lines) +
               kMarginMs;
    }

    FaultyPeer peer;
    int fds = 0;
    int tasks = 0;
    // Cuts placed past the end of a reply shorter than the one measured.
    int uncut = 0;
};

} // namespace

TEST_F(FaultSweep, ConnectionCutAtAnyByteOfEveryReply) {
    for (const Call& call : test::instrumentCalls(peer.instrument())) {
        // The reply of the call, exchange by exchange. A configuration
        // pauses a second before its last exchange: in the normal suite its
        // first exchanges are measured in a run with spoiled replies (of the
        // same sizes), which ends at the first checked batch.
        std::vector<long> exchanges;
        if (call.lastExchangeTolerated && !test::slowTests()) {
            peer.arm(Fault::Garbage);
            EXPECT_LT(call.run(), 0) << call.name;
            exchanges = peer.replies();
        } else {
            peer.arm(Fault::None);
            ASSERT_GT(call.run(), 0) << call.name;
            exchanges = peer.replies();
            if (call.lastExchangeTolerated) exchanges.pop_back();
        }
        const long whole = std::accumulate(exchanges.begin(), exchanges.end(), 0L);
        ASSERT_GT(whole, 0) << call.name;
        // A cut connection fails at once: well within one time limit.
        uncut = 0;
        for (const long k : cutPositions(exchanges, whole)) {
            peer.arm(Fault::CutAfter, k);
            expectCleanFailure(call, waitBound(call, 1),
                               "cut after " + std::to_string(k) + " bytes");
        }
        // Only the last few positions of a reply may fall past its end.
        EXPECT_LE(uncut, 8) << call.name;
    }
}

TEST_F(FaultSweep, SpoiledAndMissingRepliesFailCleanly) {
    // Garbage goes to every call. NUL bytes are dropped where the bytes are
    // read, and silence and a missing line end wait a whole time limit (two
    // for a retried exchange): the normal suite sends those to a few calls of
    // different kinds only, the slow run to every call. Spoiled bytes may be
    // taken as the text a free-text call asks for.
    const struct {
        Fault fault;
        const char* what;
        bool mayTakeTheText;
        std::vector<std::string> normal;
    } faults[] = {
        {Fault::Garbage, "garbage", true, {}},
        {Fault::NulBytes, "NUL bytes", true, {"DIOGet", "OEMIdentityGetA", "TimeSet", "ScansGet"}},
        {Fault::Silent, "silence", false, {"DIOGet"}},
        {Fault::NoLineEnd, "no line end", false, {"DIOGet"}},
    };
    for (const auto& f : faults)
        for (const Call& call : test::instrumentCalls(peer.instrument())) {
            if (f.fault != Fault::Garbage && !test::slowTests() &&
                std::find(f.normal.begin(), f.normal.end(), call.name) == f.normal.end())
                continue;
            peer.arm(f.fault);
            expectCleanFailure(call, waitBound(call, 2), f.what, f.mayTakeTheText);
        }
}

TEST_F(FaultSweep, AnEndlessReplyEndsAtTheTimeLimit) {
    const auto calls = test::instrumentCalls(peer.instrument());
    const Call& query = named(calls, "DIOGet");
    // The reply starts and never ends: the call gives up at its limit, with
    // no second round (the peer was still sending), and holds no more than
    // the library's reply cap meanwhile.
    peer.arm(Fault::Endless);
    const std::uint32_t start = pf::tickCount();
    int value = -1;
    const int st = dlxVmrDIOGet(1, &value);
    EXPECT_TRUE(st == DLXVMR_E_TIMEOUT || st == DLXVMR_E_INVALID_RESPONSE) << st;
    EXPECT_LT(pf::tickCount() - start, waitBound(query, 1));
    EXPECT_EQ(value, -1);
    // While it streams on, the next call fails the same way, also in time.
    const std::uint32_t again = pf::tickCount();
    EXPECT_LT(dlxVmrDIOGet(1, &value), 0);
    EXPECT_LT(pf::tickCount() - again, waitBound(query, 2));
    // Once it stops, what it sent is discarded and the calls work again.
    peer.arm(Fault::None);
    expectWorks("after the endless reply");
}

TEST_F(FaultSweep, ALateReplyIsNeverTakenForTheNextCall) {
    expectLateReplyDiscarded([this] { peer.arm(Fault::Late, 10000); },
                             [this] {
                                 peer.released = true;
                                 return test::waitUntil([this] { return peer.written >= 2; },
                                                        10000) &&
                                        peer.written == 2;
                             });
}

TEST_F(FaultSweep, APeerThatHangsUpBetweenCalls) {
    const auto calls = test::instrumentCalls(peer.instrument());
    const std::vector<Call> chosen =
        test::slowTests() ? calls
                          : std::vector<Call>{named(calls, "DIOGet"), named(calls, "TimeSet")};
    for (const Call& call : chosen) {
        peer.hangUp();
        pf::sleepMs(20); // the peer's end is closed before the call
        // The call notices the closed connection: it fails, or it gets its
        // answer on a new one. Either way the next call works.
        const std::uint32_t start = pf::tickCount();
        call.run();
        EXPECT_LT(pf::tickCount() - start, waitBound(call, 2)) << call.name;
        expectWorks(std::string("after a hang-up before ") + call.name);
    }
}

#ifndef _WIN32

TEST(FaultSweepUsb, ALateReplyIsDiscardedAndAPortUnpluggedMidExchangeFailsCleanly) {
    const int fds = openDescriptors();
    const int tasks = threadCount();
    {
        sim::Instrument instrument(sim::Model::M7043A);
        auto port = std::make_unique<sim::PtyServer>(instrument);
        if (!port->ready()) GTEST_SKIP() << port->error();
        ::setenv("KORDA_COM9", port->path().c_str(), 1);
        test::ShortTimeLimit shortLimit(kLimitMs);
        ASSERT_EQ(dlxVmrLibInit(0), 1);
        dlxVmrCCFsetBCN(1, DLXVMR_INTERFACE_USB, 9, nullptr, DLXVMR_MODEL_7043A);
        ASSERT_EQ(dlxVmrCommOpen(1), 1);
        const auto setFaults = [&instrument](const std::string& garbage, bool silent) {
            sim::Faults f;
            f.garbage = garbage;
            f.silent = silent;
            instrument.setFaults(f);
        };
        // The instrument is held (this thread holds its lock) until both
        // rounds have given up; then it answers both, and the late replies
        // wait in the port when the next call begins.
        std::uint64_t executed = 0;
        expectLateReplyDiscarded(
            [&] {
                executed = instrument.linesExecuted();
                instrument.mutex().lock();
            },
            [&] {
                instrument.mutex().unlock();
                const bool answered = test::waitUntil(
                    [&] { return instrument.linesExecuted() >= executed + 2; }, 10000);
                pf::sleepMs(50); // the second reply follows its line at once
                return answered;
            });
        // The query is read and never answered; the port goes while the call
        // waits for its reply.
        setFaults("", true);
        std::thread unplug([&port] {
            pf::sleepMs(30);
            port->stop();
        });
        const std::uint32_t start = pf::tickCount();
        char cut[64] = {};
        EXPECT_EQ(dlxVmrOEMIdentityGetA(1, cut, sizeof cut), DLXVMR_E_INVALID_COM_PORT);
        EXPECT_LT(pf::tickCount() - start, 2 * kLimitMs + kMarginMs);
        unplug.join();
        EXPECT_STREQ(cut, "");
        // The next calls fail at once with the same clear status.
        int value = -1;
        const std::uint32_t next = pf::tickCount();
        EXPECT_EQ(dlxVmrDIOGet(1, &value), DLXVMR_E_INVALID_COM_PORT);
        EXPECT_EQ(dlxVmrTimeSet(1), DLXVMR_E_INVALID_COM_PORT);
        EXPECT_LT(pf::tickCount() - next, kMarginMs);
        EXPECT_EQ(value, -1);
        EXPECT_EQ(dlxVmrCommClose(1), 1);
        dlxVmrLibExit();
        ::unsetenv("KORDA_COM9");
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(threadCount(), tasks);
}

#endif
