#include "logdata/DataFileReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace korda32ex::logdata;

namespace {

// A scan buffer for up to `scans` scans of `readings` readings.
struct Buffer {
    std::vector<std::uint64_t> storage;
    Buffer(int scans, int readings) : storage(DLXVMR_SCAN_BUFFER_SIZE(scans, readings) / 8 + 1, 0) {
        record()->entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
    }
    ScanRecord* record() { return reinterpret_cast<ScanRecord*>(storage.data()); }
    const ScanEntry* entry(int n) {
        const ScanRecord* r = record();
        return reinterpret_cast<const ScanEntry*>(reinterpret_cast<const char*>(r) +
                                                  DLXVMR_SCAN_RECORD_HEADER_SIZE +
                                                  static_cast<std::size_t>(r->entrySize) * n);
    }
    float reading(int n, int i) {
        float v;
        std::memcpy(&v, reinterpret_cast<const char*>(entry(n)) + 52 + 4 * i, 4);
        return v;
    }
};

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
    EXPECT_FALSE(countScans("", count));
    EXPECT_EQ(count, 0);
    count = -1;
    EXPECT_FALSE(countScans("Record #,Time,Ch101\r\n", count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(countScans(dataText(3), count));
    EXPECT_EQ(count, 3);
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

TEST(DataFileReader, ContinuationReadsFourFourTwo) {
    const std::string text = dataText(10) + "0,\"No error\"\r\n";
    Buffer b(10, 2);
    ScanRecord* r = b.record();

    ASSERT_EQ(readDataText(text, 0, 4, *r), 4);
    EXPECT_EQ(r->scanCount, 4);
    EXPECT_EQ(r->scansRemaining, 6);
    EXPECT_EQ(b.entry(0)->second, 1);
    EXPECT_EQ(b.entry(3)->second, 4);

    r->entrySize = 12;
    ASSERT_EQ(readDataText(text, 4, 4, *r), 4);
    EXPECT_EQ(r->scansRemaining, 2);
    EXPECT_EQ(b.entry(0)->second, 5);
    EXPECT_EQ(b.entry(3)->second, 8);

    r->entrySize = 12;
    ASSERT_EQ(readDataText(text, 8, 4, *r), 2);
    EXPECT_EQ(r->scansRemaining, 0);
    EXPECT_EQ(b.entry(0)->second, 9);
    EXPECT_EQ(b.entry(1)->second, 10);
    EXPECT_FLOAT_EQ(b.reading(1, 0), 10.0f);
    EXPECT_FLOAT_EQ(b.reading(1, 1), -10.0f);

    // Nothing is left: a further continuation reads nothing.
    r->entrySize = 12;
    EXPECT_EQ(readDataText(text, 10, 4, *r), 0);

    // All at once when the count covers the file.
    r->entrySize = 12;
    EXPECT_EQ(readDataText(text, 0, 50, *r), 10);
    EXPECT_EQ(r->scansRemaining, 0);
}

TEST(DataFileReader, ContinuationNeverReadsPastTheText) {
    const std::string text = dataText(5);
    Buffer b(10, 2);
    ScanRecord* r = b.record();
    // The caller claims more remaining scans than the file holds.
    r->scansRemaining = 100;
    EXPECT_EQ(readDataText(text, 3, 10, *r), 2);
    EXPECT_EQ(r->scansRemaining, 90);
    // A negative remaining count reads nothing.
    r->entrySize = 12;
    r->scansRemaining = -7;
    EXPECT_EQ(readDataText(text, 1, 10, *r), 0);
    EXPECT_EQ(r->scansRemaining, 0);
}

TEST(DataFileReader, FieldsOfALine) {
    const std::string text = "Record #,Time,A,B,C,Status,Check\n"
                             "1,2014-05-06 12:34:56.789,9.900000E+37,-inf,0.25,7,QWERT\n";
    Buffer b(1, 3);
    ScanRecord* r = b.record();
    ASSERT_EQ(readDataText(text, 0, 1, *r), 1);
    EXPECT_EQ(r->entrySize, 52 + 12);
    const ScanEntry* e = b.entry(0);
    EXPECT_EQ(e->hour, 12);
    EXPECT_EQ(e->minute, 34);
    EXPECT_EQ(e->second, 56);
    EXPECT_EQ(e->month, 5);
    EXPECT_EQ(e->day, 6);
    EXPECT_EQ(e->year, 14);
    EXPECT_EQ(e->fraction, 789);
    EXPECT_TRUE(std::isinf(b.reading(0, 0)) && b.reading(0, 0) > 0);
    EXPECT_TRUE(std::isinf(b.reading(0, 1)) && b.reading(0, 1) < 0);
    EXPECT_FLOAT_EQ(b.reading(0, 2), 0.25f);
}

TEST(DataFileReader, MalformedLinesEndTheRead) {
    const std::string head = "Record #,Time,A,Status,Check\n"
                             "1,2024-01-02 03:04:05,1.5,0,ABCDE\n";
    const char* bad[] = {
        "2,2024-01-02T03:04:05,1.5,0,ABCDE\n",     // no blank between date and time
        "2,x,2024-01-02 03:04:05,1.5,0,ABCDE\n",   // first pair is not number and date
        "2,2024-01 03:04:05,1.5,0,ABCDE\n",        // date of two parts
        "2,2024-01-02 03:04,1.5,0,ABCDE\n",        // time of two parts
        "2,2024-01-02 03:04:05\n",                 // no reading, further column or code
        "2,2024-01-02 03:xx:05,1.5,0,ABCDE\n",     // a time field that is not a number
        "2,2024-01-02 03:04:05,1.5,2.5,0,ABCDE\n", // another reading count than the scan before
    };
    for (const char* line : bad) {
        Buffer b(3, 2);
        ScanRecord* r = b.record();
        EXPECT_EQ(readDataText(head + line + head.substr(head.find('\n') + 1), 0, 3, *r), 0)
            << line;
        // The scan before the bad line stays stored.
        EXPECT_EQ(r->scanCount, 1) << line;
        EXPECT_EQ(r->entrySize, 56) << line;
    }
}
