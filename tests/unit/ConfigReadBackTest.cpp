// Pieces of the configuration read-back: the capture's wait, and shunt
// channels turned back into current channels.
#include "logdata/ConfigReadBack.h"
#include "ConfigSupport.h"
#include "TestSupport.h"
#include "config/ShuntConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace korda::test;

TEST(ConfigReadBack, CaptureWaitGrowsWithTheScanList) {
    std::string list = "(@101";
    for (int i = 2; i <= 70; ++i) {
        list += ',';
        list += std::to_string(100 + i);
    }
    EXPECT_EQ(korda32ex::captureWaitMs(list + ")"), 70000u);
    EXPECT_EQ(korda32ex::captureWaitMs("(@101,102,103,104,105,106,107,108,109,110,111,112)"),
              60000u);
    EXPECT_EQ(korda32ex::captureWaitMs(""), 60000u);
}

TEST(ConfigReadBack, ShuntChannelsComeBackAsCurrentChannels) {
    auto working = zeroRecord();
    auto app = zeroRecord();
    // Automatic range: M = R x M'.
    ChannelRecord& a = working->modules[0].channels[0];
    a.function = 1, a.range = 23, a.scaleM = 0.01, a.scaleB = 1.5;
    setText(a.name, u"*250.000000*Loop");
    // Fixed range (percent of 4-20 mA): M = M' / k, B = B' + 25 M.
    ChannelRecord& b = working->modules[1].channels[19];
    b.function = 2, b.range = 34, b.scaleM = 6250.0f / 500 * 2, b.scaleB = 7 - 25 * 2;
    setText(b.name, u"*500.000000*");
    // Not of the form "*" number "*" with a number above 0: left as read.
    ChannelRecord& c = working->modules[0].channels[2];
    c.function = 1, c.range = 23, c.scaleM = 3;
    setText(c.name, u"*-5*x");
    ChannelRecord& d = working->modules[0].channels[3];
    d.function = 1, d.range = 23, d.scaleM = 3;
    setText(d.name, u"plain*1*");
    // Channels 21 and 22 are never shunt channels.
    ChannelRecord& e = working->modules[0].channels[20];
    e.function = 1, e.range = 23;
    setText(e.name, u"*250*x");
    // No closing mark: an empty name.
    ChannelRecord& f = working->modules[2].channels[0];
    f.function = 5, f.range = 8;
    setText(f.name, u"*12.5");

    korda32ex::restoreShuntChannels(*working, *app);
    const ChannelRecord& A = app->modules[0].channels[0];
    EXPECT_EQ(std::tuple(A.function, A.range, A.shuntOhms, A.scaleM, A.scaleB),
              std::tuple(3u, 112u, 250.0, 2.5, 1.5));
    EXPECT_EQ(text16(A.name), "Loop");
    EXPECT_EQ(working->modules[0].channels[0].shuntOhms, 250.0);
    const ChannelRecord& B = app->modules[1].channels[19];
    EXPECT_EQ(std::tuple(B.function, B.range, B.shuntOhms), std::tuple(4u, 113u, 500.0));
    EXPECT_DOUBLE_EQ(B.scaleM, 2.0);
    EXPECT_DOUBLE_EQ(B.scaleB, 7.0);
    EXPECT_EQ(text16(B.name), "");
    for (const auto& [area, index] : {std::pair(0, 2), std::pair(0, 3), std::pair(0, 20)})
        EXPECT_EQ(std::memcmp(&app->modules[area].channels[index],
                              &working->modules[area].channels[index], sizeof(ChannelRecord)),
                  0)
            << index;
    const ChannelRecord& F = app->modules[2].channels[0];
    EXPECT_EQ(std::tuple(F.function, F.shuntOhms), std::tuple(5u, 12.5));
    EXPECT_EQ(text16(F.name), "");
}
