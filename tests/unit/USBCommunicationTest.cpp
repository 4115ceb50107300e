// The USB transport itself, against virtual instruments behind COM ports.
#include "comm/USBCommunication.h"
#include "UsbBench.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using korda::test::UsbBench;
using korda32ex::USBCommunication;
namespace pf = korda32ex::platform;

namespace {

class UsbTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!bench.ready()) GTEST_SKIP() << bench.reason();
    }
    UsbBench bench;
};

// Receives until a line feed, checking that every call adds at least a byte.
std::string receiveLine(USBCommunication& port) {
    std::string text;
    while (text.empty() || text.back() != '\n') {
        const std::size_t before = text.size();
        const int st = port.receive(1000, text);
        EXPECT_EQ(st, 1) << "after \"" << text << "\"";
        if (st != 1) break;
        EXPECT_GT(text.size(), before);
    }
    return text;
}

} // namespace

TEST_F(UsbTransport, DeliversWhatHasArrived) {
    USBCommunication port(UsbBench::kCom7043A);
    ASSERT_EQ(port.open(0), 1);
    EXPECT_EQ(port.openPort(), UsbBench::kCom7043A);
    EXPECT_EQ(port.open(0), 1); // open again: nothing happens to the port

    // What is left of the probe's reply goes with a drain.
    port.drain(1000);
    EXPECT_EQ(port.sendBulk("SYST:COMM:TERM LF\r\n*IDN?\r\n", 1000), 1);
    EXPECT_EQ(receiveLine(port), "KORDA-SIM,7043A,SIM00001,1.00\n");
    EXPECT_EQ(port.send("SYST:COMM:TERM CRLF\r\n*IDN?\r\n", 1000), 1);
    EXPECT_EQ(receiveLine(port), "KORDA-SIM,7043A,SIM00001,1.00\r\n");

    // Nothing pending: a time-out, also for a limit of 0 (taken as 1 ms).
    std::string text;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.receive(0, text), -1015);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(text, "");
}

TEST_F(UsbTransport, ClosedPortFailsEveryExchange) {
    USBCommunication port(UsbBench::kCom7043A);
    std::string text;
    EXPECT_EQ(port.send("*IDN?\r\n", 1000), -2037);
    EXPECT_EQ(port.receive(10, text), -2037);
    ASSERT_EQ(port.open(0), 1);
    EXPECT_EQ(port.close(), 1);
    EXPECT_EQ(port.close(), 1);
    EXPECT_EQ(port.receive(10, text), -2037);
    EXPECT_EQ(text, "");
}

TEST_F(UsbTransport, WritesToAStalledInstrumentEndWithinTheirTimeOut) {
    // The serial layer under the transport, on a port whose other end reads
    // nothing: a write returns what fitted once its time-out is over.
    const pf::SerialHandle h = pf::serialOpen(UsbBench::kComStalled);
    ASSERT_NE(h, pf::kInvalidSerial);
    const std::string big(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    const long written = pf::serialWrite(h, big.data(), big.size(), 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_GE(written, 0);
    EXPECT_LT(written, static_cast<long>(big.size()));
    // A further write ends within its time-out too (how much of it still fits
    // depends on the driver).
    const long more = pf::serialWrite(h, big.data(), big.size(), 50);
    EXPECT_GE(more, 0);
    EXPECT_LT(more, static_cast<long>(big.size()));
    pf::serialClose(h);
    // Nobody answers there either.
    USBCommunication port(UsbBench::kComStalled);
    EXPECT_EQ(port.open(0), -2039);
}
