#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace korda::test;

TEST(Library, InitExitAndStatusTexts) {
    EXPECT_EQ(dlxVmrLibInit(0), 1);
    EXPECT_EQ(dlxVmrLibInit(0), -2001);
    uint32_t seconds = 0;
    EXPECT_EQ(dlxVmrTimeoutGet(&seconds), 1);
    EXPECT_EQ(seconds, 10u);
    EXPECT_EQ(dlxVmrLibExit(), 1);
    EXPECT_EQ(dlxVmrLibExit(), -2002);
    EXPECT_EQ(dlxVmrCommClose(1), -2002);
    EXPECT_EQ(errorString(-2007), "Communications are not open to this instrument");
    EXPECT_EQ(errorString(0), "Unknown");
    EXPECT_EQ(errorString(1), "No Errors");
    EXPECT_EQ(errorString(-2038), "Unknown");
}
