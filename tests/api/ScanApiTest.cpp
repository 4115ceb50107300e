// Scanning through the exported interface: the virtual instrument scans on a
// manual clock, and a scripted instrument supplies exact and broken replies.
#include "ScanTestSupport.h"
#include "ScriptedInstrument.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
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

// The virtual instrument on a manual clock with its clock at 2026-03-07 09:05:03.042.
struct ScanningInstrument {
    explicit ScanningInstrument(int bcn = 1) : session(sim::Model::M7043A, bcn) {
        sim::useManualClock(in());
        in().execute("SYST:DATE 2026,3,7");
        in().execute("SYST:TIME 9,5,3.042");
    }
    sim::Instrument& in() { return session.instrument(); }
    VirtualInstrumentSession session;
};

} // namespace

TEST(ScanApi, FrameStatusesAndNullArguments) {
    int count = 0;
    ScanBuffer buffer(1, 1);
    const std::vector<std::pair<const char*, std::function<int(int)>>> calls = {
        {"ScansEnable", [](int b) { return dlxVmrScansEnable(b, 1); }},
        {"ScansClear", [](int b) { return dlxVmrScansClear(b); }},
        {"PCCardScansClear", [](int b) { return dlxVmrPCCardScansClear(b); }},
        {"GetScansCount", [&](int b) { return dlxVmrGetScansCount(b, &count); }},
        {"ScansCount", [&](int b) { return dlxVmrScansCount(b, &count); }},
        {"ScansGet", [&](int b) { return dlxVmrScansGet(b, 1, buffer.record()); }},
    };
    for (const auto& [name, call] : calls)
        EXPECT_EQ(call(1), -2002) << name;
    VirtualInstrumentSession session;
    for (const auto& [name, call] : calls)
        EXPECT_EQ(call(9), -2007) << name;
    const auto before = session.instrument().linesExecuted();
    EXPECT_EQ(dlxVmrGetScansCount(1, nullptr), -2);
    EXPECT_EQ(dlxVmrScansCount(1, nullptr), -2);
    EXPECT_EQ(dlxVmrScansGet(1, 1, nullptr), -2);
    EXPECT_EQ(session.instrument().linesExecuted(), before);
}

TEST(ScanApi, StartAndStopSequencesOnTheWire) {
    ScriptedSession session;
    auto& peer = session.instrument;
    EXPECT_EQ(dlxVmrScansEnable(1, 2), 1);
    EXPECT_EQ(dlxVmrScansEnable(1, 0), 1);
    EXPECT_EQ(dlxVmrScansClear(1), 1);
    EXPECT_EQ(dlxVmrPCCardScansClear(1), 1);
    const auto m = peer.messages();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[1], "*CLS\r\nFORmat:READing:TIME 1\r\nSYST:ERR?\r\nFORMat:READing:ALARm ON\r\n"
                    "SYST:ERR?\r\nSYSTem:KLOCk ON\r\nSYST:ERR?\r\nINIT\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[2], "*CLS\r\nSYSTem:KLOCk OFF\r\nSYST:ERR?\r\nABORt\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[3], "*CLS\r\nDATA:CLE\r\nSYST:ERR?\r\n");
    EXPECT_EQ(m[4], m[3]);
}

TEST(ScanApi, TimedScansAreFetchedIntoTheRecord) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {101, 102, 103});
    sim::setChannelValue(in, 101, 1.5);
    sim::setChannelValue(in, 102, -2.25);
    sim::setChannelValue(in, 103, 1e38); // overload
    in.execute("TRIG:TIM 1");
    in.execute("TRIG:COUN 0"); // until stopped

    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_TRUE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "1");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "256");
    sim::advanceClock(in, 2500); // sweeps at 0, 1 and 2 seconds

    int count = -1;
    EXPECT_EQ(dlxVmrGetScansCount(1, &count), 1);
    EXPECT_EQ(count, 3);
    count = -1;
    EXPECT_EQ(dlxVmrScansCount(1, &count), 1);
    EXPECT_EQ(count, 3);

    ScanBuffer buffer(10, 3);
    ScanRecord* r = buffer.record();
    ASSERT_EQ(dlxVmrScansGet(1, 2, r), 1);
    EXPECT_EQ(r->scanCount, 2);
    EXPECT_EQ(r->scansRemaining, 1);
    EXPECT_EQ(r->entrySize, 64);
    for (int n = 0; n < 2; ++n) {
        const ScanEntry& e = buffer.entry(n);
        EXPECT_EQ(e.year, 26);
        EXPECT_EQ(e.month, 3);
        EXPECT_EQ(e.day, 7);
        EXPECT_EQ(e.hour, 9);
        EXPECT_EQ(e.minute, 5);
        EXPECT_EQ(e.second, 3 + n);
        EXPECT_EQ(e.fraction, 42);
        EXPECT_EQ(buffer.reading(n, 0), 1.5f);
        EXPECT_EQ(buffer.reading(n, 1), -2.25f);
        EXPECT_EQ(buffer.reading(n, 2), kInf);
    }

    // Stopping: no further sweeps, keys unlocked.
    ASSERT_EQ(dlxVmrScansEnable(1, 0), 1);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "0");
    sim::advanceClock(in, 5000);
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(r->scanCount, 1);
    EXPECT_EQ(r->scansRemaining, 0);
    EXPECT_EQ(buffer.entry(0).second, 5);

    // Nothing held: only the count query goes out.
    const auto before = in.linesExecuted();
    ASSERT_EQ(dlxVmrScansGet(1, 10, r), 1);
    EXPECT_EQ(r->entrySize, 12);
    EXPECT_EQ(r->scanCount, 0);
    EXPECT_EQ(r->scansRemaining, 0);
    EXPECT_EQ(in.linesExecuted() - before, 1u);
}

