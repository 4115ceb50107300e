// The scan line parser and the scan processors on their own.
#include "scan/ScanParser.h"
#include "ScanBuffer.h"
#include "Transcript.h"
#include "scan/EnableScansProcessor.h"
#include "scan/MonitorProcessors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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

} // namespace

// The cases of golden/scan-lines.txt (see its head for the form);
// KORDA_UPDATE_GOLDEN=1 prints each case's record at its end.
TEST(ScanParser, Transcripts) {
    const char* results[] = {"stored", "not a scan", "malformed"};
    for (const auto& c : korda::test::readTranscript("scan-lines.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        Buffer b(8, 154);
        b.record()->scansRemaining = 0;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            if (c.lines[i].kind != '<') continue;
            const auto before = b.words;
            const LineResult r = b.add(c.lines[i].text);
            EXPECT_EQ(results[static_cast<int>(r)], c.lines.at(i + 1).text) << c.lines[i].text;
            if (r != LineResult::Stored) {
                EXPECT_EQ(b.words, before) << c.lines[i].text;
            }
        }
        // The reserved bytes of every entry's header are zero.
        for (int n = 0; n < b.record()->scanCount; ++n)
            for (const int zero : {0, 1, 2, 3, 4, 5, 6, 7, 12, 15, 20, 35, 51})
                EXPECT_EQ(b.bytes(static_cast<std::size_t>(n))[zero], 0) << n << " " << zero;
        if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr)
            std::printf("= %s\n", b.text().c_str());
        else
            EXPECT_EQ(b.text(), c.all('=').at(0));
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

TEST(ScanParser, NoReadingsPastTheRecord) {
    Buffer e(2, 154);
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
