// The library's version through the exported interface.
#include "korda32ext.h"

#include <gtest/gtest.h>

#include <string>

TEST(Version, IsTheBuiltVersionWithoutLibraryStart) {
    int major = -1, minor = -1, patch = -1;
    char text[32] = "unchanged";
    ASSERT_EQ(dlxVmrGetVersion(&major, &minor, &patch, text, sizeof text), 1);
    EXPECT_EQ(std::string(text), KORDA_EXPECTED_VERSION);
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch),
              KORDA_EXPECTED_VERSION);
}

TEST(Version, EveryOutputIsOptionalAShortTextIsTruncated) {
    int minor = -1;
    EXPECT_EQ(dlxVmrGetVersion(nullptr, nullptr, nullptr, nullptr, 0), 1);
    char shortText[3] = {'x', 'x', 'x'};
    EXPECT_EQ(dlxVmrGetVersion(nullptr, &minor, nullptr, shortText, 3), 1);
    EXPECT_EQ(std::string(shortText), std::string(KORDA_EXPECTED_VERSION).substr(0, 2));
    char untouched = 'x';
    EXPECT_EQ(dlxVmrGetVersion(nullptr, nullptr, nullptr, &untouched, 0), 1);
    EXPECT_EQ(untouched, 'x');
}
