// The scan line parser and the scan processors on their own.
#include "scan/ScanParser.h"
#include "ScanBuffer.h"
#include "scan/EnableScansProcessor.h"
#include "scan/MonitorProcessors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace korda32ex;
using scan::LineResult;
using scan::storeScanLine;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// A record filled with a pattern, as a fetch hands it to the parser.
struct Buffer : korda::test::ScanBuffer {
    explicit Buffer(std::size_t scans = 3, std::size_t readings = 3)
        : ScanBuffer(scans, readings, 0xDEADBEEFu) {
        record()->entrySize = 12;
        record()->scanCount = 0;
    }
    const unsigned char* bytes(std::size_t n) {
        return reinterpret_cast<const unsigned char*>(&entry(n));
    }
    // Stores and counts a line as a fetch does.
    LineResult add(const std::string& line) {
        const LineResult r = storeScanLine(line, *record());
        if (r == LineResult::Stored) ++record()->scanCount;
        return r;
    }
};

std::string readings(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::to_string(i) + ",";
    return s;
}

} // namespace

TEST(ScanParser, EntriesFollowEachOtherAtTheStride) {
    Buffer b(8);
    ASSERT_EQ(b.add("1,2,3,0,2014,5,6,12,34,56.789"), LineResult::Stored);
    EXPECT_EQ(b.record()->entrySize, 64);
    EXPECT_EQ(b.stamp(0), std::tuple(14, 5, 6, 12, 34, 56, 789));
    for (const int zero : {0, 1, 2, 3, 4, 5, 6, 7, 12, 15, 20, 35, 51}) // reserved bytes
        EXPECT_EQ(b.bytes(0)[zero], 0) << zero;
    EXPECT_EQ(b.readings(0), (std::vector<float>{1, 2, 3}));
    // The next entry follows at the stride, with its own year and fraction rules;
    // the further field before the date is not read at all.
    ASSERT_EQ(b.add("4,5,6,0,1999,12,31,23,59,7"), LineResult::Stored);
    EXPECT_EQ(b.stamp(1), std::tuple(255, 12, 31, 23, 59, 7, 0)); // (1999 + 48) mod 256
    EXPECT_EQ(b.readings(1), (std::vector<float>{4, 5, 6}));
    ASSERT_EQ(b.add("1,2,3,anything,2207,1,2,3,4,05.050.9"), LineResult::Stored);
    EXPECT_EQ(b.stamp(2), std::tuple(207, 1, 2, 3, 4, 5, 50));
}

TEST(ScanParser, TheFractionIsInMillisecondsWhateverItsDigits) {
    const std::pair<const char*, int> fractions[] = {
        {"5.011", 11}, {"5.5", 500}, {"5.12345", 123}, {"5.07x", 70}, {"5.000", 0}};
    Buffer b(8);
    int n = 0;
    for (const auto& [seconds, ms] : fractions) {
        ASSERT_EQ(b.add(std::string("1,2,3,0,2020,1,2,3,4,") + seconds), LineResult::Stored);
        EXPECT_EQ(std::get<6>(b.stamp(n++)), ms) << seconds;
    }
}

TEST(ScanParser, ReadingWords) {
    EXPECT_EQ(scan::parseReading("9.900000E+37"), kInf);
    EXPECT_EQ(scan::parseReading("-9.900000e+37"), -kInf);
    EXPECT_EQ(scan::parseReading("9.91E+37"), 9.91e37f);
    EXPECT_EQ(scan::parseReading("  -1.5e-3"), -1.5e-3f);
    EXPECT_EQ(scan::parseReading("7.5V"), 7.5f);
    EXPECT_EQ(scan::parseReading("1e39"), kInf); // beyond the float range
    EXPECT_EQ(scan::parseReading("1e-400"), 0.0f);
    for (const char* word : {"", "abc", "inf", "nan", ".", "-", "e5"})
        EXPECT_EQ(scan::parseReading(word), 9.91e37f) << word;
}

