// The data file reader on texts the tests write; whole recordings are read
// back through the exported file functions.
#include "logdata/DataFileReader.h"
#include "ScanBuffer.h"

#include <gtest/gtest.h>

#include <string>

using namespace korda32ex::logdata;
using korda::test::ScanBuffer;

namespace {

// Header and `n` scans; scan k (from 1) has second k and readings k and -k.
std::string dataText(int n) {
    std::string t = "Record #,Time,Ch101,Ch102,Status,Check\r\n";
    for (int k = 1; k <= n; ++k)
        t += std::to_string(k) + ",2024-05-06 12:00:" + std::to_string(k) + ".5," +
             std::to_string(k) + ",-" + std::to_string(k) + ",0,ABCDE\r\n";
    return t;
}

} // namespace

TEST(DataFileReader, CountScans) {
    int count = -1;
    EXPECT_FALSE(countScans("Record #,Time,Ch101\r\n", count));
    EXPECT_EQ(count, 0);
    // Empty lines and the no-error reply of a fetched file are not scans.
    EXPECT_TRUE(countScans(dataText(3) + "\r\n\r\n\r\n0,\"No error\"\r\n", count));
    EXPECT_EQ(count, 3);
    // A text of empty lines only never counts below zero.
    EXPECT_FALSE(countScans("\n\n\n\n\n\n", count));
    EXPECT_EQ(count, 0);
    // A last line without its line end is not a line.
    EXPECT_TRUE(countScans(dataText(3) + "4,2024-05-06 12:00:04,1,2,0,ABCDE", count));
    EXPECT_EQ(count, 3);
}

TEST(DataFileReader, ContinuationNeverReadsPastTheText) {
    const std::string text = dataText(5) + "0,\"No error\"\r\n";
    ScanBuffer b(10, 2);
    ScanRecord* r = b.record();
    r->entrySize = 12;
    // The caller claims more remaining scans than the file holds.
    r->scansRemaining = 100;
    EXPECT_EQ(readDataText(text, 3, 10, *r), 2);
    EXPECT_EQ(r->scansRemaining, 90);
    EXPECT_EQ(b.entry(1).second, 5);
    EXPECT_EQ(b.entry(1).fraction, 500); // ".5": milliseconds
    EXPECT_EQ(b.reading(1, 1), -5.0f);
    // Nothing left beyond the end, and a negative remaining count reads nothing.
    r->entrySize = 12;
    EXPECT_EQ(readDataText(text, 5, 4, *r), 0);
    r->scansRemaining = -7;
    EXPECT_EQ(readDataText(text, 1, 10, *r), 0);
    EXPECT_EQ(r->scansRemaining, 0);
}

TEST(DataFileReader, MalformedLinesEndTheRead) {
    const std::string head = "Record #,Time,A,Status,Check\n"
                             "1,2024-01-02 03:04:05,1.5,0,ABCDE\n";
    const char* bad[] = {
        "2,2024-01-02T03:04:05,1.5,0,ABCDE\n",     // no blank between date and time
        "2,x,2024-01-02 03:04:05,1.5,0,ABCDE\n",   // first pair is not number and date
        "2,2024-01-02 03:04:05\n",                 // no reading, further column or code
        "2,2024-01-02 03:04:05,1.5,2.5,0,ABCDE\n", // another reading count than the scan before
    };
    for (const char* line : bad) {
        ScanBuffer b(3, 2);
        ScanRecord* r = b.record();
        r->entrySize = 12;
        EXPECT_EQ(readDataText(head + line + head.substr(head.find('\n') + 1), 0, 3, *r), 0)
            << line;
        // The scan before the bad line stays stored.
        EXPECT_EQ(r->scanCount, 1) << line;
        EXPECT_EQ(r->entrySize, 56) << line;
    }
    // A scan holds at most 153 readings.
    for (const int readings : {153, 154}) {
        std::string line = "1,2024-01-02 03:04:05,";
        for (int i = 0; i < readings; ++i)
            line += "-1.500000E+00,";
        ScanBuffer b(1, 154);
        ScanRecord* r = b.record();
        r->entrySize = 12;
        const bool fits = readings == 153;
        EXPECT_EQ(readDataText("Record #,Time,\n" + line + "0,ABCDE\n", 0, 1, *r), fits ? 1 : 0);
        EXPECT_EQ(b.reading(0, 152), fits ? -1.5f : 0.0f);
    }
}
