// The detail of the last failure per thread, and the wire trace, through the
// exported interface.
#include "TempDir.h"
#include "TestSupport.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace korda;
using korda::test::ScriptedPeer;
using korda::test::VirtualInstrumentSession;
namespace pf = korda32ex::platform;

namespace {

std::string detailA() {
    char buffer[512] = "unchanged";
    const int length = dlxVmrGetLastErrorDetailA(buffer, sizeof buffer);
    EXPECT_EQ(length, static_cast<int>(std::string(buffer).size()));
    return buffer;
}

// A loopback port where nothing listens.
std::uint16_t closedPort() {
    pf::netStartup();
    std::uint16_t port = 0;
    const auto s = pf::socketListen(0, true, port);
    pf::socketClose(s);
    return port;
}

struct Library : ::testing::Test {
    void SetUp() override { ASSERT_EQ(dlxVmrLibInit(0), 1); }
    void TearDown() override { dlxVmrLibExit(); }
};

using Trace = std::tuple<int, int, std::string>; // BCN, direction, text

void KORDA_CALL collect(void* context, int bcn, int direction, const char* text, uint32_t length) {
    static_cast<std::vector<Trace>*>(context)->emplace_back(bcn, direction,
                                                            std::string(text, length));
}

} // namespace

// A refused connect names the address with the system's reason; the detail
// comes wide or truncated with its whole length; a success leaves it and a
// failure without more to say replaces it with its status text.
TEST_F(Library, ARefusedConnectIsDescribedUntilTheNextFailure) {
    const std::uint16_t port = closedPort();
    EXPECT_EQ(korda::test::openLoopback(1, port), DLXVMR_E_CONNECTION_REFUSED);
    const std::string prefix = "connect 127.0.0.1:" + std::to_string(port) + ": ";
    const std::string detail = detailA();
    EXPECT_EQ(detail.substr(0, prefix.size()), prefix);
#ifndef _WIN32
    EXPECT_EQ(detail, prefix + "Connection refused");
#endif
    EXPECT_GT(detail.size(), prefix.size());
    wchar_t wide[512];
    EXPECT_EQ(dlxVmrGetLastErrorDetailW(wide, 512), static_cast<int>(detail.size()));
    EXPECT_EQ(std::wstring(wide), std::wstring(detail.begin(), detail.end()));
    char small[8] = "xxxxxxx";
    EXPECT_EQ(dlxVmrGetLastErrorDetailA(small, sizeof small), static_cast<int>(detail.size()));
    EXPECT_EQ(std::string(small), "connect");
    EXPECT_EQ(dlxVmrGetLastErrorDetailA(nullptr, 0), static_cast<int>(detail.size()));
    uint32_t seconds = 0;
    EXPECT_EQ(dlxVmrTimeoutGet(&seconds), 1);
    EXPECT_EQ(detailA(), detail);
    int value = 0;
    EXPECT_EQ(dlxVmrDIOGet(1, &value), DLXVMR_E_NOT_OPEN);
    EXPECT_EQ(detailA(), korda::test::errorString(DLXVMR_E_NOT_OPEN));
}

#ifndef _WIN32
// A COM port that cannot be opened names the device with the system's reason.
// The wide detail counts wide characters: "é" (two bytes in UTF-8, one wide
// character) gives one less than the narrow detail.
TEST_F(Library, AComPortThatCannotBeOpenedIsNamedNarrowAndWide) {
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    korda::test::TempDir dir;
    const std::string base = dir.path().string();
    for (const auto& [path, reason] : {std::pair<std::string, std::string>{base, "Is a directory"},
                                       std::pair<std::string, std::string>{
                                           base + "/\xC3\xA9-tty", "No such file or directory"}}) {
        ::setenv("KORDA_COM7", path.c_str(), 1);
        dlxVmrCCFsetBCN(2, DLXVMR_INTERFACE_USB, 7, nullptr, DLXVMR_MODEL_7043A);
        EXPECT_EQ(dlxVmrCommOpen(2), DLXVMR_E_INSTRUMENT_NOT_FOUND);
        EXPECT_EQ(detailA(), "open " + path + ": " + reason);
    }
    ::unsetenv("KORDA_COM7");
    if (utf8) {
        wchar_t wide[512];
        const int length = dlxVmrGetLastErrorDetailW(wide, 512);
        EXPECT_EQ(length, static_cast<int>(std::wcslen(wide)));
        EXPECT_EQ(length + 1, dlxVmrGetLastErrorDetailA(nullptr, 0));
        EXPECT_NE(std::wstring(wide).find(L"/\u00e9-tty: "), std::wstring::npos);
        // Cut short or not copied at all, it still gives the whole length.
        wchar_t small[8];
        EXPECT_EQ(dlxVmrGetLastErrorDetailW(small, 8), length);
        EXPECT_EQ(std::wstring(small), std::wstring(wide).substr(0, 7));
        EXPECT_EQ(dlxVmrGetLastErrorDetailW(nullptr, 0), length);
    }
    std::setlocale(LC_CTYPE, previous.c_str());
}
#endif

