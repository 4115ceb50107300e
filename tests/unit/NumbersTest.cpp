// Numbers and clock texts on the wire: the three command formats against the
// classic conversions and where the reply readers stop, under a decimal-comma
// locale when the machine has one (the wire never follows the process locale).
#include "core/Numbers.h"
#include "TestSupport.h"
#include "core/Text.h"
#include "frontend/DirectOperations.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace korda32ex;
using korda::test::CommaLocale;

namespace {

std::string printed(const char* format, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

TEST(WireNumbers, FormatsMatchTheClassicConversions) {
    const double samples[] = {
        0,         -0.0,  1,    10,  100,   0.1,     0.00385,  1e-7, 2.5e-4, 123456,
        1234567,   1e15,  -2.5, 0.5, 1e300, -1e-300, 99999.95, 1e-5, 0.0001, 3.14159265358979,
        100000000, 5e-324};
    std::vector<std::array<std::string, 3>> classic; // printed in the C locale
    for (const double v : samples)
        classic.push_back({printed("%.6f", v), printed("%g", v), printed("%.6e", v)});
    CommaLocale comma;
    for (std::size_t i = 0; i < classic.size(); ++i) {
        EXPECT_EQ(wire::fixed6(samples[i]), classic[i][0]) << samples[i];
        EXPECT_EQ(wire::general(samples[i]), classic[i][1]) << samples[i];
        EXPECT_EQ(wire::scientific6(samples[i]), classic[i][2]) << samples[i];
    }
    if (!comma.active()) GTEST_SKIP() << "checked in the C locale only: no decimal-comma locale";
}

TEST(WireNumbers, ReadersStopWhereTheNumberEnds) {
    CommaLocale comma;
    // A comma is not a decimal point on the wire; what underflows is zero.
    for (const auto& [text, value] : {std::pair(" +1.00000000E+01", 10.0),
                                      {"  -2.0 V", -2.0},
                                      {"2,5", 2.0},
                                      {"1e-400", 0.0},
                                      {"-9.900000e+37,", -9.9e37}})
        EXPECT_EQ(readLeadingReal(text), value) << text;
    // Words are no numbers to a stream, even those a number parser may accept.
    for (const char* text : {"", "K", "inf", "-nan", "NAN", "+", "e5", "\"VOLT\"", "--1"})
        EXPECT_FALSE(readLeadingReal(text)) << text;

    EXPECT_EQ(readLeadingInteger("  -42xyz"), -42);
    bool outOfRange = false;
    EXPECT_FALSE(readLeadingInteger("99999999999999999999", &outOfRange));
    EXPECT_TRUE(outOfRange);
    EXPECT_FALSE(readLeadingInteger(" -x", &outOfRange));
    EXPECT_FALSE(outOfRange);
    EXPECT_EQ(readUnsignedOrZero("4294967295"), 4294967295u);
    EXPECT_EQ(readUnsignedOrZero("4294967296"), 0u);
    EXPECT_EQ(readUnsignedOrZero("12abc"), 12u);
    // The readers of status replies.
    EXPECT_FALSE(readLeadingInt("2147483648"));
    EXPECT_EQ(readLeadingInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(toFloat(*readLeadingReal("-1e400")), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(containsIgnoringCase(" x-9.9E+37", "-9.9e+37"));
    if (!comma.active()) GTEST_SKIP() << "checked in the C locale only: no decimal-comma locale";
}

TEST(WireNumbers, ClockCommands) {
    const auto c = clockCommands({2026, 3, 7, 9, 5, 3, 42});
    EXPECT_EQ(c, (std::vector<std::string>{"SYST:DATE 2026,3,7", "SYST:TIME 9,5,3.042"}));
    EXPECT_EQ(clockCommands({2030, 1, 1, 0, 0, 0, 0})[1], "SYST:TIME 0,0,0.000");
}

} // namespace

// The short-decimal way must give exactly what from_chars gives, in every
// form a reading takes and at the edges of the exact range.
TEST(WireNumbers, ShortDecimalsReadExactlyAsFromChars) {
    std::mt19937_64 random(7);
    const char* formats[] = {"%.6E", "%.6e", "%.9g", "%.17g", "%.0f", "%.3f", "%.15e", "%.18e"};
    // Edges of the exact range, and forms that end early.
    std::istringstream edges("9007199254740993 9007199254740992e-22 1234567890123456789 "
                             "12345678901234567890 1e22 1e23 1e-22 0.0000000000000000000001 "
                             "4.5e 4.5e+ 7.E-3 .5e1x");
    std::vector<std::string> texts{std::istream_iterator<std::string>(edges), {}};
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::ldexp(static_cast<double>(random() >> 11), -53);
        const double v = magnitude * std::pow(10.0, static_cast<int>(random() % 60) - 30);
        char buf[64];
        std::snprintf(buf, sizeof buf, formats[i % 8], v);
        texts.push_back(buf);
    }
    for (const std::string& t : texts) {
        double expected = 0;
        std::from_chars(t.data(), t.data() + t.size(), expected);
        const auto got = readLeadingReal(t);
        ASSERT_TRUE(got) << t;
        EXPECT_EQ(*got, expected) << t;
        EXPECT_EQ(*readLeadingReal("-" + t), -expected) << t;
    }
}

// The one-step way for "d.dddddd" with a two-digit exponent: the value and
// the end from_chars gives, over every exponent and rounding edges of the
// mantissa; near misses of the form are left to the general way, which still
// reads them exactly.
TEST(WireNumbers, TheUsualReadingFormMatchesFromChars) {
    std::mt19937_64 random(11);
    std::vector<std::string> mantissas = {"0.000000", "1.000000", "9.999999", "4.033000",
                                          "1.234567", "5.000005", "9.007199", "2.500000"};
    for (int i = 0; i < 60; ++i)
        mantissas.push_back(printed("%.6f", 1.0 + static_cast<double>(random() % 9000000) / 1e6));
    int oneStep = 0;
    for (const std::string& m : mantissas)
        for (int exponent = -99; exponent <= 99; ++exponent)
            for (const char* e : {"E", "e"}) {
                const std::string t = m + e + printed("%+03.0f", exponent) + ",1";
                const char* const end = t.data() + t.size();
                double expected = 0;
                const auto r = std::from_chars(t.data(), end, expected);
                double got = -1;
                const char* const stop = readFixedScientific(t.data(), end, got);
                // Within 10^-22 to 10^22 of the seven digits it must take the one step.
                const bool exact = exponent - 6 >= -22 && exponent - 6 <= 22;
                ASSERT_EQ(stop != nullptr, exact) << t;
                if (stop != nullptr) {
                    ++oneStep;
                    EXPECT_EQ(stop, r.ptr) << t;
                    EXPECT_EQ(got, expected) << t;
                }
                EXPECT_EQ(readLeadingReal(t), expected) << t;
                EXPECT_EQ(readLeadingReal("-" + t), -expected) << t;
            }
    EXPECT_GT(oneStep, 0);

    // Near misses: not the form, though they begin like it.
    for (const char* near : {"1.23456E+01", "1.2345678E+01", "1.234567E+001", "1.234567E01",
                             "1.234567x+01", "12.34567E+01", "1.234567E+0", "1.2345a7E+01",
                             "+1.234567E+01", "1,234567E+01", "1.234567E+-1", "1.234567E+1a",
                             "1.234567E+0x1", ".1234567E+01", "1.2345 7E+01", "1.234567"}) {
        const std::string t = near;
        double got = 0;
        EXPECT_EQ(readFixedScientific(t.data(), t.data() + t.size(), got), nullptr) << t;
        double expected = 0;
        const char* first = t.data() + (t[0] == '+' ? 1 : 0);
        std::from_chars(first, t.data() + t.size(), expected);
        EXPECT_EQ(readLeadingReal(t), expected) << t;
    }
    // Text after the form ends the number, as anywhere else.
    for (const char* after : {"1.234567E+01V", "1.234567E+01.5", "1.234567E+01e5"}) {
        const std::string t = after;
        double got = 0;
        EXPECT_EQ(readFixedScientific(t.data(), t.data() + t.size(), got), t.data() + 12) << t;
        EXPECT_EQ(got, 12.34567) << t;
    }
}
