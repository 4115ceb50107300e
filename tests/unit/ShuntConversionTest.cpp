// Shunt-current channels rewritten into the instrument's view before a
// configuration is sent.
#include "config/ShuntConversion.h"
#include "ConfigSupport.h"
#include "TestSupport.h"
#include "config/ConfigFingerprint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace korda32ex;
using namespace korda::test;

namespace {

struct Converted {
    std::unique_ptr<VmrInstConfig> application = zeroRecord();
    std::unique_ptr<VmrInstConfig> working = zeroRecord();
    ShuntConversionResult result;
};

// One shunt channel at module area 0, index 4 (channel 105), converted for model.
Converted convertOne(std::uint32_t function, std::uint32_t range, double ohms, double m, double b,
                     int model = 5, const std::u16string& name = u"Flow") {
    Converted c;
    ChannelRecord& ch = c.application->modules[0].channels[4];
    ch.function = function;
    ch.range = range;
    ch.shuntOhms = ohms;
    ch.scaleM = m;
    ch.scaleB = b;
    setText(ch.name, name);
    c.result = convertShuntChannels(*c.application, *c.working, model);
    return c;
}

const ChannelRecord& sent(const Converted& c) {
    return c.working->modules[0].channels[4];
}

TEST(ShuntConversion, PercentOfFourToTwentyMilliamps) {
    // 5 ohms is raised to 10 in both records: 0.2 V at 20 mA, the 1 V range.
    const Converted low = convertOne(3, 0, 5, 1, 0);
    ASSERT_TRUE(low.result.ok());
    EXPECT_EQ(low.application->modules[0].channels[4].shuntOhms, 10.0);
    EXPECT_EQ(sent(low).shuntOhms, 10.0);
    EXPECT_EQ(std::tuple(sent(low).function, sent(low).range), std::tuple(1u, 17u));
    EXPECT_EQ(text16(sent(low).name), "*10.000000*Flow");
    EXPECT_EQ(std::pair(sent(low).scaleM, sent(low).scaleB), std::pair(625.0, -25.0));

    // 250 ohms, M 2, B 1: the instrument's M'U + B' equals M(6250 U/R - 25) + B,
    // 4 mA reads B, 12 mA reads 50 M + B.
    const Converted mid = convertOne(3, 0, 250, 2, 1);
    ASSERT_TRUE(mid.result.ok());
    const auto reading = [&](double amperes) {
        return sent(mid).scaleM * amperes * 250 + sent(mid).scaleB;
    };
    EXPECT_NEAR(reading(0.004), 1, 1e-9);
    EXPECT_NEAR(reading(0.012), 101, 1e-9);
    EXPECT_EQ(sent(mid).range, 18u); // 5 V

    // The 7043A has no 100 V range: 1000 ohms (20 V) gets 50 V there.
    EXPECT_EQ(sent(convertOne(3, 0, 1000, 1, 0, 5)).range, 20u);
    EXPECT_EQ(sent(convertOne(3, 0, 1000, 1, 0, 4)).range, 19u);
    EXPECT_EQ(sent(convertOne(3, 0, 10000, 1, 0, 5)).range, 22u);
    EXPECT_EQ(sent(convertOne(3, 0, 10000, 1, 0, 4)).range, 19u);
    // AC current becomes AC volts on the same ladder.
    const Converted ac = convertOne(4, 0, 1000, 1, 0, 4);
    EXPECT_EQ(std::tuple(sent(ac).function, sent(ac).range), std::tuple(2u, 36u));
    EXPECT_EQ(sent(convertOne(4, 0, 100, 1, 0)).range, 34u);
    EXPECT_EQ(sent(convertOne(4, 0, 50, 1, 0)).range, 33u); // 1 V exactly
    EXPECT_EQ(sent(convertOne(4, 0, 10000, 1, 0)).range, 38u);
}

TEST(ShuntConversion, CurrentReadingWithAutomaticRange) {
    const Converted c = convertOne(3, 112, 20, 2, 0.5);
    ASSERT_TRUE(c.result.ok());
    EXPECT_EQ(std::tuple(sent(c).function, sent(c).range), std::tuple(1u, 23u));
    EXPECT_EQ(sent(c).scaleM, static_cast<double>(0.1f)); // M / R in single precision
    EXPECT_EQ(sent(c).scaleB, 0.5);
    EXPECT_EQ(sent(convertOne(4, 112, 20, 2, 0)).range, 39u);

    // M = 0 stays 0 and is no failure.
    const Converted zero = convertOne(3, 112, 20, 0, 3);
    ASSERT_TRUE(zero.result.ok());
    EXPECT_EQ(std::pair(sent(zero).scaleM, sent(zero).scaleB), std::pair(0.0, 3.0));
}

TEST(ShuntConversion, ScalingOutsideSinglePrecisionFails) {
    const Converted small = convertOne(3, 112, 100, 1e-37, 0);
    EXPECT_EQ(std::pair(small.result.detail, small.result.channel), std::pair(33, 105));
    EXPECT_EQ(convertOne(3, 0, 10, 1e38, 0).result.detail, 34);  // gain 625 x M
    EXPECT_EQ(convertOne(3, 0, 10, 1, -1e39).result.detail, 34); // offset
    EXPECT_EQ(convertOne(3, 112, 10, 1e300, 0).result.detail, 34);
    // The raised resistance stays in the caller's record even then.
    EXPECT_EQ(convertOne(3, 112, 1, 1e-37, 0).application->modules[0].channels[4].shuntOhms, 10.0);
}

TEST(ShuntConversion, AnyResistanceNotAbove10IsRaised) {
    // NaN and negative resistances count as "not above 10".
    EXPECT_EQ(sent(convertOne(3, 0, std::nan(""), 1, 0)).shuntOhms, 10.0);
    EXPECT_EQ(sent(convertOne(3, 0, -3, 1, 0)).shuntOhms, 10.0);
}

TEST(ShuntConversion, TheSentNameKeepsAtMost255Units) {
    // The second star goes at position 16 at most.
    EXPECT_EQ(text16(sent(convertOne(3, 0, 123456789.5, 1, 0)).name), "*123456789.50000*0Flow");
    const std::u16string longName(300, u'n');
    const Converted named = convertOne(3, 0, 250, 1, 0, 5, longName);
    const std::string name = text16(sent(named).name);
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name.substr(0, 13), "*250.000000*n");
    // An application name that fills all 256 units without a terminator.
    auto full = zeroRecord();
    ChannelRecord& ch = full->modules[1].channels[0];
    ch.function = 3;
    ch.shuntOhms = 250;
    for (auto& unit : ch.name)
        unit = u'x';
    auto working = zeroRecord();
    ASSERT_TRUE(convertShuntChannels(*full, *working, 5).ok());
    EXPECT_EQ(working->modules[1].channels[0].name[255], 0);
}

