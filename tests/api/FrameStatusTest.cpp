// What every instrument operation gives before the library is initialised,
// for an instrument that is not open, and for missing arguments (which never
// reach the instrument); dlxVmrRawCommandA, one SCPI command the interface
// has no function for; and the library's version.
#include "InstrumentCalls.h"
#include "TestSupport.h"
#include "korda32ext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace korda::test;

namespace {

TEST(FrameStatuses, EveryCallNeedsTheLibrary) {
    korda::sim::Instrument instrument(korda::sim::Model::M7043A);
    for (const auto& call : instrumentCalls(instrument))
        EXPECT_EQ(call.run(), -2002) << call.name;
    dlxVmrDeleteBuffer(nullptr); // works in any state, does nothing
}

TEST(FrameStatuses, EveryInstrumentCallNeedsAnOpenInstrument) {
    VirtualInstrumentSession session;
    ASSERT_EQ(session.openStatus(), 1);
    for (const auto& call : instrumentCalls(session.instrument(), 7))
        EXPECT_EQ(call.run(), -2007) << call.name;
}

TEST(FrameStatuses, AMissingArgumentSendsNothing) {
    VirtualInstrumentSession session;
    ASSERT_EQ(session.openStatus(), 1);
    const auto before = session.instrument().linesExecuted();
    wchar_t wide[8];
    EXPECT_EQ(dlxVmrDIOGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrTotalizerGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, nullptr, 8), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, wide, 0), -2);
    EXPECT_EQ(dlxVmrScansCount(1, nullptr), -2);
    EXPECT_EQ(dlxVmrScansGet(1, 1, nullptr), -2);
    EXPECT_EQ(dlxVmrSpyGet(1101, nullptr), -2);
    EXPECT_EQ(session.instrument().linesExecuted(), before);
    // A buffer the library would hand out is released by dlxVmrDeleteBuffer.
    dlxVmrDeleteBuffer(new char[16]);
}

} // namespace

namespace {

class RawCommand : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(session.openStatus(), 1); }
    VirtualInstrumentSession session;
};

} // namespace

// A setting takes effect with an empty reply (and needs no buffer), a query
// fills the reply, cut to the buffer, and a rejected setting returns the
// instrument's error with its text.
TEST_F(RawCommand, SettingsQueriesAndRejections) {
    char reply[64] = "untouched";
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM 42", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "");
    EXPECT_EQ(ask(session.instrument(), "TRIG:TIM?"), "42");
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM 7", nullptr, 0), 1);
    EXPECT_EQ(dlxVmrRawCommandA(1, "TRIG:TIM?", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "7");
    std::memset(reply, 'x', sizeof reply);
    EXPECT_EQ(dlxVmrRawCommandA(1, "*IDN?", reply, 6), 1);
    EXPECT_STREQ(reply, "KORDA");
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

// Without the library started; every output optional, a short text cut.
TEST(Version, IsTheBuiltVersion) {
    int major = -1, minor = -1, patch = -1;
    char text[32] = "unchanged";
    ASSERT_EQ(dlxVmrGetVersion(&major, &minor, &patch, text, sizeof text), 1);
    EXPECT_EQ(std::string(text), KORDA_EXPECTED_VERSION);
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch),
              KORDA_EXPECTED_VERSION);
    EXPECT_EQ(dlxVmrGetVersion(nullptr, nullptr, nullptr, nullptr, 0), 1);
    char shortText[3] = {'x', 'x', 'x'};
    EXPECT_EQ(dlxVmrGetVersion(nullptr, nullptr, nullptr, shortText, 3), 1);
    EXPECT_EQ(std::string(shortText), std::string(KORDA_EXPECTED_VERSION).substr(0, 2));
    char untouched = 'x';
    EXPECT_EQ(dlxVmrGetVersion(nullptr, nullptr, nullptr, &untouched, 0), 1);
    EXPECT_EQ(untouched, 'x');
}
