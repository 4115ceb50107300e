// Wire numbers: the three command formats against the classic conversions,
// and where the reply reader stops.
#include "comm/WireNumbers.h"

#include <gtest/gtest.h>

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

TEST(WireNumberFormats, FormatsMatchTheClassicConversions) {
    for (const double v : kSamples) {
        EXPECT_EQ(wire::fixed6(v), printed("%.6f", v)) << v;
        EXPECT_EQ(wire::general(v), printed("%g", v)) << v;
        EXPECT_EQ(wire::scientific6(v), printed("%.6e", v)) << v;
    }
    EXPECT_EQ(wire::fixed6(0.1), "0.100000");
    EXPECT_EQ(wire::general(0.00385), "0.00385");
    EXPECT_EQ(wire::scientific6(0.001), "1.000000e-03");
}

TEST(WireNumberFormats, ReadingStopsWhereTheNumberEnds) {
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

} // namespace
