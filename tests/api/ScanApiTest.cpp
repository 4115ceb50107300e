// Scanning through the exported interface: the virtual instrument scans on a
// manual clock, and a scripted instrument supplies exact and broken replies.
#include "ScanBuffer.h"
#include "ScriptedInstrument.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korda;
using namespace korda::test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The virtual instrument on a manual clock with its clock at 2026-03-07
// 09:05:03.042, sending time and alarm fields with its readings.
struct ScanningInstrument {
    ScanningInstrument() {
        sim::useManualClock(in());
        for (const char* line :
             {"SYST:DATE 2026,3,7", "SYST:TIME 9,5,3.042", "FORM:READ:TIME 1", "FORM:READ:ALAR 1"})
            in().execute(line);
    }
    sim::Instrument& in() { return session.instrument(); }
    VirtualInstrumentSession session;
};

TEST(ScanApi, TimedScansAreFetchedIntoTheRecord) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {101, 102, 103, 104, 105});
    const double values[] = {1.5, -2.25, 1e38, -1e38, std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 5; ++i) // two overloads and a value that is no number
        sim::setChannelValue(in, 101 + i, values[i]);
    in.execute("TRIG:TIM 1");
    in.execute("TRIG:COUN 0"); // until stopped

    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_TRUE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "1");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "256");
    sim::advanceClock(in, 2500); // sweeps at 0, 1 and 2 seconds
    EXPECT_EQ(statusAndValue(dlxVmrScansCount, 1), std::pair(1, 3));

    ScanBuffer buffer(10, 5);
    ScanRecord* r = buffer.record();
    ASSERT_EQ(dlxVmrScansGet(1, 2, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(72, 2, 1));
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(buffer.stamp(n), std::tuple(26, 3, 7, 9, 5, 3 + n, 42));
        // A value that is no number reads as the instrument's not-a-number.
        EXPECT_EQ(buffer.readings(n), (std::vector<float>{1.5f, -2.25f, kInf, -kInf, 9.91e37f}));
    }

    // Stopping: no further sweeps, keys unlocked.
    ASSERT_EQ(dlxVmrScansEnable(1, 0), 1);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "0");
    sim::advanceClock(in, 5000);
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(72, 1, 0));
    EXPECT_EQ(buffer.entry(0).second, 5);

    // Nothing held: only the count query goes out.
    const auto before = in.linesExecuted();
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(12, 0, 0));
    EXPECT_EQ(in.linesExecuted() - before, 1u);
}

TEST(ScanApi, TheInstrumentRefusesToScanNoChannel) {
    ScanningInstrument s;
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -221);
    EXPECT_EQ(errorString(-221), "INIT => \"Settings conflict");
}

TEST(ScanApi, TheTriggerCountEndsScanning) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {201});
    in.execute("TRIG:COUN 2");
    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -213); // already scanning
    sim::advanceClock(in, 10000);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "STAT:OPER?"), "0");
    EXPECT_EQ(statusAndValue(dlxVmrGetScansCount, 1), std::pair(1, 2));
}

TEST(ScanApi, BothClearsEmptyTheStoredScans) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::storeScans(in, 2);
    EXPECT_EQ(dlxVmrScansClear(1), 1);
    EXPECT_EQ(statusAndValue(dlxVmrGetScansCount, 1), std::pair(1, 0));
    sim::storeScans(in, 3);
    EXPECT_EQ(dlxVmrPCCardScansClear(1), 1);
    EXPECT_EQ(sim::storedScanCount(in), 0u);
}

TEST(ScanApi, StartStopClearAreByteExactSequences) {
    ScriptedSession session;
    EXPECT_EQ(dlxVmrScansEnable(1, 2), 1);
    EXPECT_EQ(dlxVmrScansEnable(1, 0), 1);
    EXPECT_EQ(dlxVmrScansClear(1), 1);
    EXPECT_EQ(dlxVmrPCCardScansClear(1), 1);
    const auto m = session.instrument.messages();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[1], "*CLS\r\nFORmat:READing:TIME 1\r\nSYST:ERR?\r\nFORMat:READing:ALARm ON\r\n"
                    "SYST:ERR?\r\nSYSTem:KLOCk ON\r\nSYST:ERR?\r\nINIT\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[2], "*CLS\r\nSYSTem:KLOCk OFF\r\nSYST:ERR?\r\nABORt\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[3], "*CLS\r\nDATA:CLE\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[4], m[3]);
}

TEST(ScanApi, AFetchAsksForAllItsReadingsInOneWrite) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"10", "4"});
    peer.script("DATA:READ?", {"1.0,0,2026,3,7,9,5,3.5"});
    ScanBuffer buffer(10, 1);
    ASSERT_EQ(dlxVmrScansGet(1, 4, buffer.record()), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(56, 4, 6));
    EXPECT_EQ(buffer.entry(3).fraction, 500); // ".5" is 500 ms
    // Asked for more than remain: the remaining ones.
    ASSERT_EQ(dlxVmrScansGet(1, 10, buffer.record()), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(56, 4, 0));
    const auto m = peer.messages();
    ASSERT_EQ(m.size(), 5u);
    const std::string four = "DATA:READ?\r\nDATA:READ?\r\nDATA:READ?\r\nDATA:READ?\r\n";
    EXPECT_EQ(std::pair(m[2], m[4]), std::pair(four, four));
}