TEST(ShuntConversion, NameIgnoresTheDecimalCommaLocale) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no decimal-comma locale on this machine";
    EXPECT_EQ(text16(sent(convertOne(3, 0, 250.5, 1, 0)).name), "*250.500000*Flow");
}

TEST(ShuntConversion, OnlyCurrentChannelsOneToTwentyOfEveryArea) {
    auto app = zeroRecord();
    app->modules[0].channels[20].function = 3; // channel 121 measures current itself
    app->modules[0].channels[20].shuntOhms = 5;
    app->modules[5].channels[19].function = 4; // every area is converted
    app->modules[5].channels[19].shuntOhms = 100;
    app->modules[0].channels[0].function = 1;
    app->channel1.function = 3;
    auto working = zeroRecord();
    ASSERT_TRUE(convertShuntChannels(*app, *working, 5).ok());
    EXPECT_EQ(working->modules[0].channels[20].function, 3u);
    EXPECT_EQ(app->modules[0].channels[20].shuntOhms, 5.0);
    EXPECT_EQ(working->modules[5].channels[19].function, 2u);
    EXPECT_EQ(working->channel1.function, 3u);
    // Everything else is copied byte for byte.
    working->modules[5].channels[19] = app->modules[5].channels[19];
    EXPECT_EQ(std::memcmp(working.get(), app.get(), sizeof *app), 0);
}

TEST(ShuntConversion, RaisedResistanceGivesTheFingerprintOfTheRaisedRecord) {
    const Converted raised = convertOne(3, 0, 2, 1, 0);
    const Converted ten = convertOne(3, 0, 10, 1, 0);
    EXPECT_EQ(configurationFingerprint(*raised.working), configurationFingerprint(*ten.working));
    // Converting the already raised record again gives the same working copy.
    auto again = zeroRecord();
    ASSERT_TRUE(convertShuntChannels(*raised.application, *again, 5).ok());
    EXPECT_EQ(std::memcmp(again.get(), raised.working.get(), sizeof *again), 0);
}

} // namespace
