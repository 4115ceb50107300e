// Clock commands, number reading and the virtual instrument's clock.
#include "frontend/DirectOperations.h"
#include "frontend/ReplyNumbers.h"

#include "Instrument.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace korda32ex;

TEST(DirectOperationsUnit, ClockCommands) {
    const auto c = clockCommands({2026, 3, 7, 9, 5, 3, 42});
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0], "SYST:DATE 2026,3,7");
    EXPECT_EQ(c[1], "SYST:TIME 9,5,3.042");
    EXPECT_EQ(clockCommands({2030, 12, 31, 23, 59, 59, 999})[1], "SYST:TIME 23,59,59.999");
    EXPECT_EQ(clockCommands({2030, 1, 1, 0, 0, 0, 0})[1], "SYST:TIME 0,0,0.000");

    // The instrument reads the three digits as the fraction of the second.
    korda::sim::Instrument in(korda::sim::Model::M7043A);
    for (const auto& command : c)
        EXPECT_TRUE(in.execute(command).empty());
    EXPECT_EQ(in.popError().first, 0);
    EXPECT_EQ(in.execute("SYST:DATE?").front(), "2026,3,7");
    EXPECT_EQ(in.execute("SYST:TIME?").front().substr(0, 9), "9,5,3.042");
}

TEST(DirectOperationsUnit, ReplyNumbersIgnoreTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    EXPECT_FALSE(readLeadingInt("2147483648"));
    EXPECT_EQ(readLeadingInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(readLeadingReal("1,5"), 1.0);
    EXPECT_EQ(readLeadingReal("-2.5E+01x"), -25.0);
    EXPECT_EQ(readLeadingReal("1e-400"), 0.0);
    EXPECT_EQ(toFloat(*readLeadingReal("-1e400")), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(containsIgnoringCase(" x-9.9E+37", "-9.9e+37"));
    std::setlocale(LC_ALL, saved.c_str());
    if (!comma) GTEST_SKIP() << "checked in the C locale only: no decimal-comma locale installed";
}
