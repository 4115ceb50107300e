// Data files: the reader on texts the tests write, read in large blocks (the
// block line reader against the one line splitter, reads through the line
// index against readDataText on the whole text), the line splitter and the
// paths of sibling files. Whole recordings are read back through the
// exported file functions (UsbDriveFilesTest).
#include "logdata/DataFileIndex.h"
#include "ScanBuffer.h"
#include "TempDir.h"
#include "core/Status.h"
#include "core/Text.h"
#include "logdata/DataFileReader.h"
#include "logdata/DriveFiles.h"
#include "logdata/FileLines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using korda::test::ScanBuffer;
using korda::test::TempDir;
using namespace korda32ex::logdata;
using namespace korda32ex;

namespace {

// Lines of many lengths with every kind of break: CR LF, LF CR, LF, lone CR,
// doubled breaks and empty lines, one line far longer than a small block,
// and an unterminated tail.
std::string mixedText() {
    const char* breaks[] = {"\r\n", "\n", "\r", "\n\r", "\n\n", "\r\r"};
    std::string t;
    for (int i = 0; i < 400; ++i) {
        t += std::string(static_cast<std::size_t>((i * 37) % 150), static_cast<char>('a' + i % 26));
        if (i == 123) t += std::string(1000, 'L');
        t += breaks[i % 6];
        if (i % 17 == 0) t += "\r\n"; // an empty line
    }
    return t + "tail without a line end";
}

// Header and `n` scans of two readings; k-th scan has second k % 60.
std::string dataText(int n, const std::string& between = "") {
    std::string t = "Record #,Time,Ch101,Ch102,Status,Check\r\n";
    for (int k = 1; k <= n; ++k) {
        t += std::to_string(k) + ",2024-05-06 12:" + std::to_string(k / 60 % 60) + ":" +
             std::to_string(k % 60) + ".25," + std::to_string(k) + ".5,-" + std::to_string(k) +
             ",0,ABCDE\r\n";
        if (k % 50 == 7) t += between;
    }
    return t;
}

void setTime(const TempDir& dir, const std::string& name, int secondsBack) {
    std::filesystem::last_write_time(dir.file(name), std::filesystem::file_time_type::clock::now() -
                                                         std::chrono::seconds(secondsBack));
}

} // namespace

TEST(FileLines, BlocksGiveTheLinesOfTheWholeText) {
    TempDir dir;
    const std::string text = mixedText();
    dir.write("t.csv", text);
    const std::vector<std::string_view> expected = splitLines(text);
    const platform::ReadOnlyFile file(dir.wideFile("t.csv").c_str());
    ASSERT_TRUE(file.isOpen());
    // Every block size in a range puts breaks, pairs of breaks and the long
    // line across block boundaries in every way.
    for (std::size_t block = 64; block < 160; ++block) {
        FileLines lines(file, 0, SIZE_MAX, block);
        std::string_view line;
        std::uint64_t offset = 0;
        std::size_t n = 0;
        while (lines.next(line, offset)) {
            ASSERT_LT(n, expected.size()) << block;
            EXPECT_EQ(line, expected[n]) << block << " line " << n;
            EXPECT_EQ(offset, static_cast<std::uint64_t>(expected[n].data() - text.data()));
            ++n;
        }
        EXPECT_FALSE(lines.failed());
        EXPECT_EQ(n, expected.size()) << block;
        EXPECT_EQ(lines.rest(), "tail without a line end") << block;
        EXPECT_EQ(lines.bytesRead(), text.size());
    }
    // A line beyond the limit ends the reading as a failure.
    FileLines limited(file, 0, 500, 64);
    std::string_view line;
    std::uint64_t offset = 0;
    while (limited.next(line, offset))
        EXPECT_LE(line.size(), 502u);
    EXPECT_TRUE(limited.failed());
    // A directory opens but cannot be read.
    const platform::ReadOnlyFile directory(dir.wide().c_str());
    if (directory.isOpen()) {
        FileLines none(directory);
        EXPECT_FALSE(none.next(line, offset));
        EXPECT_TRUE(none.failed());
    }
}

TEST(DataFileIndex, PortionsThroughTheIndexEqualTheWholeText) {
    TempDir dir;
    // Empty and no-error lines among the scans shift the file's lines
    // against the scan numbers.
    const std::string text = dataText(700, "\r\n0,\"No error\"\r\n\n");
    dir.write("dat00001.csv", text);
    setTime(dir, "dat00001.csv", 60);
    const std::wstring path = dir.wideFile("dat00001.csv");
    DataFileIndexCache cache(0);
    for (const int portion : {1, 63, 64, 65, 250, 1000}) {
        ScanBuffer got(1000, 2, 0xAAAAAAAAu), want(1000, 2, 0xAAAAAAAAu);
        int start = 0;
        for (int call = 0; call < 800; ++call) {
            want.record()->entrySize = 12;
            const int expected = readDataText(text, start, portion, *want.record());
            const int n = readDataFile(path, start, portion, *got.record(), cache);
            EXPECT_EQ(n, expected > 0 ? expected : status::kTooManyScans)
                << portion << " " << start;
            ASSERT_EQ(got.words, want.words) << portion << " " << start;
            if (n <= 0 || got.record()->scansRemaining == 0) break;
            start += n;
        }
        EXPECT_EQ(start + got.record()->scanCount, 700) << portion;
        EXPECT_NE(cache.find(path,
                             [&] {
                                 platform::FileStamp s;
                                 platform::ReadOnlyFile(path.c_str()).stamp(s, 0);
                                 return s;
                             }()),
                  nullptr);
    }
}

