#include "logdata/SetupFileParser.h"
#include "ConfigSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

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

TEST(SetupFileParser, TestSetupRow) {
    auto z = zeroRecord();
    z->flags = 0x80 | 0x10 | 0x40; // resume and Fahrenheit stay; continuous is cleared below
    const std::string text = "Test Setup,,\r\ntitles,a,b\r\n"
                             "r,1,2,3,SLOW,ON,6,7,8,OFF,REV,Ch101,Ch222\r\n"
                             "Instrument,\r\ntitles,a,b\r\nx,7043A,y\r\n";
    const auto fields = [](const VmrInstConfig& c) {
        return std::tuple(c.flags, c.autoTriggerOrder, c.autoReferenceChannel,
                          c.autoSecondReferenceChannel);
    };
    ASSERT_TRUE(parseSetupText(text, *z));
    // The model is known from the Instrument row wherever it stands.
    EXPECT_EQ(fields(*z), std::tuple(0x80u | 0x10 | 0x20 | 0x03, 2u, 101u, 222u));

    // "(n/a)" clears a reference channel; a token that is not a reading rate
    // leaves the rate bits alone; "1" and "USB" switch on.
    z->flags = 0;
    ASSERT_TRUE(
        parseSetupText(header("7043A") + "r,1,2,3,TEMP TC,USB,6,7,8,1,LIN,(n/a),bogus\r\n", *z));
    EXPECT_EQ(fields(*z), std::tuple(0x20u | 0x40, 0u, 0u, 222u)); // "bogus": unchanged

    // A 5129A file carries no reference channels.
    ASSERT_TRUE(parseSetupText(header("5129A") + "r,1,2,3,NPLC,ON,6,7,8,1,LIN,Ch102\r\n", *z));
    EXPECT_EQ(fields(*z), std::tuple(0x20u | 0x46, 0u, 0u, 222u));

    // "000", no order chosen, is no token: it leaves the order and the rate
    // as they are.
    z->autoTriggerOrder = 2;
    ASSERT_TRUE(parseSetupText(header("5129A") + "r,1,2,3,000,ON,6,7,8,1,000\r\n", *z));
    EXPECT_EQ(fields(*z), std::tuple(0x20u | 0x46, 2u, 0u, 222u));
}

