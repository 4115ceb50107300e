// Wire numbers: the three command formats against the classic conversions
// and where the reply readers stop, under a decimal-comma locale when the
// machine has one (the wire never follows the process locale).
#include "comm/WireNumbers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

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
    EXPECT_EQ(wire::fixed6(0.1), "0.100000");
    EXPECT_EQ(wire::general(1234567), "1.23457e+06");
    EXPECT_EQ(wire::scientific6(-0.00385), "-3.850000e-03");
    if (!comma.active()) GTEST_SKIP() << "checked in the C locale only: no decimal-comma locale";
}

TEST(WireNumbers, ReadersStopWhereTheNumberEnds) {
    CommaLocale comma;
    double v = -1;
    EXPECT_TRUE(wire::readDouble(" +1.00000000E+01", v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(wire::readDouble("  -2.0 V", v));
    EXPECT_EQ(v, -2);
    EXPECT_TRUE(wire::readDouble(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(wire::readDouble("2,5", v));
    EXPECT_EQ(v, 2); // a comma is not a decimal point on the wire
    EXPECT_TRUE(wire::readDouble("-9.900000e+37,", v));
    EXPECT_FLOAT_EQ(static_cast<float>(v), -9.9e37f);
    v = 7;
    // Words are no numbers to a stream, even those a number parser may accept.
    for (const char* text : {"", "K", "inf", "-nan", "NAN", "+", "e5", "\"VOLT\"", "--1"})
        EXPECT_FALSE(wire::readDouble(text, v)) << text;
    EXPECT_EQ(v, 7);

    std::int64_t i = 0;
    EXPECT_TRUE(wire::readInt64("  -42xyz", i));
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(wire::readInt64("99999999999999999999", i));
    EXPECT_FALSE(wire::readInt64("+", i));
    EXPECT_EQ(wire::readUnsignedOrZero("4294967295"), 4294967295u);
    EXPECT_EQ(wire::readUnsignedOrZero("4294967296"), 0u);
    EXPECT_EQ(wire::readUnsignedOrZero("-1"), 0u);
    EXPECT_EQ(wire::readUnsignedOrZero("12abc"), 12u);
    EXPECT_EQ(wire::readUnsignedOrZero("x1"), 0u);
    if (!comma.active()) GTEST_SKIP() << "checked in the C locale only: no decimal-comma locale";
}

} // namespace
