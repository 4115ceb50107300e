// Transport faults swept over the exported functions that talk to an
// instrument. The peer is the virtual instrument's own dialogue behind a
// scripted connection, so every function gets its true replies, and the
// script can cut, silence or spoil them at any byte:
// - the connection closed after k reply bytes, for every k short of the
//   whole reply of the call;
// - silence, garbage and NUL bytes, a reply without its line end.
// Each must give a negative status within the time limit (with a margin that
// only proves the call did not hang), leave no descriptor or thread behind,
// and leave the BCN usable: the next call works.
#include "ProcessUsage.h"
#include "TestSupport.h"
#include "korda32ext.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace korda;
namespace pf = korda32ex::platform;

namespace {

enum class Fault { None, CutAfter, Silent, Garbage, NulBytes, NoLineEnd, Late };

// The virtual instrument's dialogue behind a scripted peer, with one fault
// armed at a time. A fault applies to the replies of one call; once it has
// struck (the connection cut, or the call's replies spoiled) the peer answers
// normally again.
class FaultyPeer {
  public:
    FaultyPeer() : state_(std::make_shared<State>()), peer_(responder(state_)) {}

    void arm(Fault fault, long cutAfter = 0) {
        std::lock_guard<std::mutex> g(state_->mutex);
        state_->fault = fault;
        state_->cutAfter = cutAfter;
        state_->replyBytes = 0;
    }
    // Reply bytes written since the last arm().
    long replyBytes() const {
        std::lock_guard<std::mutex> g(state_->mutex);
        return state_->replyBytes;
    }
    std::uint16_t port() const { return peer_.port(); }
    sim::Instrument& instrument() { return state_->instrument; }

  private:
    struct State {
        mutable std::mutex mutex;
        sim::Instrument instrument{sim::Model::M7043A};
        Fault fault = Fault::None;
        long cutAfter = 0;
        long replyBytes = 0;
    };

    static test::ScriptedPeer::Responder responder(std::shared_ptr<State> state) {
        return [state](const std::string& message, int) {
            test::ScriptedPeer::Action action;
            std::lock_guard<std::mutex> g(state->mutex);
            sim::Session session(state->instrument);
            std::string reply = session.feed(message.data(), message.size());
            switch (state->fault) {
            case Fault::None:
                break;
            case Fault::CutAfter: {
                const long room = state->cutAfter - state->replyBytes;
                if (room < static_cast<long>(reply.size())) {
                    reply.resize(static_cast<std::size_t>(std::max(room, 0L)));
                    action.closeAfter = true;
                    state->fault = Fault::None;
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
            case Fault::Late:
                // The reply of one message, after the caller's limit.
                if (!reply.empty()) {
                    pf::sleepMs(static_cast<std::uint32_t>(state->cutAfter));
                    state->fault = Fault::None;
                }
                break;
            }
            state->replyBytes += static_cast<long>(reply.size());
            action.reply = std::move(reply);
            return action;
        };
    }

    std::shared_ptr<State> state_;
    test::ScriptedPeer peer_;
};

struct Call {
    const char* name;
    std::function<int()> run;
    // Any text is a valid reply (the OEM identity): spoiled bytes are read
    // as the text they are.
    bool freeText = false;
};

std::vector<Call> instrumentCalls() {
    return {
        {"ModelCheck", [] { return dlxVmrModelCheck(1); }},
        {"TimeSet", [] { return dlxVmrTimeSet(1); }},
        {"DIOGet",
         [] {
             int v = 0;
             return dlxVmrDIOGet(1, &v);
         }},
        {"DIOSet", [] { return dlxVmrDIOSet(1, 0x0F, 0x05); }},
        {"TotalizerGet",
         [] {
             int v = 0;
             return dlxVmrTotalizerGet(1, &v);
         }},
        {"TotalizerClear", [] { return dlxVmrTotalizerClear(1); }},
        {"OEMIdentitySetA", [] { return dlxVmrOEMIdentitySetA(1, "lab 7"); }},
        {"OEMIdentityGetA",
         [] {
             char t[64];
             return dlxVmrOEMIdentityGetA(1, t, sizeof t);
         },
         true},
        {"ScansEnable", [] { return dlxVmrScansEnable(1, 0); }},
        {"ScansClear", [] { return dlxVmrScansClear(1); }},
        {"GetScansCount",
         [] {
             int n = 0;
             return dlxVmrGetScansCount(1, &n);
         }},
        {"InstMonitor", [] { return dlxVmrInstMonitor(1, 1, 101); }},
        {"SpyGet",
         [] {
             float r = 0;
             return dlxVmrSpyGet(1101, &r);
         }},
    };
}

class FaultSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(dlxVmrLibInit(0), 1);
        // The shortest limit the interface takes; a cut connection fails at
        // once, only the silent cases wait for it.
        ASSERT_EQ(dlxVmrTimeoutSet(1), 1);
        ASSERT_EQ(test::openLoopback(1, peer.port()), 1);
    }
    void TearDown() override {
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
        if (!(mayTakeTheText && call.freeText && st == 1)) {
            EXPECT_LT(st, 0) << call.name << ' ' << what;
        }
        EXPECT_LT(took, boundMs) << call.name << ' ' << what;
        peer.arm(Fault::None);
        int value = 0;
        EXPECT_EQ(dlxVmrDIOGet(1, &value), 1) << "after " << call.name << ' ' << what;
    }