TEST(SetupFileParser, AnalogRowOf7043A) {
    auto z = zeroRecord();
    z->modules[0].moduleState = VMR_MODULE_ABSENT;
    std::memset(z->channel1.unit, 0x33, sizeof z->channel1.unit);
    ChannelRecord& kept = z->modules[1].channels[21];
    kept.function = 3;
    kept.openDetect = 5;
    kept.alarmFlags = 0x01;
    const std::map<int, std::string> afterB = {
        {0, "ON"},  {1, "WIRE4"}, {2, "A385"},  {6, "100.5"}, {7, "2"},
        {15, "-3"}, {16, "degC"}, {17, "HIGH"}, {20, "LOW"},  {21, "-40"}};
    const std::string rows =
        analogRow("7043A", {{0, "Ch101"}, {1, "Oven"}, {2, "TEMP RTD"}, {3, "0.5"}, {5, "10V"}},
                  afterB) +
        analogRow("7043A", {{0, "Ch222"}, {2, "volt"}, {5, "1mA"}}, {{0, "maybe"}, {17, "OFF"}}) +
        analogRow("7043A", {{0, "Ch001"}, {1, std::string(600, 'n')}});
    ASSERT_TRUE(parseSetupText(header("7043A") + analogSection(rows), *z));
    const ChannelRecord& ch = z->modules[0].channels[0];
    EXPECT_EQ(std::tuple(ch.function, ch.range, ch.delay, ch.openDetect, ch.scaleM, ch.scaleB),
              std::tuple(9u, 81u, 0.5, 1u, 1.0, -3.0)); // "(n/a)" scale factor: 1
    EXPECT_EQ(text16(ch.name), "Oven");
    EXPECT_EQ(text16(ch.unit), "degC");
    EXPECT_EQ(std::tuple(ch.alarmFlags, ch.alarm1Limit, ch.alarm2Limit),
              std::tuple(0x04u | 0x08, 0.0, -40.0));
    EXPECT_EQ(std::vector<double>(ch.sensorCoef, ch.sensorCoef + 7),
              (std::vector<double>{100.5, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ch.nplc, 0.0); // cell 6 of a 7043A row is not used
    EXPECT_EQ(z->modules[0].moduleState, 1u);
    // Unknown tokens keep their fields; bits are only ever set.
    EXPECT_EQ(std::tuple(kept.function, kept.range, kept.openDetect, kept.alarmFlags),
              std::tuple(3u, 49u, 5u, 0x01u));
    // Texts are cut to their field; "(n/a)" is the empty text.
    EXPECT_EQ(text16(z->channel1.name), std::string(255, 'n'));
    EXPECT_EQ(z->channel1.name[255], 0);
    EXPECT_EQ(z->channel1.unit[0], 0);
    EXPECT_EQ(z->channel1.unit[1], 0x3333);
}

TEST(SetupFileParser, AnalogRowOf5129AUsesLaterColumns) {
    auto z = zeroRecord();
    // 101 has the cells of a 7043A row: wiring and sensor are read from cells
    // 10 and 11, which hold nothing useful here.
    const std::string rows =
        analogRow("5129A", {{0, "Ch101"}, {2, "TEMP RTD"}, {3, "0.5"}, {8, "WIRE4"}, {9, "A385"}}) +
        analogRow("5129A", {{0, "Ch305"}, {2, "TEMP THER"}, {3, "0.5"}, {6, "10"}},
                  {{1, "WIRE4"}, {2, "RPOL"}, {6, "1e-3"}}) +
        analogRow("5129A", {{0, "Ch001"}, {2, "TEMP TC"}}, {{2, "POLY"}, {3, "EXT"}}) +
        analogRow("5129A", {{0, "Ch102"}, {2, "TEMP TRTD"}},
                  {{1, "WIRE3"}, {2, "ABC"}, {6, "9"}, {7, "100"}, {8, "0.0039"}, {9, "-5.7e-7"}}) +
        analogRow("5129A", {{0, "Ch103"}, {2, "VOLT"}, {5, ""}}, {{2, "R10K"}}) +
        analogRow("5129A", {{0, "Ch106"}, {2, "FREQ"}, {5, "junk"}});
    ASSERT_TRUE(parseSetupText(header("5129A") + analogSection(rows), *z));
    const auto functionAndRange = [&](int slot, int index) {
        const ChannelRecord& c = slot < 0 ? z->channel1 : z->modules[slot].channels[index];
        return std::pair(c.function, c.range);
    };
    EXPECT_EQ(functionAndRange(0, 0), std::pair(7u, 0u));
    EXPECT_EQ(functionAndRange(2, 4), std::pair(11u, 100u));
    EXPECT_EQ(functionAndRange(-1, 0), std::pair(12u, 0x6F01u));
    EXPECT_EQ(functionAndRange(0, 1), std::pair(8u, 83u));
    EXPECT_EQ(functionAndRange(0, 2), std::pair(1u, 23u)); // empty range: automatic
    EXPECT_EQ(functionAndRange(0, 5), std::pair(13u, 0u)); // unknown range text
    const ChannelRecord& ther = z->modules[2].channels[4];
    EXPECT_EQ(std::tuple(ther.nplc, ther.sensorCoef[0]), std::tuple(10.0, 0.001));
    EXPECT_EQ(z->modules[2].moduleState, 1u);
    EXPECT_EQ(z->channel1.refJunction, 2u);
    // ABC: coefficients from the next three cells.
    const double* abc = z->modules[0].channels[1].sensorCoef;
    EXPECT_EQ(std::vector<double>(abc, abc + 4), (std::vector<double>{100, 0.0039, -5.7e-7, 0}));
}

TEST(SetupFileParser, MathRows) {
    auto z = zeroRecord();
    z->computed[2].sourceList[4] = 0xFFFF;
    const std::string math = "Math Channels,,\r\ntitles,a,b\r\n"
                             "Ch503,Sum of three,x,SUM,y,1,2,3,4,5,6,7,Ch101  Ch203 Ch001 C Ch632 "
                             "Ch532 Ch533 Ch500 Chx01\r\n"
                             "Ch520,Last,x,POW,y,2.5\r\n" // short row: skipped
                             "Ch521,Outside,x,POW,y,1,2,3,4,5,6,7,Ch101\r\n"
                             "Ch520,Last,x,POW,y,2.5,,,,,,,\r\n";
    ASSERT_TRUE(parseSetupText(header("7043A") + math, *z));
    const ComputedChannelRecord& sum = z->computed[2];
    EXPECT_EQ(sum.function, 0x500Eu);
    EXPECT_EQ(text16(sum.name), "Sum of three");
    EXPECT_EQ(std::vector<double>(sum.coefficients, sum.coefficients + 7),
              (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
    // The list is rebuilt from the cell: of the fifth area, Ch532 only.
    EXPECT_EQ(std::vector<std::uint32_t>(sum.sourceList, sum.sourceList + 5),
              (std::vector<std::uint32_t>{0x1, 0x4, 0, 0, 1u << 31}));
    EXPECT_EQ(sum.listHasChannel1, 1u);
    EXPECT_EQ(std::pair(z->computed[19].function, z->computed[19].coefficients[0]),
              std::pair(0x5002u, 2.5));
}

TEST(SetupFileParser, StructureRules) {
    auto z = zeroRecord();
    // Fewer than two lines: false, record untouched.
    EXPECT_FALSE(parseSetupText("Test Setup,\r\n", *z));
    EXPECT_FALSE(parseSetupText("", *z));

    // Rows before the first section, rows of unknown sections, two-cell lines
    // and the title row change nothing; a padded empty line is no row.
    const std::string text = "r,1,2,3,SLOW,ON\r\n"
                             "Test Setup,,,,,\r\n"
                             ",,,,,,\r\n"
                             "t0,t1,t2,t3,SLOW,ON\r\n"
                             "0,\"No error\"\r\n"
                             "Digital I/O\r\n"
                             "t0,t1,t2\r\n"
                             "r,1,2,3,SLOW,ON\r\n"
                             "\r\n";
    ASSERT_TRUE(parseSetupText(text, *z));
    EXPECT_EQ(z->flags, 0u);
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

TEST(SetupFileParser, FileNamingNeitherModelSkipsAnalogRows) {
    auto z = zeroRecord();
    const std::string rows = analogRow("5129A", {{0, "Ch101"}, {2, "VOLT"}});
    // The first Instrument row decides, even when a later one names a model.
    const std::string text =
        "Instrument,\r\nt,a,b\r\nx,9999,z\r\nx,5129A,z\r\n" + analogSection(rows) +
        "Test Setup,\r\nt,a,b\r\nr,1,2,3,FAST,ON,6,7,8,OFF,LIN,Ch101,Ch102\r\n";
    ASSERT_TRUE(parseSetupText(text, *z));
    EXPECT_EQ(z->modules[0].channels[0].function, 0u);
    EXPECT_EQ(z->autoReferenceChannel, 0u);
    EXPECT_EQ(z->flags, 0x20u); // the model-independent cells still apply
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
