// What every instrument operation gives before the library is initialised,
// for an instrument that is not open, and for missing arguments (which never
// reach the instrument).
#include "ScanBuffer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace korda::test;

namespace {

// Every instrument operation with usable arguments, by name, for instrument b
// (the monitor reading takes it in the thousands of its channel code).
std::vector<std::pair<const char*, std::function<int(int)>>> operations() {
    static int out = 0;
    static float reading = 0;
    static char text[32];
    static wchar_t wide[32];
    static ScanBuffer buffer(1, 1);
    return {
        {"TimeSet", [](int b) { return dlxVmrTimeSet(b); }},
        {"TimeSetUTC", [](int b) { return dlxVmrTimeSetUTC(b); }},
        {"DIOGet", [](int b) { return dlxVmrDIOGet(b, &out); }},
        {"DIOSet", [](int b) { return dlxVmrDIOSet(b, 1, 1); }},
        {"TotalizerGet", [](int b) { return dlxVmrTotalizerGet(b, &out); }},
        {"TotalizerClear", [](int b) { return dlxVmrTotalizerClear(b); }},
        {"OEMIdentitySetA", [](int b) { return dlxVmrOEMIdentitySetA(b, "x"); }},
        {"OEMIdentitySetW", [](int b) { return dlxVmrOEMIdentitySetW(b, L"x"); }},
        {"OEMIdentityGetA", [](int b) { return dlxVmrOEMIdentityGetA(b, text, 32); }},
        {"OEMIdentityGetW", [](int b) { return dlxVmrOEMIdentityGetW(b, wide, 32); }},
        {"ScansEnable", [](int b) { return dlxVmrScansEnable(b, 1); }},
        {"ScansClear", [](int b) { return dlxVmrScansClear(b); }},
        {"PCCardScansClear", [](int b) { return dlxVmrPCCardScansClear(b); }},
        {"GetScansCount", [](int b) { return dlxVmrGetScansCount(b, &out); }},
        {"ScansCount", [](int b) { return dlxVmrScansCount(b, &out); }},
        {"ScansGet", [](int b) { return dlxVmrScansGet(b, 1, buffer.record()); }},
        {"InstMonitor", [](int b) { return dlxVmrInstMonitor(b, 1, 101); }},
        {"SpyEnable", [](int b) { return dlxVmrSpyEnable(b, 1); }},
        {"SpyGet", [](int b) { return dlxVmrSpyGet(b * 1000 + 101, &reading); }},
    };
}

TEST(FrameStatuses, EveryCallNeedsTheLibrary) {
    for (const auto& [name, call] : operations())
        EXPECT_EQ(call(1), -2002) << name;
    dlxVmrDeleteBuffer(nullptr); // works in any state, does nothing
}

TEST(FrameStatuses, EveryInstrumentCallNeedsAnOpenInstrument) {
    VirtualInstrumentSession session;
    ASSERT_EQ(session.openStatus(), 1);
    for (const auto& [name, call] : operations())
        EXPECT_EQ(call(7), -2007) << name;
}

TEST(FrameStatuses, AMissingArgumentSendsNothing) {
    VirtualInstrumentSession session;
    ASSERT_EQ(session.openStatus(), 1);
    const auto before = session.instrument().linesExecuted();
    wchar_t wide[8];
    EXPECT_EQ(dlxVmrDIOGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrTotalizerGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, nullptr, 8), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, wide, 0), -2);
    EXPECT_EQ(dlxVmrScansCount(1, nullptr), -2);
    EXPECT_EQ(dlxVmrScansGet(1, 1, nullptr), -2);
    EXPECT_EQ(dlxVmrSpyGet(1101, nullptr), -2);
    EXPECT_EQ(session.instrument().linesExecuted(), before);
    // A buffer the library would hand out is released by dlxVmrDeleteBuffer.
    dlxVmrDeleteBuffer(new char[16]);
}

} // namespace
