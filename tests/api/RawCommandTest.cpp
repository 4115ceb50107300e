// dlxVmrRawCommandA: one SCPI command the interface has no function for.
#include "ScanModel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace korda::test;

namespace {

class RawCommand : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(session.openStatus(), 1); }
    VirtualInstrumentSession session;
};

} // namespace

TEST_F(RawCommand, ASettingTakesEffectWithAnEmptyReply) {
    char reply[64] = "untouched";
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM 42", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "");
    EXPECT_EQ(ask(session.instrument(), "TRIG:TIM?"), "42");
    // A setting needs no reply buffer.
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM 7", nullptr, 0), 1);
    EXPECT_EQ(ask(session.instrument(), "TRIG:TIM?"), "7");
}

TEST_F(RawCommand, AQueryFillsTheReply) {
    ask(session.instrument(), "TRIG:TIM 42");
    char reply[64] = "untouched";
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM?", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "42");
}

TEST_F(RawCommand, ALongReplyIsCutToTheBuffer) {
    char reply[6];
    std::memset(reply, 'x', sizeof reply);
    EXPECT_EQ(dlxVmrRawCommandA(1, "*IDN?", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "KORDA");
}

TEST_F(RawCommand, ARejectedSettingReturnsTheInstrumentsErrorWithItsText) {
    EXPECT_EQ(dlxVmrRawCommandA(1, "FROB 1", nullptr, 0), -113);
    EXPECT_NE(errorString(-113).find("FROB 1"), std::string::npos) << errorString(-113);
}

TEST_F(RawCommand, TextsThatCouldHideASecondCommandAreRefusedUnsent) {
    const auto before = session.instrument().linesExecuted();
    char reply[16] = "untouched";
    for (const char* bad : {"", "TRIG:TIM 1\n*RST", "TRIG:TIM 1\r", "*IDN?\x7F"})
        EXPECT_EQ(dlxVmrRawCommandA(1, bad, reply, sizeof reply), -2) << bad;
    EXPECT_EQ(dlxVmrRawCommandA(1, nullptr, reply, sizeof reply), -2);
    // A query needs somewhere to put its reply.
    EXPECT_EQ(dlxVmrRawCommandA(1, "*IDN?", nullptr, 16), -2);
    EXPECT_EQ(dlxVmrRawCommandA(1, "*IDN?", reply, 0), -2);
    EXPECT_STREQ(reply, "untouched");
    EXPECT_EQ(session.instrument().linesExecuted(), before);
    EXPECT_EQ(dlxVmrRawCommandA(2, "*IDN?", reply, sizeof reply), -2007);
}

TEST_F(RawCommand, AQueryGoesOutAsOneLine) {
    // A query that takes what it reads must not be repeated: "DATA:READ?"
    // asked twice would lose the readings of the first answer.
    korda::sim::setScanChannels(session.instrument(), {101});
    korda::sim::storeScans(session.instrument(), 3);
    const auto before = session.instrument().linesExecuted();
    char reply[4096];
    EXPECT_EQ(dlxVmrRawCommandA(1, "DATA:READ? 3", reply, sizeof reply), 1);
    EXPECT_EQ(session.instrument().linesExecuted(), before + 1);
}
