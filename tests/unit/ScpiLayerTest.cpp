// The SCPI layer and the TCP transport against a scripted peer that records
// the exact bytes sent and replays exact bytes back.
#include "ChunkedTransport.h"
#include "TestSupport.h"
#include "Transcript.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"
#include "core/Text.h"
#include "frontend/GlobalData.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace korda32ex;
using korda::test::ChunkedTransport;
using korda::test::connectTo;
using korda::test::errorString;
using korda::test::lines;
using korda::test::ScriptedPeer;
using korda::test::waitUntil;

namespace {

struct ScpiFixture : ::testing::Test {
    void SetUp() override { ASSERT_EQ(dlxVmrLibInit(0), 1); }
    void TearDown() override { dlxVmrLibExit(); }
};

} // namespace

// The cases of golden/scpi-handler.txt, each on a fresh connection to a peer
// replaying it; each step's result is the next "= " line.
TEST_F(ScpiFixture, Transcripts) {
    for (const auto& c : korda::test::readTranscript("scpi-handler.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        korda::test::ReplayPeer peer(c.lines);
        SCPIHandler h(connectTo(peer.port()), libraryTimeLimit(), libraryErrorSink());
        std::size_t seen = 0;
        std::vector<std::string> results;
        for (const std::string& step : c.all('@')) {
            const std::size_t space = std::min(step.find(' '), step.size());
            const std::string verb = step.substr(0, space);
            const std::string arg = step.substr(std::min(space + 1, step.size()));
            std::vector<std::string> commands;
            for (std::size_t at = 0; at < arg.size();) {
                const std::size_t bar = std::min(arg.find('|', at), arg.size());
                commands.push_back(arg.substr(at, bar - at));
                at = bar + 1;
            }
            std::string result;
            if (verb == "commands") result = std::to_string(h.sendCommands(commands));
            if (verb == "error") result = errorString(std::stoi(arg));
            const auto messages = peer.messages();
            for (; verb == "writes" && seen < messages.size(); ++seen)
                result +=
                    (result.empty() ? "" : " ") + std::to_string(lines(messages[seen]).size());
            results.push_back(result);
        }
        EXPECT_EQ(results, c.all('='));
        EXPECT_EQ(peer.outcome(), "");
    }
}

TEST_F(ScpiFixture, LineEndsAloneAreNoReplies) {
    ScriptedPeer peer([&](const std::string&, int) {
        return ScriptedPeer::Action{"\r\n\n\r\rfirst\r\r\n\r\nsec\rond\n"};
    });
    SCPIHandler h(connectTo(peer.port()), libraryTimeLimit(), libraryErrorSink());
    std::vector<std::string> replies;
    EXPECT_EQ(h.queryLines({"A?", "B?"}, replies), 1);
    EXPECT_EQ(replies, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(peer.messages().front(), "A?\r\nB?\r\n");
}

TEST_F(ScpiFixture, AQueryIsRetriedExactlyOnceAfterATimeout) {
    // "*IDN?" is never answered, "Q?" the second time it is asked.
    std::atomic<int> asked{0}, calls{0};
    ScriptedPeer peer([&](const std::string& m, int) {
        if (m.find("*IDN?") != std::string::npos) ++asked;
        const bool answer = m.find("Q?") != std::string::npos && ++calls == 2;
        return ScriptedPeer::Action{answer ? "second\r\n" : ""};
    });
    // A short time limit of its own: the handler need not wait whole seconds.
    SCPIHandler h(
        connectTo(peer.port()), [] { return 200u; }, libraryErrorSink());
    std::string reply = "unchanged";
    EXPECT_EQ(h.query("*IDN?", reply), -1015);
    EXPECT_EQ(asked.load(), 2);
    EXPECT_EQ(reply, "unchanged");
    // Each timed-out read got a fresh connection.
    EXPECT_GE(peer.connections(), 2);

    // A reply on the second attempt succeeds.
    EXPECT_EQ(h.query("Q?", reply), 1);
    EXPECT_EQ(reply, "second");
}

namespace {

// Answers "NUL?" with NUL bytes among the text, "BYE?" with a line and then
// the end of the connection, anything else with nothing.
ScriptedPeer::Action nulOrBye(const std::string& m, int) {
    if (m == "NUL?\r\n") return ScriptedPeer::Action{std::string("ab\0cd\0\0e\n", 9)};
    if (m == "BYE?\r\n") return ScriptedPeer::Action{"bye\n", true};
    return ScriptedPeer::Action{};
}

} // namespace

TEST_F(ScpiFixture, NulBytesAreDroppedAndAClosedStreamReconnects) {
    ScriptedPeer peer(nulOrBye);
    SCPIHandler h(connectTo(peer.port()), libraryTimeLimit(), libraryErrorSink());
    std::string reply;
    EXPECT_EQ(h.query("NUL?", reply), 1);
    EXPECT_EQ(reply, "abcde");
    // The reply that came before the peer closed is used; the next exchange
    // finds the end of the stream, reconnects and goes on.
    EXPECT_EQ(h.query("BYE?", reply), 1);
    EXPECT_EQ(reply, "bye");
    std::vector<std::string> none;
    EXPECT_EQ(h.transact({"PING"}, 0, none), 1);
    EXPECT_TRUE(waitUntil([&] { return peer.messages().back() == "PING\r\n"; }, 10000));
    EXPECT_EQ(peer.connections(), 2);
}

TEST_F(ScpiFixture, ASecondOpenKeepsTheConnectionAClosedOneReconnectsToSend) {
    ScriptedPeer peer(nulOrBye);
    auto t = connectTo(peer.port());
    EXPECT_EQ(t->open(1000), -1006);
    const auto socket = t->socketHandle();
    t->drain(1000); // nothing to drain: the connection stays
    EXPECT_EQ(t->socketHandle(), socket);
    EXPECT_TRUE(waitUntil([&] { return peer.connections() == 1; }, 10000)); // accept may lag
    EXPECT_EQ(t->close(), 1);
    EXPECT_EQ(t->close(), -1017);
    std::string text;
    EXPECT_EQ(t->receive(100, text), -1012);
    EXPECT_EQ(t->send("HELLO\r\n", 1000), 1);
    EXPECT_TRUE(t->isOpen());
}

TEST(ReplyLineCounter, CountsLikeAWholeScanWhereverThreeChunksMeet) {
    const std::string text = "\r\r\nx\r\r\n\r\n\n\r\ry\rz\n\r\n\nab\r\ncd\n\r\n\ref\n\rg";
    std::size_t whole = 0;
    forEachLine(text + "\n", LineRule::Reply, [&](std::string_view) { ++whole; });
    for (std::size_t a = 0; a <= text.size(); ++a)
        for (std::size_t b = a; b <= text.size(); ++b) {
            ReplyLineCounter split;
            split.feed(text.data(), a);
            split.feed(text.data() + a, b - a);
            split.feed(text.data() + b, text.size() - b);
            EXPECT_EQ(split.lines(), whole - 1) << a << " " << b; // "g" has no line end yet
        }
}

namespace {

std::vector<std::string> streamed(SCPIHandler& h, std::size_t expected, int& status) {
    std::vector<std::string> lines;
    status =
        h.transactLines({"Q?"}, expected, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

} // namespace

TEST(StreamedExchange, HandsOnTheLinesOfACollectedReplyWhereverTheChunksEnd) {
    // Line ends split between chunks, empty lines, carriage returns inside a
    // line, and text after the last line feed (a line of its own).
    const std::string reply = "\r\none\r\n\r\ntw\ro\r\n\n\rthree\r\nfour";
    const std::vector<std::string> expected{"one", "two", "three", "four"};
    {
        SCPIHandler h(std::make_shared<ChunkedTransport>(std::vector<std::string>{reply}));
        std::vector<std::string> replies;
        ASSERT_EQ(h.transact({"Q?"}, 3, replies), 1);
        ASSERT_EQ(replies, expected);
    }
    for (std::size_t a = 0; a <= reply.size(); ++a)
        for (std::size_t b = a; b <= reply.size(); ++b) {
            // Three complete lines end the exchange, so the chunks after the
            // one that completes the third are never read.
            SCPIHandler h(std::make_shared<ChunkedTransport>(std::vector<std::string>{
                reply.substr(0, a), reply.substr(a, b - a), reply.substr(b)}));
            int status = 0;
            const auto lines = streamed(h, 3, status);
            ASSERT_EQ(status, 1) << a << " " << b;
            const std::size_t third = reply.find("three") + 7; // past its line feed
            const std::size_t read = b >= third ? (a >= third ? a : b) : reply.size();
            std::vector<std::string> want;
            forEachLine(std::string_view(reply).substr(0, read), LineRule::Reply,
                        [&](std::string_view l) { want.emplace_back(l); });
            EXPECT_EQ(lines, want) << a << " " << b;
        }
}

namespace {

// A transport with nothing stale to drain whose peer, once asked, never stops
// talking and never ends a line: every receive hands over another megabyte.
class EndlessTransport final : public CommunicationInterface {
  public:
    int open(std::uint32_t) override { return 1; }
    int close() override { return 1; }
    int send(const std::string&, std::uint32_t) override {
        ++sends;
        return 1;
    }
    int sendBulk(const std::string&, std::uint32_t) override { return 1; }
    bool drain(std::uint32_t) override { return false; }
    int receive(std::uint32_t, std::string& text) override {
        text.append(kChunk, 'x');
        delivered += kChunk;
        return 1;
    }
    static constexpr std::size_t kChunk = std::size_t(1) << 20;
    int sends = 0;
    std::size_t delivered = 0;
};

} // namespace

TEST_F(ScpiFixture, AnExchangeCollectsNoMoreThanItsCap) {
    auto endless = std::make_shared<EndlessTransport>();
    // A cap of a few megabytes proves the same as the default one.
    constexpr std::size_t kCap = 4 * EndlessTransport::kChunk;
    SCPIHandler h(endless, {}, {}, kCap);
    std::string reply = "unchanged";
    EXPECT_EQ(h.query("X?", reply), -2035);
    EXPECT_EQ(reply, "unchanged");
    EXPECT_EQ(endless->sends, 1);
    EXPECT_GT(endless->delivered, kCap);
    EXPECT_LE(endless->delivered, kCap + EndlessTransport::kChunk);
}

namespace {

// A handler with a time limit of 100 ms over a traced connection to a peer
// that answers "LATE?" with two lines and anything else with body.
struct TracedLink {
    TracedLink() { EXPECT_EQ(transport->open(2000), 1); }

    std::string body;
    ScriptedPeer peer{[this](const std::string& m, int) {
        return ScriptedPeer::Action{m == "LATE?\r\n" ? "late\r\nlater\r\n" : body};
    }};
    std::string detail;
    std::atomic<bool> traceOn{true};
    std::vector<std::pair<TraceKind, std::string>> trace;
    Diagnostics diagnostics{[this](const std::string& text) { detail = text; }, &traceOn,
                            [this](TraceKind k, std::string_view t) { trace.emplace_back(k, t); }};
    std::shared_ptr<TCPCommunication> transport = std::make_shared<TCPCommunication>(
        peer.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1}, diagnostics);
    SCPIHandler h{transport, [] { return 100u; }, {}, SCPIHandler::kLongReplyLimit, diagnostics};
};

} // namespace

TEST_F(ScpiFixture, ATimedOutLongReadIsDescribedLineByLine) {
    TracedLink link;
    // The log ends with nothing instead of the no-error line.
    link.body = std::string(4094, 'y') + "\r\n";
    std::string out;
    EXPECT_EQ(link.h.readUntilNoError("MEMory:LOG:READ?", out), -1015);
    EXPECT_EQ(link.detail, "MEMory:LOG:READ? timed out after 100 ms, 4096 bytes received");
    const std::string endpoint = "127.0.0.1:" + std::to_string(link.peer.port());
    const std::vector<std::pair<TraceKind, std::string>> expected{
        {TraceKind::Event, "connect " + endpoint},
        {TraceKind::Sent, "*CLS"},
        {TraceKind::Sent, "MEMory:LOG:READ?"},
        {TraceKind::Sent, "SYST:ERR?"},
        // Silence replaces the connection, and the new one is made at once.
        {TraceKind::Event, "reconnect " + endpoint},
        {TraceKind::Event, "connect " + endpoint},
        {TraceKind::Received, std::string(4094, 'y')},
    };
    EXPECT_TRUE(link.trace == expected);
}

TEST_F(ScpiFixture, ADrainReportsWhatItDiscardedBySize) {
    TracedLink link;
    // Unasked-for lines left over from an earlier exchange.
    link.trace.clear();
    ASSERT_EQ(link.transport->send("LATE?\r\n", 1000), 1);
    // Drains until the lines have come.
    ASSERT_TRUE(waitUntil(
        [&] {
            link.transport->drain(1000);
            return !link.trace.empty();
        },
        5000));
    EXPECT_EQ(link.trace.back(),
              std::pair(TraceKind::Event, std::string("drain discarded 13 bytes")));
}

TEST_F(ScpiFixture, WithTheTraceOffDetailsStillGo) {
    TracedLink link;
    link.traceOn = false;
    link.trace.clear();
    link.body = "short\r\n0,\"No error\"\r\n";
    std::string out;
    EXPECT_EQ(link.h.readUntilNoError("X?", out), -2035);
    EXPECT_TRUE(link.trace.empty());
    EXPECT_EQ(link.detail, "X?: reply of 21 bytes, too short for a log");
}

TEST(StreamedExchange, FailsLikeACollectedOneAndTracesTheReplyOnce) {
    std::vector<std::pair<TraceKind, std::string>> trace;
    std::atomic<bool> traceOn{true};
    std::string detail;
    Diagnostics diagnostics([&](const std::string& text) { detail = text; }, &traceOn,
                            [&](TraceKind k, std::string_view t) { trace.emplace_back(k, t); });
    // Two of three lines, the second split, then silence.
    SCPIHandler h(
        std::make_shared<ChunkedTransport>(std::vector<std::string>{"a\r\nb", "\r\n"}),
        [] { return 100u; }, {}, SCPIHandler::kLongReplyLimit, diagnostics);
    int status = 0;
    const auto lines = streamed(h, 3, status);
    EXPECT_EQ(status, -1015);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(detail, "Q? timed out after 150 ms, 6 bytes received");
    const std::vector<std::pair<TraceKind, std::string>> expected{
        {TraceKind::Sent, "Q?"}, {TraceKind::Received, "a"}, {TraceKind::Received, "b"}};
    EXPECT_TRUE(trace == expected);

    // A reply that never ends a line stops at the cap, as a collected one does.
    constexpr std::size_t kCap = 4 * EndlessTransport::kChunk;
    auto endless = std::make_shared<EndlessTransport>();
    SCPIHandler capped(endless, {}, {}, kCap);
    EXPECT_EQ(capped.transactLines({"X?"}, 1, [](std::string_view) { FAIL(); }), -2035);
    EXPECT_LE(endless->delivered, kCap + EndlessTransport::kChunk);
}