    FaultyPeer peer;
};

// A cut connection fails at once: far below one time limit.
constexpr std::uint32_t kCutBoundMs = 900;
// A query is retried once after a timeout; each round has the 1 s limit.
constexpr std::uint32_t kSilenceBoundMs = 2 * 1000 + 1500;

} // namespace

TEST_F(FaultSweep, ConnectionCutAtEveryByteOfEveryReply) {
    for (const Call& call : instrumentCalls()) {
        // The whole reply of the call, undisturbed.
        peer.arm(Fault::None);
        ASSERT_EQ(call.run(), 1) << call.name;
        const long whole = peer.replyBytes();
        ASSERT_GT(whole, 0) << call.name;
        const int fds = openDescriptors();
        const int tasks = threadCount();
        for (long k = 0; k < whole; ++k) {
            peer.arm(Fault::CutAfter, k);
            expectCleanFailure(call, kCutBoundMs, "cut after " + std::to_string(k) + " bytes");
        }
        EXPECT_EQ(openDescriptors(), fds) << call.name;
        EXPECT_EQ(threadCount(), tasks) << call.name;
    }
}

TEST_F(FaultSweep, SpoiledRepliesFailCleanly) {
    const int fds = openDescriptors();
    const int tasks = threadCount();
    for (const Call& call : instrumentCalls()) {
        for (const auto& [fault, what] :
             {std::pair{Fault::Garbage, "garbage"}, std::pair{Fault::NulBytes, "NUL bytes"}}) {
            peer.arm(fault);
            expectCleanFailure(call, kSilenceBoundMs, what, true);
        }
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(threadCount(), tasks);
}

TEST_F(FaultSweep, SilenceAndMissingLineEndsEndAtTheTimeLimit) {
    const int fds = openDescriptors();
    const int tasks = threadCount();
    // Each waits a whole time limit (two for a retried query), so a few calls
    // of different kinds: a query and a checked setting.
    const auto calls = instrumentCalls();
    const auto named = [&](const char* name) {
        return *std::find_if(calls.begin(), calls.end(),
                             [&](const Call& c) { return std::string(c.name) == name; });
    };
    peer.arm(Fault::Silent);
    expectCleanFailure(named("DIOGet"), kSilenceBoundMs, "silence");
    peer.arm(Fault::Silent);
    expectCleanFailure(named("TimeSet"), kSilenceBoundMs, "silence");
    peer.arm(Fault::NoLineEnd);
    expectCleanFailure(named("DIOGet"), kSilenceBoundMs, "no line end");
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(threadCount(), tasks);
}

TEST_F(FaultSweep, ALateReplyIsNeverTakenForTheNextCall) {
    char identity[64] = {};
    ASSERT_EQ(dlxVmrOEMIdentityGetA(1, identity, sizeof identity), 1);
    int dio = -1;
    ASSERT_EQ(dlxVmrDIOGet(1, &dio), 1);
    const int fds = openDescriptors();
    // The identity's reply comes 1.3 s late: after the first round of the
    // query, while its retry waits.
    peer.arm(Fault::Late, 1300);
    char late[64] = {};
    const std::uint32_t start = pf::tickCount();
    const int st = dlxVmrOEMIdentityGetA(1, late, sizeof late);
    EXPECT_LT(pf::tickCount() - start, kSilenceBoundMs);
    // Either the retry got its own answer, or the call failed; never a
    // stale text.
    if (st == 1) {
        EXPECT_STREQ(late, identity);
    }
    // The calls after it get their own answers: a number for the digital
    // I/O, not the identity text.
    int after = -1;
    EXPECT_EQ(dlxVmrDIOGet(1, &after), 1);
    EXPECT_EQ(after, dio);
    char again[64] = {};
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, again, sizeof again), 1);
    EXPECT_STREQ(again, identity);
    EXPECT_EQ(openDescriptors(), fds);
}