TEST_F(Library, ATimedOutQueryIsDescribedInFull) {
    // The identification arrives without its line end, on every try.
    ScriptedPeer peer([](const std::string& m, int) {
        std::string out;
        for (const auto& line : korda::test::lines(m)) {
            if (line == "SYST:ERR?") out += "0,\"No error\"\r\n";
            if (line == "*IDN?") out += "KORDA,7043A";
        }
        return ScriptedPeer::Action{out};
    });
    ASSERT_EQ(korda::test::openLoopback(1, peer.port()), 1);
    // A limit of 0 s leaves the least time per line: 150 ms.
    ASSERT_EQ(dlxVmrTimeoutSet(0), 1);
    EXPECT_EQ(dlxVmrModelCheck(1), -1015);
    EXPECT_EQ(detailA(), "*IDN? timed out after 150 ms, 11 bytes received");
    dlxVmrCommClose(1);
}

TEST_F(Library, EachThreadSeesTheDetailOfItsOwnFailure) {
    const std::uint16_t port = closedPort();
    EXPECT_EQ(dlxVmrTimeoutGet(nullptr), DLXVMR_E_INVALID_PARAMETER);
    // Both threads meet once each has failed. (A mutex and a condition
    // variable: the C++20 barrier's waits have lost wake-ups in some standard
    // libraries, which hung this test under Wine.)
    std::mutex meeting;
    std::condition_variable met;
    int arrived = 0;
    const auto bothFailed = [&] {
        std::unique_lock<std::mutex> g(meeting);
        if (++arrived == 2) met.notify_all();
        met.wait(g, [&] { return arrived == 2; });
    };
    std::string seenByConnector, seenByReader;
    std::thread connector([&] {
        EXPECT_EQ(korda::test::openLoopback(3, port), DLXVMR_E_CONNECTION_REFUSED);
        bothFailed();
        seenByConnector = detailA();
    });
    std::thread reader([&] {
        int count = 0;
        EXPECT_EQ(dlxVmrGetScansCount(4, &count), DLXVMR_E_NOT_OPEN);
        bothFailed();
        seenByReader = detailA();
    });
    connector.join();
    reader.join();
    EXPECT_EQ(seenByConnector.rfind("connect 127.0.0.1:" + std::to_string(port) + ": ", 0), 0u);
    EXPECT_EQ(seenByReader, korda::test::errorString(DLXVMR_E_NOT_OPEN));
    EXPECT_EQ(detailA(), korda::test::errorString(DLXVMR_E_INVALID_PARAMETER));
}

TEST(Trace, TracesAnExchangeByteForByteUntilSwitchedOff) {
    std::vector<Trace> trace;
    ASSERT_EQ(dlxVmrTraceSet(collect, &trace), 1);
    {
        VirtualInstrumentSession session(sim::Model::M7043A, 5);
        ASSERT_EQ(session.openStatus(), 1);
        int count = -1;
        ASSERT_EQ(dlxVmrGetScansCount(5, &count), 1);
        const std::string port = std::to_string(session.server().port());
        const std::vector<Trace> expected{
            {5, DLXVMR_TRACE_EVENT, "connect 127.0.0.1:" + port},
            {5, DLXVMR_TRACE_SENT, "*CLS"},
            {5, DLXVMR_TRACE_SENT, "SYST:COMM:TERM CRLF"},
            {5, DLXVMR_TRACE_SENT, "SYST:ERR?"},
            {5, DLXVMR_TRACE_RECEIVED, "0,\"No error\""},
            {5, DLXVMR_TRACE_SENT, "DATA:POIN?"},
            {5, DLXVMR_TRACE_RECEIVED, std::to_string(count)},
        };
        EXPECT_EQ(trace, expected);

        // Switched off (a context without a function is none): nothing more arrives.
        ASSERT_EQ(dlxVmrTraceSet(nullptr, &trace), 1);
        ASSERT_EQ(dlxVmrGetScansCount(5, &count), 1);
        EXPECT_EQ(trace.size(), expected.size());
    }
    EXPECT_EQ(trace.size(), 7u);
}