TEST(ScanApi, TriggerCountEndsScanningAndInstrumentRefusals) {
    ScanningInstrument s;
    auto& in = s.in();
    // No channel to scan: the instrument refuses "INIT".
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -221);
    EXPECT_EQ(errorString(-221), "INIT => \"Settings conflict");

    sim::setScanChannels(in, {201});
    in.execute("TRIG:COUN 2");
    ASSERT_EQ(dlxVmrScansEnable(1, 1), 1);
    EXPECT_EQ(dlxVmrScansEnable(1, 1), -213); // already scanning
    sim::advanceClock(in, 10000);
    EXPECT_FALSE(sim::scanning(in));
    EXPECT_EQ(ask(in, "STAT:OPER?"), "0");
    int count = 0;
    EXPECT_EQ(dlxVmrGetScansCount(1, &count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(dlxVmrScansClear(1), 1);
    EXPECT_EQ(dlxVmrGetScansCount(1, &count), 1);
    EXPECT_EQ(count, 0);
    sim::storeScans(in, 3);
    EXPECT_EQ(dlxVmrPCCardScansClear(1), 1);
    EXPECT_EQ(sim::storedScanCount(in), 0u);
}

TEST(ScanApi, ReadingValuesAndOverloads) {
    ScanningInstrument s;
    auto& in = s.in();
    sim::setScanChannels(in, {101, 102, 103, 104});
    sim::setChannelValue(in, 101, -1e38);
    sim::setChannelValue(in, 102, std::numeric_limits<double>::quiet_NaN());
    sim::setChannelValue(in, 103, 123456.7);
    sim::setChannelValue(in, 104, -0.000123);
    in.execute("FORM:READ:TIME 1");
    in.execute("FORM:READ:ALAR 1");
    sim::storeScans(in, 1);
    ScanBuffer buffer(1, 4);
    ASSERT_EQ(dlxVmrScansGet(1, 1, buffer.record()), 1);
    EXPECT_EQ(buffer.reading(0, 0), -kInf);
    EXPECT_EQ(buffer.reading(0, 1), 9.91e37f);
    EXPECT_EQ(buffer.reading(0, 2), 123456.7f);
    EXPECT_EQ(buffer.reading(0, 3), -0.000123f);
}

TEST(ScanApi, QueriesTravelInOneWriteAndRemainingIsReported) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"10", "4"});
    peer.script("DATA:READ?", {"1.0,0,2026,3,7,9,5,3.5"});
    ScanBuffer buffer(10, 1);
    ASSERT_EQ(dlxVmrScansGet(1, 4, buffer.record()), 1);
    EXPECT_EQ(buffer.record()->scanCount, 4);
    EXPECT_EQ(buffer.record()->scansRemaining, 6);
    EXPECT_EQ(buffer.entry(3).fraction, 5);
    ASSERT_EQ(dlxVmrScansGet(1, 10, buffer.record()), 1);
    EXPECT_EQ(buffer.record()->scanCount, 4);
    EXPECT_EQ(buffer.record()->scansRemaining, 0);
    const auto m = peer.messages();
    std::string four;
    for (int i = 0; i < 4; ++i)
        four += "DATA:READ?\r\n";
    EXPECT_EQ(m[2], four);
    EXPECT_EQ(m[4], four);
}

