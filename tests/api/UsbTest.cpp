// The USB virtual-COM-port connection through the exported interface, against
// virtual instruments behind COM ports (see UsbBench.h for the layout).
#include "TestSupport.h"
#include "UsbBench.h"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>
#include <vector>

using namespace korda::test;

namespace {

constexpr int kSentinel = -7;

class Usb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!bench.ready()) GTEST_SKIP() << bench.reason();
        ASSERT_EQ(dlxVmrLibInit(0), 1);
    }
    void TearDown() override { dlxVmrLibExit(); }

    static int openUsb(int bcn, int com, int model) {
        dlxVmrCCFsetBCN(bcn, DLXVMR_INTERFACE_USB, com, nullptr, model);
        return dlxVmrCommOpen(bcn);
    }

    UsbBench bench;
};

// dlxVmrUsbEnum into arrays of eight entries set to kSentinel: the status and
// the arrays afterwards.
std::tuple<int, std::vector<int>, std::vector<int>> enumerate(int highest) {
    std::vector<int> ports(8, kSentinel), models(8, kSentinel);
    const int status = dlxVmrUsbEnum(ports.data(), models.data(), highest);
    return {status, ports, models};
}

// Eight entries: the given ones, then kSentinel.
std::vector<int> entries(std::vector<int> v) {
    v.resize(8, kSentinel);
    return v;
}

} // namespace

TEST_F(Usb, APortInUseIsNotSharedUntilClosed) {
    ASSERT_EQ(openUsb(1, UsbBench::kCom7043A, DLXVMR_MODEL_7043A), 1);
    // The first connection is undisturbed; another port opens as usual.
    EXPECT_EQ(openUsb(2, UsbBench::kCom7043A, DLXVMR_MODEL_7043A), -2039);
    EXPECT_EQ(dlxVmrModelCheck(1), 1);
    EXPECT_EQ(openUsb(3, UsbBench::kCom5129A, DLXVMR_MODEL_5129A), 1);
    EXPECT_EQ(dlxVmrModelCheck(3), 1);
    // Closed, the port is free again and the instrument answers as before.
    EXPECT_EQ(dlxVmrCommClose(1), 1);
    EXPECT_EQ(dlxVmrCommOpen(2), 1);
    EXPECT_EQ(dlxVmrModelCheck(2), 1);
}

TEST_F(Usb, AGivenPortIsTheOnlyPortTried) {
    // A silent instrument on COM3 is not found, although COM4 answers.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(openUsb(1, UsbBench::kComSilent, DLXVMR_MODEL_7043A), -2039);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(openUsb(1, UsbBench::kComAbsent, DLXVMR_MODEL_7043A), -2039);
    EXPECT_EQ(dlxVmrModelCheck(1), -2007);
}

TEST_F(Usb, SearchOpensTheFirstAnsweringPort) {
    // A BCN never set up searches from COM1: the 5129A there answers (its
    // settings hold model 0, so the model check tells which port it got).
    EXPECT_EQ(dlxVmrCommOpen(7), 1);
    EXPECT_EQ(dlxVmrModelCheck(7), -2021);
    dlxVmrCCFsetBCN(7, DLXVMR_INTERFACE_USB, 0, nullptr, DLXVMR_MODEL_5129A);
    EXPECT_EQ(dlxVmrModelCheck(7), 1);

    // COM1 is in use now: the search passes the missing COM2 and the silent
    // COM3 and stops at COM4.
    EXPECT_EQ(openUsb(8, -3, DLXVMR_MODEL_7043A), 1);
    EXPECT_EQ(dlxVmrModelCheck(8), 1);

    // Every answering port in use: nothing left up to COM64.
    EXPECT_EQ(openUsb(9, 0, DLXVMR_MODEL_7043A), -2039);
    EXPECT_EQ(dlxVmrCommClose(8), 1);
    EXPECT_EQ(dlxVmrCommOpen(9), 1);
    EXPECT_EQ(dlxVmrModelCheck(9), 1);
}

TEST_F(Usb, EnumFillsTheArraysFromIndexZeroInComOrder) {
    // COM1 is always tried, even when the highest number is below 1.
    for (const int highest : {0, -5, 1})
        EXPECT_EQ(enumerate(highest), std::tuple(1, entries({1}), entries({DLXVMR_MODEL_5129A})))
            << highest;
    EXPECT_EQ(enumerate(6),
              std::tuple(1, entries({1, 4}), entries({DLXVMR_MODEL_5129A, DLXVMR_MODEL_7043A})));
    // The enumeration closed every port it opened.
    ASSERT_EQ(openUsb(1, UsbBench::kCom5129A, DLXVMR_MODEL_5129A), 1);
    ASSERT_EQ(openUsb(2, UsbBench::kCom7043A, DLXVMR_MODEL_7043A), 1);
    // COM1 is in use now, COM2 has no device, COM3 a silent instrument:
    // nothing is written, and the open instruments are not disturbed.
    for (const int highest : {0, 3})
        EXPECT_EQ(enumerate(highest), std::tuple(1, entries({}), entries({})));
    EXPECT_EQ(dlxVmrModelCheck(1), 1);
    EXPECT_EQ(dlxVmrModelCheck(2), 1);
}

TEST_F(Usb, EnumWithoutArraysOrLibraryWritesNothing) {
    int ports[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    int models[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    EXPECT_EQ(dlxVmrUsbEnum(nullptr, models, 4), -2);
    EXPECT_EQ(models[0], kSentinel);
    ASSERT_EQ(dlxVmrLibExit(), 1);
    EXPECT_EQ(dlxVmrUsbEnum(ports, models, 4), -2002);
    EXPECT_EQ(ports[0], kSentinel);
    ASSERT_EQ(dlxVmrLibInit(0), 1);
}