TEST(ScanApi, ABadReplyStopsTheFetchKeepingTheScansBefore) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"3"});
    const std::string good = "1,2,0,2026,3,7,9,5,3.5";
    peer.script("DATA:READ?", {good, "1,2,0,2026,x,7,9,5,3.5", good,   // first fetch
                               good, "1,2,3,0,2026,3,7,9,5,3.5", good, // second fetch
                               "9.910000E+37"});
    ScanBuffer buffer(3, 3);
    ScanRecord* r = buffer.record();
    // A time field that is not a number: the stored scan and its stride are kept.
    EXPECT_EQ(dlxVmrScansGet(1, 3, r), -1);
    EXPECT_EQ(errorString(-1), "Invalid response received");
    EXPECT_EQ(buffer.counts(), std::tuple(60, 1, 0));
    // A scan with another number of readings than the first.
    EXPECT_EQ(dlxVmrScansGet(1, 3, r), -1);
    EXPECT_EQ(buffer.counts(), std::tuple(60, 1, 0));
    // The instrument's not-a-number answer: no scan.
    EXPECT_EQ(dlxVmrScansGet(1, 1, r), -1);
    EXPECT_EQ(errorString(-1), "Invalid response: 9.910000E+37");
    EXPECT_EQ(r->scanCount, 0);
}

TEST(ScanApi, CountRepliesThatAreNoCountAreInvalid) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"+25", "abc", "-3", "99999999999", "none"});
    EXPECT_EQ(statusAndValue(dlxVmrGetScansCount, 1), std::pair(1, 25));
    for (int i = 0; i < 3; ++i) // "abc", "-3" and a count beyond int
        EXPECT_EQ(statusAndValue(dlxVmrScansCount, 1, 25), std::pair(-2035, 25));
    // A fetch that cannot read its count leaves the record alone.
    ScanBuffer buffer(1, 1, 0xA5A5A5A5u);
    const auto untouched = buffer.words;
    EXPECT_EQ(dlxVmrScansGet(1, 1, buffer.record()), -2035);
    EXPECT_EQ(buffer.words, untouched);
}

TEST(ScanApi, ASilentCountQueryFailsWhicheverCallAsks) {
    ShortTimeLimit shortLimit;
    ScriptedSession session;
    session.instrument.script("DATA:POIN?", {ScriptedInstrument::kSilent});
    ScanBuffer buffer(1, 1, 0xA5A5A5A5u);
    const auto untouched = buffer.words;
    EXPECT_EQ(statusAndValue(dlxVmrGetScansCount, 1, 25), std::pair(-1015, 25));
    EXPECT_EQ(dlxVmrScansGet(1, 1, buffer.record()), -1012);
    EXPECT_EQ(buffer.words, untouched);
}

TEST(ScanApi, AReadingThatTimesOutIsNotAskedAgain) {
    ShortTimeLimit shortLimit;
    ScriptedSession session;
    auto& peer = session.instrument;
    // One exchange, no second attempt.
    peer.script("DATA:POIN?", {"2"});
    peer.script("DATA:READ?", {"1,0,2026,3,7,9,5,3", ScriptedInstrument::kSilent, "not a scan",
                               ScriptedInstrument::kSilent});
    ScanBuffer two(2, 1);
    EXPECT_EQ(dlxVmrScansGet(1, 2, two.record()), -1015);
    // A failed fetch keeps nothing, not even the scan that came first.
    EXPECT_EQ(two.counts(), std::tuple(12, 0, 0));
    EXPECT_EQ(peer.count("DATA:READ?"), 2);
    // Nor does it report a reply that was no scan: the time-out is the failure.
    const std::string fixedText = errorString(-1);
    EXPECT_EQ(dlxVmrScansGet(1, 3, two.record()), -1015);
    EXPECT_EQ(two.counts(), std::tuple(12, 0, 0));
    EXPECT_EQ(errorString(-1), fixedText);
}

TEST(ScanApi, ThousandsOfScansInOneFetchWhateverTheLocale) {
    CommaLocale comma; // a decimal-comma locale when the machine has one
    ScanningInstrument s;
    auto& in = s.in();
    std::vector<int> channels;
    for (int c = 101; c <= 120; ++c)
        channels.push_back(c);
    sim::setScanChannels(in, channels);
    sim::setChannelValue(in, 120, -1234.25);
    sim::storeScans(in, 3000);
    ScanBuffer buffer(3000, 20);
    ASSERT_EQ(dlxVmrScansGet(1, 5000, buffer.record()), 1);
    EXPECT_EQ(buffer.counts(), std::tuple(52 + 80, 3000, 0));
    EXPECT_EQ(buffer.reading(2999, 19), -1234.25f);
    EXPECT_EQ(buffer.entry(2999).fraction, 42);
    EXPECT_EQ(sim::storedScanCount(in), 0u);
}

} // namespace