TEST(DataFileIndex, AChangedFileIsReadAfresh) {
    TempDir dir;
    const std::wstring path = dir.wideFile("dat00001.csv");
    DataFileIndexCache cache(0);
    ScanBuffer b(10, 2);
    dir.write("dat00001.csv", dataText(300));
    setTime(dir, "dat00001.csv", 60);
    ASSERT_EQ(readDataFile(path, 0, 10, *b.record(), cache), 10);
    ASSERT_EQ(readDataFile(path, 280, 10, *b.record(), cache), 10);
    EXPECT_EQ(b.reading(0, 0), 281.5f);

    // The same size, other readings and a modification time of its own.
    std::string other = dataText(300);
    for (std::size_t p = other.find(".5,"); p != std::string::npos; p = other.find(".5,", p + 1))
        other[p + 1] = '7';
    dir.write("dat00001.csv", other);
    setTime(dir, "dat00001.csv", 30);
    b.record()->scansRemaining = 20;
    ASSERT_EQ(readDataFile(path, 280, 10, *b.record(), cache), 10);
    EXPECT_EQ(b.reading(0, 0), 281.7f);

    // Fewer lines: the old line offsets would read past the end.
    dir.write("dat00001.csv", dataText(100));
    b.record()->scansRemaining = 20;
    EXPECT_EQ(readDataFile(path, 280, 10, *b.record(), cache), status::kTooManyScans);
    EXPECT_EQ(b.record()->scanCount, 0);
}

TEST(DataFileIndex, HeaderTextAndFreshFiles) {
    TempDir dir;
    const std::wstring path = dir.wideFile("dat00001.csv");
    ScanBuffer b(10, 2, 0x55555555u);
    // Without the header text the record stays as it was.
    std::string text = dataText(5);
    text.replace(0, 8, "Recorded");
    dir.write("dat00001.csv", text);
    DataFileIndexCache cache(0);
    EXPECT_EQ(readDataFile(path, 0, 3, *b.record(), cache), status::kBadFile);
    EXPECT_EQ(b.record()->entrySize, 0x55555555);
    EXPECT_EQ(readDataFile(path, 0, 3, *b.record(), cache), status::kBadFile); // indexed

    // The header text found only after the scans, even in the unterminated
    // tail: the scans before it are read all the same.
    for (const char* tail : {"Record #,Time,\r\n", "x,Record #,Time,"}) {
        ScanBuffer want(10, 2), got(10, 2);
        want.record()->entrySize = 12;
        EXPECT_EQ(readDataText(text + tail, 0, 3, *want.record()), 3);
        dir.write("dat00001.csv", text + tail);
        setTime(dir, "dat00001.csv", 90);
        EXPECT_EQ(readDataFile(path, 0, 3, *got.record(), cache), 3) << tail;
        EXPECT_EQ(got.words, want.words) << tail;
    }

    // A file written just now is read right but not indexed.
    DataFileIndexCache slow(60000);
    dir.write("dat00001.csv", dataText(200));
    EXPECT_EQ(readDataFile(path, 0, 10, *b.record(), slow), 10);
    EXPECT_EQ(readDataFile(path, 10, 10, *b.record(), slow), 10);
    EXPECT_EQ(b.record()->scansRemaining, 180);
    platform::FileStamp stamp;
    ASSERT_TRUE(platform::ReadOnlyFile(path.c_str()).stamp(stamp, 60000));
    EXPECT_FALSE(stamp.settled);
    EXPECT_EQ(slow.find(path, stamp), nullptr);
    // Missing and empty files.
    EXPECT_EQ(readDataFile(dir.wideFile("absent.csv"), 0, 1, *b.record(), cache), status::kBadFile);
    dir.write("dat00001.csv", "");
    EXPECT_EQ(readDataFile(path, 0, 1, *b.record(), cache), status::kBadFile);
}

namespace {

// Header and `n` scans; scan k (from 1) has second k and readings k and -k.
std::string readerText(int n) {
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
    EXPECT_TRUE(countScans(readerText(3) + "\r\n\r\n\r\n0,\"No error\"\r\n", count));
    EXPECT_EQ(count, 3);
    // A text of empty lines only never counts below zero.
    EXPECT_FALSE(countScans("\n\n\n\n\n\n", count));
    EXPECT_EQ(count, 0);
    // A last line without its line end is not a line.
    EXPECT_TRUE(countScans(readerText(3) + "4,2024-05-06 12:00:04,1,2,0,ABCDE", count));
    EXPECT_EQ(count, 3);
}

TEST(DataFileReader, ContinuationNeverReadsPastTheText) {
    const std::string text = readerText(5) + "0,\"No error\"\r\n";
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

namespace {
std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    for (auto l : splitLines(text))
        out.emplace_back(l);
    return out;
}
} // namespace

TEST(TextLines, LineEndsOfEveryKind) {
    using V = std::vector<std::string>;
    EXPECT_EQ(lines("a\r\nb\n\rc\rd\n"), (V{"a", "b", "c", "d"}));
    // Two equal line ends in a row are one break; a third starts an empty line.
    EXPECT_EQ(lines("a\n\nb\n"), (V{"a", "b"}));
    EXPECT_EQ(lines("a\n\n\nb\n"), (V{"a", "", "b"}));
    // Text after the last line end is not a line.
    EXPECT_EQ(lines("a\nlast"), (V{"a"}));
    EXPECT_EQ(lines("\n"), (V{""}));
}

TEST(TextLines, SiblingPathsCutBeforeTheLastSeparator) {
    EXPECT_EQ(siblingPath(L"/usb/run1/dat00001.csv", L"\\setup.csv"), L"/usb/run1\\setup.csv");
    EXPECT_EQ(siblingPath(L"D:\\usb\\run1\\", L"\\setup.csv"), L"D:\\usb\\run1\\setup.csv");
    EXPECT_EQ(siblingPath(L"run1", L"\\setup.csv"), L".\\setup.csv");
}
