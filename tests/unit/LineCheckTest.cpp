#include "logdata/LineCheck.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <set>
#include <string>

using namespace korda32ex::logdata;
using korda::test::TempDir;

namespace {

// A recording of the virtual instrument written into dir; returns the data
// file's lines with their line ends.
std::vector<std::string> writeDemo(const TempDir& dir, int scans = 6) {
    korda::sim::RecordingOptions o;
    o.scans = scans;
    const auto rec = korda::sim::buildRecording(korda::sim::demoConfiguration(o.model), o);
    EXPECT_TRUE(korda::sim::writeRecording(dir.path().string(), rec));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < rec.dataText.size()) {
        const std::size_t end = rec.dataText.find('\n', start) + 1;
        lines.push_back(rec.dataText.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string join(const std::vector<std::string>& lines) {
    return std::accumulate(lines.begin(), lines.end(), std::string());
}

} // namespace

// Accumulator m starts at (m + 1) x state; character i adds to accumulator
// i % 5, modulo 256; each accumulator picks a letter of the table, and the
// first is the next line's state. Bodies of every length up to 400 put the
// summing in blocks and its tail in every position.
TEST(LineCheck, CodeFollowsThePlainSum) {
    // The table holds the 29 letters "A" to "Z", "a" to "c", and nothing else.
    const std::set<char> letters(lineCheckTable, lineCheckTable + 256);
    EXPECT_EQ(std::string(letters.begin(), letters.end()), "ABCDEFGHIJKLMNOPQRSTUVWXYZabc");
    std::mt19937 random(17);
    for (std::size_t length = 0; length < 400; ++length) {
        std::string body(length, '\0');
        for (char& c : body)
            c = static_cast<char>(random());
        for (const std::uint8_t seed : {0, 1, 200}) {
            unsigned a[5];
            for (unsigned m = 0; m < 5; ++m)
                a[m] = (m + 1u) * seed;
            for (std::size_t i = 0; i < length; ++i)
                a[i % 5] += static_cast<unsigned char>(body[i]);
            std::uint8_t state = seed;
            const auto code = lineCheckCode(body, state);
            EXPECT_EQ(state, static_cast<std::uint8_t>(a[0])) << length;
            for (unsigned m = 0; m < 5; ++m)
                EXPECT_EQ(code[m], lineCheckTable[static_cast<std::uint8_t>(a[m])]) << length;
        }
    }
}

TEST(LineCheck, EveryEditOfALineFails) {
    std::uint8_t writeState = 91;
    const std::string body = "17,2024-05-06 12:00:01.250,1.500000E+00,-2.250000E+01,0";
    const auto code = lineCheckCode(body, writeState);
    const std::string line = body + "," + std::string(code.data(), 5) + "\r\n";

    std::uint8_t state = 91;
    ASSERT_TRUE(checkLine(line, state));
    EXPECT_EQ(state, writeState);
    for (std::size_t i = 0; i < body.size(); ++i) {
        std::string edited = line;
        edited[i] = edited[i] == '7' ? '8' : '7';
        if (edited[i] == ',' || line[i] == ',') continue; // moving the last comma is another line
        EXPECT_FALSE(checkLine(edited, state = 91)) << "edit at " << i;
    }
    // A wrong code character fails; what follows the five is ignored.
    std::string edited = line;
    edited[body.size() + 5] = edited[body.size() + 5] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(checkLine(edited, state = 91));
    EXPECT_TRUE(checkLine(body + "," + std::string(code.data(), 5) + "trailing", state = 91));
}

TEST(LineCheck, ALineWithoutAFullCodeFails) {
    // Without a usable comma a line fails and leaves the state; a comma at the
    // very start does not count.
    std::uint8_t state = 5;
    EXPECT_FALSE(checkLine("no comma at all\r\n", state));
    EXPECT_FALSE(checkLine(",ABCDE", state));
    EXPECT_EQ(state, 5);
    // Fewer than five characters after the last comma fail, even when they
    // match: the state has advanced all the same.
    std::uint8_t w = 5;
    const auto shortCode = lineCheckCode("x", w);
    EXPECT_FALSE(checkLine("x," + std::string(shortCode.data(), 4), state));
    EXPECT_EQ(state, w);
}

TEST(LineCheck, SetupChecksumSumsBytesPieceByPiece) {
    TempDir dir;
    EXPECT_EQ(setupChecksum(dir.wideFile("missing.csv").c_str()), 0);
    EXPECT_EQ(setupChecksum(nullptr), 0);

    dir.write("plain.csv", "AB\r\nC");
    EXPECT_EQ(setupChecksum(dir.wideFile("plain.csv").c_str()),
              ('A' + 'B' + '\r' + '\n' + 'C') & 0xFF);

    // A zero byte ends the sum of its piece; the next line is a new piece.
    dir.write("zero-byte.csv", std::string("ab\0cd\nef", 8));
    EXPECT_EQ(setupChecksum(dir.wideFile("zero-byte.csv").c_str()), ('a' + 'b' + 'e' + 'f') & 0xFF);

    // A long line is read in pieces of 4095 bytes: a zero byte stops the sum
    // only up to the end of its piece.
    std::string longLine(5000, 'x');
    longLine[10] = '\0';
    dir.write("long.csv", longLine);
    const unsigned expected = 10 * 'x' + (5000 - 4095) * 'x';
    EXPECT_EQ(setupChecksum(dir.wideFile("long.csv").c_str()), expected & 0xFF);
}

TEST(LineCheck, RecordingOfTheVirtualInstrumentValidates) {
    TempDir dir;
    const auto lines = writeDemo(dir);
    EXPECT_TRUE(validateDataFile(dir.wideFile("dat00001.csv").c_str()));
    // "\\" separates on every system too.
    EXPECT_TRUE(validateDataFile((dir.path().wstring() + L"\\dat00001.csv").c_str()));
    const auto valid = [&](const std::string& text) {
        dir.write("dat00001.csv", text);
        return validateDataFile(dir.wideFile("dat00001.csv").c_str());
    };
    // Any edit of a data line, a dropped or a reordered line breaks the check;
    // dropping the last line leaves a valid prefix.
    auto edited = lines;
    edited[3][5] = edited[3][5] == '1' ? '2' : '1';
    EXPECT_FALSE(valid(join(edited)));
    auto dropped = lines;
    dropped.erase(dropped.begin() + 2);
    EXPECT_FALSE(valid(join(dropped)));
    EXPECT_TRUE(valid(join({lines.begin(), lines.end() - 1})));
    auto swapped = lines;
    std::swap(swapped[2], swapped[3]);
    EXPECT_FALSE(valid(join(swapped)));
    // The header is not checked, and a header alone has no line to check.
    EXPECT_TRUE(valid("Record #,Time,anything\r\n" + join({lines.begin() + 1, lines.end()})));
    EXPECT_TRUE(valid(lines[0]));
    // An empty line after the data fails (no comma); a last line without its
    // line end is checked too.
    EXPECT_FALSE(valid(join(lines) + "\r\n"));
    std::string noEnd = join(lines);
    noEnd.resize(noEnd.size() - 2);
    EXPECT_TRUE(valid(noEnd));
    noEnd.back() = noEnd.back() == 'A' ? 'B' : 'A';
    EXPECT_FALSE(valid(noEnd));

    // The setup file seeds the chain: another one (one byte more) breaks the
    // first data line; one with the same byte sum passes.
    const std::string setup = dir.read("setup.csv");
    ASSERT_TRUE(valid(join(lines)));
    dir.write("setup.csv", setup + " ");
    EXPECT_FALSE(valid(join(lines)));
    std::string same = setup;
    std::swap(same[0], same[1]);
    dir.write("setup.csv", same);
    EXPECT_TRUE(valid(join(lines)));
    // Without it the chain starts from 0 (this setup's sum is not 0).
    ASSERT_NE(setupChecksum(dir.wideFile("setup.csv").c_str()), 0);
    std::filesystem::remove(dir.file("setup.csv"));
    EXPECT_FALSE(valid(join(lines)));
    dir.write("setup.csv", setup);

    // A bare file name means the current directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool ok = validateDataFile(L"dat00001.csv");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(ok);
}

// An existing file is needed; several megabytes before the last comma end
// the validation quietly.
TEST(LineCheck, ValidationNeedsAnExistingFileOfLinesOfSaneLength) {
    TempDir dir;
    EXPECT_FALSE(validateDataFile(nullptr));
    EXPECT_FALSE(validateDataFile(L""));
    EXPECT_FALSE(validateDataFile(dir.wideFile("absent.csv").c_str()));
    EXPECT_FALSE(validateDataFile(dir.wide().c_str())); // a directory, no file name
    dir.write("huge.csv", "Record #,Time,\r\n" + std::string(3 << 20, 'x') + ",ABCDE\r\n");
    EXPECT_FALSE(validateDataFile(dir.wideFile("huge.csv").c_str()));
}
