#include "logdata/SetupFileParser.h"
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "TestSupport.h"
#include "Transcript.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using namespace korda32ex::logdata;
using korda::test::text16;
using korda::test::zeroRecord;

namespace {

// An analog row of the model's width (b + 23 cells of "(n/a)") with the given
// cells set; cells given relative to b are added to b.
std::string analogRow(const std::string& model, std::map<int, std::string> cells,
                      std::map<int, std::string> afterB = {}, std::size_t width = 0) {
    const int b = model == "7043A" ? 7 : 9;
    std::vector<std::string> v(width ? width : b + 23, "(n/a)");
    for (auto& [i, t] : cells)
        v[i] = t;
    for (auto& [i, t] : afterB)
        v[b + i] = t;
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i)
        s += (i ? "," : "") + v[i];
    return s + "\r\n";
}

std::string header(const std::string& model) {
    // Ends in the "Test Setup" section, so that a row appended is one of its rows.
    return "Instrument,,,\r\nMaker,Model,Serial,Firmware\r\nX," + model +
           ",1,1\r\nTest Setup,,,,\r\nt0,t1,t2,t3,t4,t5,t6,t7,t8,t9,t10,t11,t12\r\n";
}

std::string analogSection(const std::string& rows) {
    return "Analog Channels,,,\r\ntitles,a,b\r\n" + rows;
}

} // namespace

TEST(SetupFileParser, NormalizeModel) {
    EXPECT_EQ(normalizeModel("KX-5129A/2"), "5129A");
    EXPECT_EQ(normalizeModel("7043"), "7043A");
    EXPECT_EQ(normalizeModel("5129 and 7043"), "5129A");
    EXPECT_EQ(normalizeModel("9999"), "");
}

// The cases of golden/setup-files.txt (see its head for the form);
// KORDA_UPDATE_GOLDEN=1 prints each case's record as parsed.
TEST(SetupFileParser, Transcripts) {
    for (const auto& c : korda::test::readTranscript("setup-files.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        std::string before, text, after;
        for (const auto& [kind, line] : c.lines) {
            if (kind == '@') before += line.substr(7) + "\n"; // "record ..."
            if (kind == '<') text += line + "\r\n";
            if (kind == '=') after += line + "\n";
        }
        auto r = korda::test::recordFromText(before);
        const bool refused = !c.all('!').empty();
        EXPECT_EQ(parseSetupText(text, *r), !refused);
        if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr) {
            std::printf("%s---\n", korda::test::recordText(*r).c_str());
            continue;
        }
        const auto expected = korda::test::recordFromText(refused ? before : after);
        EXPECT_EQ(korda::test::recordText(*r), korda::test::recordText(*expected));
        EXPECT_EQ(std::memcmp(r.get(), expected.get(), sizeof *r), 0)
            << "a byte outside the fields";
    }
}

TEST(SetupFileParser, UntrustedRowsNeverWriteOutsideTheRecord) {
    // Sentinels around the record catch any write beyond it.
    struct Guarded {
        unsigned char before[4096];
        VmrInstConfig c;
        unsigned char after[4096];
    };
    auto g = std::make_unique<Guarded>();
    std::memset(g.get(), 0x5A, sizeof *g);
    const VmrInstConfig original = g->c;
    std::string rows;
    for (const char* addr : {"Ch723", "Ch023", "Ch100", "Ch1x1", "C1", "", "Ch9999", "ab-12"})
        rows += analogRow("7043A", {{0, addr}, {2, "VOLT"}});
    rows += analogRow("7043A", {{0, "Ch101"}, {2, "VOLT"}}, {}, 28); // one cell short
    std::string math = "Math Channels,\r\nt,a,b\r\n";
    for (const char* addr : {"Ch500", "Ch521", "Ch5", "Ch599"})
        math += std::string(addr) + ",n,x,SUM,y,1,2,3,4,5,6,7,Ch101\r\n";
    math += "Ch501,n,x,SUM,y,1,2,3,4,5,6,7,Ch600 Ch133 Ch100 x Ch1\r\n";
    ASSERT_TRUE(parseSetupText(header("7043A") + analogSection(rows) + math, g->c));
    for (unsigned char b : g->before)
        ASSERT_EQ(b, 0x5A);
    for (unsigned char b : g->after)
        ASSERT_EQ(b, 0x5A);
    // Only channel 501's row was usable, with an empty source list.
    VmrInstConfig expected = original;
    ComputedChannelRecord& m = expected.computed[0];
    m.function = 0x500E;
    for (int k = 0; k < 7; ++k)
        m.coefficients[k] = k + 1;
    std::memset(m.sourceList, 0, sizeof m.sourceList);
    m.name[0] = 'n';
    m.name[1] = 0;
    EXPECT_EQ(std::memcmp(&expected, &g->c, sizeof expected), 0);
}

TEST(SetupFileParser, NumbersIgnoreADecimalCommaLocale) {
    korda::test::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no decimal-comma locale installed";
    auto z = zeroRecord();
    const std::string rows =
        analogRow("7043A", {{0, "Ch101"}, {1, "Temp\xC2\xB0"}, {2, "VOLT"}, {3, "0.5"}},
                  {{14, "2.5e1"}, {18, "-1.25"}, {17, "LOW"}});
    ASSERT_TRUE(parseSetupText(header("7043A") + analogSection(rows), *z));
    const ChannelRecord& ch = z->modules[0].channels[0];
    EXPECT_EQ(std::tuple(ch.delay, ch.scaleM, ch.alarm1Limit), std::tuple(0.5, 25.0, -1.25));
    // UTF-8 text in a UTF-8 locale arrives as one code unit per character.
    EXPECT_EQ(ch.name[4], 0xB0);
    EXPECT_EQ(ch.name[5], 0);
}