// Readings in the instrument's usual form are read while the line is split;
// every other form, mixed in, must come out as parseReading reads its field,
// from a reply line and from a data-file line alike.
TEST(ScanParser, UsualAndOtherReadingFormsMixInOneLine) {
    const std::vector<std::string> fields = {"1.000000E+00",
                                             "-2.500000e-03",
                                             "1.234567E+001",
                                             "7.5V",
                                             " 3.000000E+00",
                                             "9.900000E+37",
                                             "-9.900000e+37",
                                             "1.000000E+99",
                                             "+4.000000E+00",
                                             "4.000000E+00x",
                                             "-0.000000E+00",
                                             "5.000000E-30",
                                             "",
                                             "-inf",
                                             "6.000000E+22"};
    std::string text;
    std::vector<float> expected;
    for (const std::string& f : fields) {
        text += f + ",";
        expected.push_back(scan::parseReading(f));
    }
    EXPECT_EQ(expected[2], 12.34567f);
    EXPECT_EQ(expected[7], kInf);
    EXPECT_TRUE(std::signbit(expected[10]));
    Buffer b(2, fields.size());
    ASSERT_EQ(b.add(text + "0,2026,3,7,9,5,3.5"), LineResult::Stored);
    const std::vector<float> line = b.readings(0);
    ASSERT_EQ(line.size(), expected.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        EXPECT_EQ(std::memcmp(&line[i], &expected[i], sizeof(float)), 0) << fields[i];

    // The same scan as a data file hands it over: readings text and stamp.
    const std::string_view stamp[6] = {"2026", "3", "7", "9", "5", "3.5"};
    ASSERT_EQ(scan::storeScanLine(text + "0", stamp, *b.record()), LineResult::Stored);
    ++b.record()->scanCount;
    EXPECT_EQ(std::memcmp(b.bytes(0), b.bytes(1), b.record()->entrySize), 0);
}

TEST(ScanParser, ShortLinesWriteNothing) {
    Buffer b;
    EXPECT_EQ(b.add(""), LineResult::NotAScan);
    EXPECT_EQ(b.add("9.910000e+37"), LineResult::NotAScan);
    EXPECT_EQ(b.add("0,2014,5,6,12,34"), LineResult::Malformed); // six fields
    EXPECT_EQ(b.record()->entrySize, 12);
    EXPECT_EQ(b.words[3], 0xDEADBEEFu);                          // nothing written into the entry
    ASSERT_EQ(b.add("0,2014,5,6,12,34,56"), LineResult::Stored); // seven: no readings
    EXPECT_EQ(b.record()->entrySize, 52);
}

TEST(ScanParser, AMalformedLineLeavesTheRecordAlone) {
    Buffer c(2, 2);
    ASSERT_EQ(c.add("1.5,2.5,0,2026,3,7,9,5,3.5"), LineResult::Stored);
    const std::vector<std::uint32_t> before = c.words;
    for (const char* bad : {
             "1,2,0,x2026,3,7,9,5,3",          // year
             "1,2,0,2026,3,7,9,5,3.",          // empty fraction
             "1,2,0,2026,3,7,9,99999999999,3", // beyond int
             "1,0,2026,3,7,9,5,3",             // one reading after scans of two
             "1,2,3,0,2026,3,7,9,5,3",         // three readings after scans of two
         }) {
        EXPECT_EQ(c.add(bad), LineResult::Malformed) << bad;
        EXPECT_EQ(c.words, before) << bad;
    }
    // Blanks and signs are read as strtol reads them.
    EXPECT_EQ(c.add("1,2,0, 2026,+3, 7,9,5,3.5"), LineResult::Stored);
}

TEST(ScanParser, AScanHoldsAtMost153Readings) {
    Buffer d(2, 154);
    const std::string tail = "0,2026,3,7,9,5,3";
    ASSERT_EQ(d.add(readings(153) + tail), LineResult::Stored);
    EXPECT_EQ(d.record()->entrySize, 52 + 4 * 153);
    EXPECT_EQ(d.reading(0, 152), 152.0f);
    Buffer e(2, 154);
    EXPECT_EQ(e.add(readings(154) + tail), LineResult::Malformed);
    EXPECT_EQ(e.add(std::string(100000, ',')), LineResult::Malformed);
    // A record whose stride cannot be right takes nothing.
    e.record()->scanCount = 1;
    e.record()->entrySize = -4000;
    EXPECT_EQ(e.add("1,0,2026,3,7,9,5,3"), LineResult::Malformed);
}

TEST(ScanParser, ProcessorReplies) {
    std::string text;
    int code = 0;
    const auto refused = [&](const char* message) {
        return std::pair(code, text) == std::pair(-1, std::string(message));
    };
    EnableScansProcessor scans(0);
    EXPECT_TRUE(scans.parseResponse(" 768", nullptr, text, code));
    EXPECT_FALSE(scans.parseResponse("255", nullptr, text, code));
    EXPECT_TRUE(refused("Invalid response: 255"));

    float v = 0;
    EXPECT_FALSE(parseMonitorReading("", v, text, code));
    EXPECT_TRUE(refused("Invalid response: "));
}
