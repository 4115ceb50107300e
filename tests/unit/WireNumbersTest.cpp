// Wire numbers: the three command formats and the reply reader, whatever the
// process locale.
#include "comm/WireNumbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <string>

using namespace korda32ex;

namespace {

std::string printed(const char* format, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

const double kSamples[] = {
    0,         -0.0,  1,    10,  100,   0.1,     0.00385,  1e-7, 2.5e-4, 123456,
    1234567,   1e15,  -2.5, 0.5, 1e300, -1e-300, 99999.95, 1e-5, 0.0001, 3.14159265358979,
    100000000, 5e-324};

TEST(WireNumbers, FormatsMatchTheClassicConversions) {
    for (const double v : kSamples) {
        EXPECT_EQ(wire::fixed6(v), printed("%.6f", v)) << v;
        EXPECT_EQ(wire::general(v), printed("%g", v)) << v;
        EXPECT_EQ(wire::scientific6(v), printed("%.6e", v)) << v;
    }
    EXPECT_EQ(wire::fixed6(0.1), "0.100000");
    EXPECT_EQ(wire::general(0.00385), "0.00385");
    EXPECT_EQ(wire::scientific6(0.001), "1.000000e-03");
}

TEST(WireNumbers, ReadingStopsWhereTheNumberEnds) {
    double v = -1;
    EXPECT_TRUE(wire::readDouble("+1.00000000E+01", v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(wire::readDouble("  -2.0 V", v));
    EXPECT_EQ(v, -2);
    EXPECT_TRUE(wire::readDouble(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(wire::readDouble("1,5", v));
    EXPECT_EQ(v, 1);
    v = 7;
    // Words are no numbers to a stream, even those a number parser may accept.
    for (const char* text : {"", "K", "inf", "-nan", "NAN", "+", "e5", "\"VOLT\""})
        EXPECT_FALSE(wire::readDouble(text, v)) << text;
    EXPECT_EQ(v, 7);

    EXPECT_EQ(wire::readUnsignedOrZero("4294967295"), 4294967295u);
    EXPECT_EQ(wire::readUnsignedOrZero("4294967296"), 0u);
    EXPECT_EQ(wire::readUnsignedOrZero("-1"), 0u);
    EXPECT_EQ(wire::readUnsignedOrZero("12abc"), 12u);
}

TEST(WireNumbers, DecimalCommaLocaleChangesNothing) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr)
        GTEST_SKIP() << "no decimal-comma locale installed";
    ASSERT_EQ(printed("%.1f", 0.5), "0,5"); // the locale is really in force
    EXPECT_EQ(wire::fixed6(0.1), "0.100000");
    EXPECT_EQ(wire::general(2.5), "2.5");
    EXPECT_EQ(wire::scientific6(0.001), "1.000000e-03");
    double v = 0;
    EXPECT_TRUE(wire::readDouble("+1.50000000E+00", v));
    EXPECT_EQ(v, 1.5);
    std::setlocale(LC_ALL, saved.c_str());
}

// Runs the checks under a decimal-comma locale when the machine has one.
struct CommaLocale {
    bool active = false;
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"})
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active = true;
                break;
            }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
};

TEST(WireNumbers, FormatsAndParsesIgnoreTheLocale) {
    CommaLocale locale;
    if (!locale.active) GTEST_SKIP() << "no decimal-comma locale installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5"); // the locale is really in force

    EXPECT_EQ(wire::fixed6(10), "10.000000");
    EXPECT_EQ(wire::fixed6(0.0001), "0.000100");
    EXPECT_EQ(wire::general(10), "10");
    EXPECT_EQ(wire::general(0.5), "0.5");
    EXPECT_EQ(wire::general(1234567), "1.23457e+06");
    EXPECT_EQ(wire::general(1e-07), "1e-07");
    EXPECT_EQ(wire::general(-2.25), "-2.25");
    EXPECT_EQ(wire::scientific6(1), "1.000000e+00");
    EXPECT_EQ(wire::scientific6(-0.00385), "-3.850000e-03");

    double d = -1;
    EXPECT_TRUE(wire::readDouble(" +1.00000000E+01", d));
    EXPECT_EQ(d, 10.0);
    EXPECT_TRUE(wire::readDouble("-9.900000e+37,", d));
    EXPECT_FLOAT_EQ(static_cast<float>(d), -9.9e37f);
    EXPECT_TRUE(wire::readDouble("2,5", d));
    EXPECT_EQ(d, 2.0); // a comma is not a decimal point on the wire
    d = 7;
    EXPECT_FALSE(wire::readDouble("abc", d));
    EXPECT_FALSE(wire::readDouble("", d));
    EXPECT_FALSE(wire::readDouble("--1", d));
    EXPECT_EQ(d, 7.0);

    std::int64_t i = 0;
    EXPECT_TRUE(wire::readInt64("  -42xyz", i));
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(wire::readInt64("99999999999999999999", i));
    EXPECT_FALSE(wire::readInt64("+", i));
    EXPECT_EQ(wire::readUnsignedOrZero("3725"), 3725u);
    EXPECT_EQ(wire::readUnsignedOrZero("x1"), 0u);
    EXPECT_EQ(wire::readUnsignedOrZero("4294967296"), 0u);
}

} // namespace
