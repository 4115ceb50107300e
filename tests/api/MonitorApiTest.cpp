// Monitoring through the exported interface.
#include "ScriptedInstrument.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale>

using namespace korda;
using namespace korda::test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

std::string ask(sim::Instrument& in, const std::string& query) {
    const auto replies = in.execute(query);
    return replies.empty() ? std::string() : replies.front();
}

} // namespace

TEST(MonitorApi, FrameStatusesAndNullArguments) {
    float reading = 0;
    EXPECT_EQ(dlxVmrInstMonitor(1, 1, 101), -2002);
    EXPECT_EQ(dlxVmrSpyEnable(1, 1), -2002);
    EXPECT_EQ(dlxVmrSpyGet(1101, &reading), -2002);
    VirtualInstrumentSession session;
    EXPECT_EQ(dlxVmrInstMonitor(2, 1, 101), -2007);
    EXPECT_EQ(dlxVmrSpyEnable(2, 1), -2007);
    EXPECT_EQ(dlxVmrSpyGet(2101, &reading), -2007);
    const auto before = session.instrument().linesExecuted();
    EXPECT_EQ(dlxVmrSpyGet(1101, nullptr), -2);
    EXPECT_EQ(session.instrument().linesExecuted(), before);
}

TEST(MonitorApi, SelectAndSwitchMonitoring) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    EXPECT_EQ(dlxVmrInstMonitor(1, 1, 105), 1);
    EXPECT_EQ(ask(in, "ROUT:MON?"), "(@105)");
    EXPECT_EQ(ask(in, "ROUT:MON:STAT?"), "1");
    EXPECT_EQ(dlxVmrSpyEnable(1, 0), 1);
    EXPECT_EQ(ask(in, "ROUT:MON:STAT?"), "0");
    EXPECT_EQ(dlxVmrSpyEnable(1, 7), 1);
    EXPECT_EQ(ask(in, "ROUT:MON:STAT?"), "1");
    // Switching off still selects the channel first.
    EXPECT_EQ(dlxVmrInstMonitor(1, 0, 222), 1);
    EXPECT_EQ(ask(in, "ROUT:MON?"), "(@222)");
    EXPECT_EQ(ask(in, "ROUT:MON:STAT?"), "0");
    // A channel the instrument does not have.
    EXPECT_EQ(dlxVmrInstMonitor(1, 1, 305), -222);
    EXPECT_EQ(errorString(-222), "ROUT:MON (@305) => \"Data out of range");
}

TEST(MonitorApi, SpyReadingFromTheInstrument) {
    VirtualInstrumentSession session(sim::Model::M5129A, 3);
    auto& in = session.instrument();
    sim::useManualClock(in);
    sim::setChannelValue(in, 105, 1.234);
    sim::setChannelValue(in, 301, 5e38);
    sim::setChannelValue(in, 302, -5e38);
    float reading = 0;
    ASSERT_EQ(dlxVmrSpyGet(3105, &reading), 1);
    EXPECT_EQ(reading, 1.234f);
    // Monitoring stays on, the instrument is aborted, the trigger count is 1.
    EXPECT_EQ(ask(in, "ROUT:MON?"), "(@105)");
    EXPECT_EQ(ask(in, "ROUT:MON:STAT?"), "1");
    EXPECT_EQ(ask(in, "TRIG:COUN?"), "1");
    EXPECT_FALSE(sim::scanning(in));
    ASSERT_EQ(dlxVmrSpyGet(3301, &reading), 1);
    EXPECT_EQ(reading, kInf);
    ASSERT_EQ(dlxVmrSpyGet(3302, &reading), 1);
    EXPECT_EQ(reading, -kInf);

    // While the instrument scans, it refuses the reading's "INIT".
    sim::setScanChannels(in, {101});
    in.execute("TRIG:COUN 0");
    ASSERT_EQ(dlxVmrScansEnable(3, 1), 1);
    reading = 42;
    EXPECT_EQ(dlxVmrSpyGet(3105, &reading), -213);
    EXPECT_EQ(reading, 42);
}

TEST(MonitorApi, StatusPollAndReplyForms) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("STAT:OPER?", {"512"});
    peer.script("ROUT:MON:DATA?", {"1.234E+00", "-9.900000E+37", " +9.900000e+37 ", "junk"});
    float reading = 0;
    ASSERT_EQ(dlxVmrSpyGet(1105, &reading), 1);
    EXPECT_EQ(reading, 1.234f);
    EXPECT_EQ(peer.count("STAT:OPER?"), 1);
    const auto m = peer.messages();
    EXPECT_EQ(m[1], "*CLS\r\nROUT:MON (@105)\r\nSYST:ERR?\r\nTRIG:COUN 1\r\nSYST:ERR?\r\n"
                    "ROUT:MON:STAT ON\r\nSYST:ERR?\r\nINIT\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m.back(), "*CLS\r\nABOR\r\nSYST:ERR?\r\n");
    ASSERT_EQ(dlxVmrSpyGet(1105, &reading), 1);
    EXPECT_EQ(reading, -kInf);
    ASSERT_EQ(dlxVmrSpyGet(1105, &reading), 1);
    EXPECT_EQ(reading, kInf);
    // A reply that is no number gives the instrument's not-a-number value.
    ASSERT_EQ(dlxVmrSpyGet(1105, &reading), 1);
    EXPECT_EQ(reading, 9.91e37f);

    // Any other status: exactly three further polls, then the reading anyway.
    peer.script("STAT:OPER?", {"0"});
    peer.script("ROUT:MON:DATA?", {"2.5"});
    const int before = peer.count("STAT:OPER?");
    ASSERT_EQ(dlxVmrSpyGet(1101, &reading), 1);
    EXPECT_EQ(reading, 2.5f);
    EXPECT_EQ(peer.count("STAT:OPER?") - before, 4);
}

TEST(MonitorApi, FailedReadingAbortsTheInstrument) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("STAT:OPER?", {"512"});
    peer.script("ROUT:MON:DATA?", {ScriptedInstrument::kSilent});
    dlxVmrTimeoutSet(1);
    float reading = 7;
    EXPECT_EQ(dlxVmrSpyGet(1101, &reading), -1015);
    EXPECT_EQ(reading, 7);
    EXPECT_EQ(peer.count("ABOR"), 1);
}

TEST(MonitorApi, ReadingIgnoresADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no decimal-comma locale installed";
    const std::locale savedGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    {
        VirtualInstrumentSession session;
        sim::setChannelValue(session.instrument(), 110, -0.0625);
        float reading = 0;
        EXPECT_EQ(dlxVmrSpyGet(1110, &reading), 1);
        EXPECT_EQ(reading, -0.0625f);
    }
    std::locale::global(savedGlobal);
    std::setlocale(LC_ALL, saved.c_str());
}