TEST(ScanApi, BadRepliesStopTheFetchAndKeepTheScansBefore) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"3"});
    const std::string good = "1,2,0,2026,3,7,9,5,3.5";
    peer.script("DATA:READ?", {good, "1,2,0,2026,x,7,9,5,3.5", good,   // first fetch
                               good, "1,2,3,0,2026,3,7,9,5,3.5", good, // second fetch
                               "9.910000E+37"});
    ScanBuffer buffer(3, 3);
    ScanRecord* r = buffer.record();
    // A time field that is not a number.
    EXPECT_EQ(dlxVmrScansGet(1, 3, r), -1);
    EXPECT_EQ(errorString(-1), "Invalid response received");
    EXPECT_EQ(r->scanCount, 1);
    EXPECT_EQ(r->entrySize, 60); // the stored scan's stride is kept
    // A scan with another number of readings than the first.
    EXPECT_EQ(dlxVmrScansGet(1, 3, r), -1);
    EXPECT_EQ(r->scanCount, 1);
    EXPECT_EQ(r->entrySize, 60);
    // The instrument's not-a-number answer: no scan.
    EXPECT_EQ(dlxVmrScansGet(1, 1, r), -1);
    EXPECT_EQ(errorString(-1), "Invalid response: 9.910000E+37");
    EXPECT_EQ(r->scanCount, 0);
}

TEST(ScanApi, CountRepliesAndFailures) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"+25", "abc", "-3", "99999999999", ScriptedInstrument::kSilent});
    int count = -1;
    EXPECT_EQ(dlxVmrGetScansCount(1, &count), 1);
    EXPECT_EQ(count, 25);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dlxVmrScansCount(1, &count), -2035);
        EXPECT_EQ(count, 25);
    }
    ScanBuffer buffer(1, 1);
    buffer.fill(0xA5A5A5A5u);
    // An unreadable count leaves the record alone.
    peer.script("DATA:POIN?", {"none"});
    EXPECT_EQ(dlxVmrScansGet(1, 1, buffer.record()), -2035);
    EXPECT_EQ(static_cast<std::uint32_t>(buffer.record()->entrySize), 0xA5A5A5A5u);
    // A count query that fails gives -1012.
    peer.script("DATA:POIN?", {ScriptedInstrument::kSilent});
    dlxVmrTimeoutSet(1);
    EXPECT_EQ(dlxVmrGetScansCount(1, &count), -1015);
    EXPECT_EQ(count, 25);
    EXPECT_EQ(dlxVmrScansGet(1, 1, buffer.record()), -1012);
    EXPECT_EQ(static_cast<std::uint32_t>(buffer.record()->entrySize), 0xA5A5A5A5u);
}

TEST(ScanApi, ReadingTimeoutIsNotRetried) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("DATA:POIN?", {"2"});
    peer.script("DATA:READ?", {"1,0,2026,3,7,9,5,3", ScriptedInstrument::kSilent});
    dlxVmrTimeoutSet(1);
    ScanBuffer buffer(2, 1);
    EXPECT_EQ(dlxVmrScansGet(1, 2, buffer.record()), -1015);
    EXPECT_EQ(buffer.record()->scanCount, 0);
    EXPECT_EQ(peer.count("DATA:READ?"), 2); // one exchange, no second attempt
}

TEST(ScanApi, ThousandsOfScansInOneFetch) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    std::vector<int> channels;
    for (int c = 101; c <= 120; ++c)
        channels.push_back(c);
    sim::setScanChannels(in, channels);
    in.execute("FORM:READ:TIME 1");
    in.execute("FORM:READ:ALAR 1");
    sim::setChannelValue(in, 120, 7.25);
    sim::storeScans(in, 3000);
    ScanBuffer buffer(3000, 20);
    ASSERT_EQ(dlxVmrScansGet(1, 5000, buffer.record()), 1);
    EXPECT_EQ(buffer.record()->scanCount, 3000);
    EXPECT_EQ(buffer.record()->entrySize, 52 + 80);
    EXPECT_EQ(buffer.reading(2999, 19), 7.25f);
    EXPECT_EQ(sim::storedScanCount(in), 0u);
}

TEST(ScanApi, ReadingsIgnoreADecimalCommaLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no decimal-comma locale installed";
    const std::locale savedGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    {
        ScanningInstrument s;
        auto& in = s.in();
        sim::setScanChannels(in, {101, 102});
        sim::setChannelValue(in, 101, 1.5);
        sim::setChannelValue(in, 102, -1234.25);
        in.execute("FORM:READ:TIME 1");
        in.execute("FORM:READ:ALAR 1");
        sim::storeScans(in, 2);
        ScanBuffer buffer(2, 2);
        EXPECT_EQ(dlxVmrScansGet(1, 2, buffer.record()), 1);
        EXPECT_EQ(buffer.reading(1, 0), 1.5f);
        EXPECT_EQ(buffer.reading(1, 1), -1234.25f);
        EXPECT_EQ(buffer.entry(1).fraction, 42);
    }
    std::locale::global(savedGlobal);
    std::setlocale(LC_ALL, saved.c_str());
}
