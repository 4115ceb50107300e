// Connection management through the exported interface, against the virtual
// instrument on loopback.
#include "TestSupport.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

using namespace korda;
using korda::test::errorString;
using korda::test::VirtualInstrumentSession;
namespace pf = korda32ex::platform;

// A connection opens once, closes once and reopens; the model check compares
// with the current settings.
TEST(Connection, AConnectionOpensOnceClosesOnceThenReopens) {
    VirtualInstrumentSession s(sim::Model::M5129A);
    ASSERT_EQ(s.openStatus(), 1);
    EXPECT_EQ(dlxVmrCommOpen(1), -2005);
    EXPECT_EQ(dlxVmrCommClose(1), 1);
    EXPECT_EQ(dlxVmrCommClose(1), -2007);
    EXPECT_EQ(dlxVmrModelCheck(1), -2007);
    EXPECT_EQ(dlxVmrCommOpen(1), 1);
    EXPECT_EQ(dlxVmrModelCheck(1), 1);
    // Opening switched the instrument to CR LF line ends.
    EXPECT_TRUE(s.instrument().crlf);
    // New settings take effect at the next check, the connection stays.
    const uint8_t loopback[4] = {127, 0, 0, 1};
    EXPECT_EQ(dlxVmrCCFsetBCN(1, 1, s.server().port(), loopback, DLXVMR_MODEL_7043A), 1);
    EXPECT_EQ(dlxVmrModelCheck(1), -2021);
    EXPECT_EQ(errorString(-2021),
              "Model of instrument and model of instrument stored in CCF don't match");
    EXPECT_EQ(s.server().connectionsAccepted(), 2);
}

// The library starts once and stops once; its time limit in seconds
// saturates at what milliseconds hold.
TEST(Connection, TheLibraryStartsOnceThenStopsOnce) {
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    EXPECT_EQ(dlxVmrLibInit(0), -2001);
    uint32_t seconds = 0;
    EXPECT_EQ(dlxVmrTimeoutGet(&seconds), 1);
    EXPECT_EQ(seconds, 10u);
    EXPECT_EQ(dlxVmrTimeoutSet(0xFFFFFFFFu), 1);
    EXPECT_EQ(dlxVmrTimeoutGet(&seconds), 1);
    EXPECT_EQ(seconds, 0xFFFFFFFFu / 1000u);
    EXPECT_EQ(dlxVmrTimeoutGet(nullptr), -2);
    EXPECT_EQ(dlxVmrLibExit(), 1);
    EXPECT_EQ(dlxVmrLibExit(), -2002);
    EXPECT_EQ(dlxVmrTimeoutSet(3), -2002);
    EXPECT_EQ(dlxVmrCCFsetBCN(1, 1, 1, nullptr, 4), -2002);
    EXPECT_EQ(dlxVmrCommOpen(1), -2002);
    EXPECT_EQ(dlxVmrCommClose(1), -2002);
}

TEST(Connection, StatusTextsAreFixedPerCode) {
    EXPECT_EQ(errorString(-2007), "Communications are not open to this instrument");
    EXPECT_EQ(errorString(1), "No Errors");
    EXPECT_EQ(errorString(0), "Unknown");
    EXPECT_EQ(errorString(-2038), "Unknown");
}

TEST(Connection, FailedOpens) {
    test::ShortTimeLimit shortLimit;
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    // Nothing listens: refused.
    std::uint16_t port = 0;
    {
        sim::Instrument instrument(sim::Model::M7043A);
        sim::TcpServer server(instrument);
        port = server.port();
    }
    EXPECT_EQ(test::openLoopback(1, port), -2028);
    EXPECT_EQ(dlxVmrCommClose(1), -2007);
    EXPECT_EQ(dlxVmrCommOpen(1), -2028); // no socket kept: a real second attempt
    EXPECT_EQ(errorString(-2028).rfind("Error returned from instrument", 0), 0u);

    // The instrument rejects the line-end command: its error, not registered.
    sim::Instrument instrument(sim::Model::M7043A);
    instrument.forceError("SYST:COMM:TERM", -113, "Undefined header");
    sim::TcpServer server(instrument);
    EXPECT_EQ(test::openLoopback(2, server.port()), -113);
    EXPECT_EQ(errorString(-113), "SYST:COMM:TERM CRLF => \"Undefined header");
    EXPECT_EQ(dlxVmrCommClose(2), -2007);
    instrument.setFaults({});
    EXPECT_EQ(dlxVmrCommOpen(2), 1);
    EXPECT_EQ(dlxVmrCommClose(2), 1);

    // A silent instrument: the open times out on the first exchange.
    sim::Faults silent;
    silent.silent = true;
    instrument.setFaults(silent);
    EXPECT_EQ(dlxVmrCommOpen(2), -1015);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

TEST(Connection, ErrorStringsAreCopiedSafely) {
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    dlxVmrGetErrorStringA(1, small, sizeof small);
    EXPECT_STREQ(small, "No E");
    char untouched[2] = {'q', 'q'};
    dlxVmrGetErrorStringA(1, untouched, 0);
    EXPECT_EQ(untouched[0], 'q');
    dlxVmrGetErrorStringA(1, nullptr, 10);

    wchar_t wide[8];
    dlxVmrGetErrorStringW(-1015, wide, 8);
    EXPECT_EQ(std::wstring(wide), L"Timeout");
    wchar_t full[200];
    dlxVmrGetErrorStringW(-2028, full, 200);
    EXPECT_EQ(std::wstring(full).size(), 143u); // the longest fixed text
    dlxVmrGetErrorStringW(-1015, nullptr, 8);
}

TEST(Connection, APeerThatStreamsWithoutALineEndCannotHoldTheOpen) {
    test::ShortTimeLimit shortLimit(1000);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    // Once asked, the peer sends bytes without a line end and never stops.
    test::ScriptedPeer peer([](const std::string&, int) {
        return test::ScriptedPeer::Action{.reply = "x", .endlessWhile = [] { return true; }};
    });
    const std::uint32_t start = pf::tickCount();
    EXPECT_EQ(test::openLoopback(1, peer.port()), -1015);
    // One exchange of at most the time limit: a second round for a peer that
    // was still talking would take two. (A limit of a second leaves room for
    // a loaded machine between the two.)
    EXPECT_LT(pf::tickCount() - start, 1800u);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

TEST(Connection, RejectedTcpSettingsAreNotStored) {
    VirtualInstrumentSession s;
    ASSERT_EQ(s.openStatus(), 1);
    ASSERT_EQ(dlxVmrCommClose(1), 1);
    const uint8_t elsewhere[4] = {127, 0, 0, 2};
    const int port = s.server().port();
    // No address, or a port beyond 16 bits: the next open still reaches the
    // instrument set up before. (70561 cut to 16 bits would be 5025.)
    EXPECT_EQ(dlxVmrCCFsetBCN(1, DLXVMR_INTERFACE_TCPIP, port, nullptr, 4), -2);
    for (const int bad : {0, -1, 65536, 70561})
        EXPECT_EQ(dlxVmrCCFsetBCN(1, DLXVMR_INTERFACE_TCPIP, bad, elsewhere, 4), -2) << bad;
    EXPECT_EQ(dlxVmrCommOpen(1), 1);
    // A round trip, so the server has surely taken the connection in.
    EXPECT_EQ(dlxVmrModelCheck(1), 1);
    EXPECT_EQ(s.server().connectionsAccepted(), 2);
}
