#include "comm/WireNumbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace korda32ex;

namespace {
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
} // namespace

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
