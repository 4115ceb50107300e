// Long replies (logs and files, read until the error queue's no-error line):
// what ends them, what counts as the instrument's rejection, and how slow a
// live reply may be. (A positive error line is no count of scans read
// either: golden/wire-log-memory.txt.)
#include "ChunkedTransport.h"
#include "TestSupport.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace korda32ex;
using namespace korda::test;

namespace {

// A log whose lines look like error-queue lines: a positive number, a
// negative one, and one that ends the log.
const std::string kLog = "Record #,Time,Ch101\r\n"
                         "5,\"Device specific error\"\r\n"
                         "-113,\"Undefined header\"\r\n"
                         "1,2024-05-06 12:00:00.250,+1.000000E+00\r\n"
                         "3,\"quoted cell\"\r\n";
const std::string kNoError = "0,\"No error\"\r\n";

// Answers each "SYST:ERR?" with no error, and a message holding `command`
// with `reply` alone (what follows `burst` bytes trickling, a byte every
// trickleMs).
ScriptedPeer::Responder answering(std::string command, std::string reply, unsigned trickleMs = 0,
                                  std::size_t burst = 0) {
    return [=](const std::string& m, int) {
        if (m.find(command) != std::string::npos)
            return ScriptedPeer::Action{.reply = reply, .trickleMs = trickleMs, .burst = burst};
        std::string out;
        for (const auto& line : lines(m))
            if (line == "SYST:ERR?") out += kNoError;
        return ScriptedPeer::Action{.reply = out};
    };
}

} // namespace

// Wherever a chunk ends, only a reply that is one negative error-queue line
// is a rejection; any other error-shaped line is data, and the reading goes
// on to the no-error line (or, here, to silence).
TEST(LongReply, ReadsTheSameWhereverTheReplySplits) {
    struct Case {
        std::string reply;
        int status;
        std::string recorded;
    };
    const Case cases[] = {
        {kLog + kNoError, 1, ""},
        {"-256,\"File name not found\"\r\n", -256, "-256 X? => \"File name not found"},
        {"5,\"Device specific error\"\r\n", -1015, ""},
        {"0,\"Queue cleared\"\r\n", -1015, ""},
        {"-256,File name not found\r\n", -1015, ""},
        {kLog, -1015, ""},
    };
    for (const auto& c : cases) {
        for (std::size_t at = 0; at <= c.reply.size(); ++at) {
            std::vector<std::string> chunks{c.reply.substr(0, at), c.reply.substr(at)};
            std::erase(chunks, "");
            auto transport = std::make_shared<ChunkedTransport>(chunks);
            std::string recorded;
            SCPIHandler h(
                transport, [] { return 100u; },
                [&](int code, const std::string& text) {
                    recorded = std::to_string(code) + " " + text;
                });
            std::string out;
            ASSERT_EQ(h.readUntilNoError("X?", out), c.status) << c.reply << " split at " << at;
            // The no-error line ends the reading at its carriage return: its
            // line feed, when it comes on its own, is left to the next drain.
            const bool lineFeedLeft = c.status == 1 && at + 1 == c.reply.size();
            ASSERT_EQ(out, c.reply.substr(0, lineFeedLeft ? at : c.reply.size())) << at;
            ASSERT_EQ(transport->unread(), lineFeedLeft ? 1u : 0u) << at;
            ASSERT_EQ(recorded, c.recorded) << at;
        }
    }
}

// A reply that comes in a burst and then slows to about 150 bytes per second
// for a second (every line end a chunk's end) is read whole, far past the
// time limit of 300 ms and the 1 ms a byte once added to it, and nothing of
// it is left for the next exchange.
TEST(LongReply, ASlowButLiveReplyIsReadWhole) {
    const std::string body = kLog + kLog + kNoError;
    ScriptedPeer peer(answering("LOG?", body, 6, 90));
    SCPIHandler h(connectTo(peer.port()),
                  [] { return 300u; }); // gaps of a busy machine stay under it
    std::string out;
    ASSERT_EQ(h.readUntilNoError("LOG?", out), 1);
    EXPECT_GE(out.size(), body.size() - 1); // the last line feed may still be on its way
    EXPECT_EQ(out, body.substr(0, out.size()));
    std::vector<std::string> replies;
    EXPECT_EQ(h.transact({"*CLS", "SYST:ERR?"}, 1, replies), 1);
    EXPECT_EQ(replies, std::vector<std::string>{"0,\"No error\""});
}

// A peer that trickles a byte every 20 ms (50 bytes per second) is cut off
// near the time limit (about 100 ms + 10 ms a byte: 200 ms), not held for
// the reply's 20 s.
TEST(LongReply, ATricklingPeerEndsNearTheTimeLimit) {
    ScriptedPeer peer(answering("LOG?", std::string(1000, 'y'), 20));
    SCPIHandler h(connectTo(peer.port()), [] { return 100u; });
    std::string out;
    const std::uint32_t start = platform::tickCount();
    EXPECT_EQ(h.readUntilNoError("LOG?", out), -1015);
    EXPECT_LT(platform::tickCount() - start, 2000u);
    EXPECT_GT(out.size(), 0u);
}
