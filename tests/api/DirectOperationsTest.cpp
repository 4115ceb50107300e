// The direct operations through the exported interface: against the virtual
// instrument, and against a scripted instrument for exact bytes and bad replies.
#include "TestSupport.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>

using namespace korda;
using namespace korda::test;

namespace {

// The OEM identity read into a buffer of `size` characters ("?" on failure).
std::string oemA(int size) {
    char text[64] = {};
    return dlxVmrOEMIdentityGetA(1, text, size) == 1 ? text : "?";
}
std::wstring oemW(int size) {
    wchar_t text[64] = {};
    return dlxVmrOEMIdentityGetW(1, text, size) == 1 ? text : L"?";
}

} // namespace

TEST(DirectOperations, DigitalIOIsTheComplementOfTheInstrumentsByte) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    in.execute("SOUR:DIG:DATA:BYTE 0");
    EXPECT_EQ(statusAndValue(dlxVmrDIOGet, 1), std::pair(1, 255));
    in.execute("SOUR:DIG:DATA:BYTE 255");

    // Instrument at 255 (application 0): setting bit 0 writes 254.
    EXPECT_EQ(dlxVmrDIOSet(1, 1, 1), 1);
    EXPECT_EQ(ask(in, "SOUR:DIG:DATA:BYTE?"), "254");
    // Only the bits of the mask change; bits above 8 are ignored.
    EXPECT_EQ(dlxVmrDIOSet(1, 0x1F0, 0xFA0), 1); // application: 0xA1
    EXPECT_EQ(statusAndValue(dlxVmrDIOGet, 1), std::pair(1, 0xA1));
    EXPECT_EQ(ask(in, "SOUR:DIG:DATA:BYTE?"), std::to_string(0xFF - 0xA1));
    EXPECT_EQ(dlxVmrDIOSet(1, 0x01, 0x00), 1);
    EXPECT_EQ(statusAndValue(dlxVmrDIOGet, 1), std::pair(1, 0xA0));
}

// The totalizer counts until cleared; an instrument error on clearing is
// returned with its text.
TEST(DirectOperations, TheTotalizerCountsUntilCleared) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    sim::addTotalizerCounts(in, 42);
    EXPECT_EQ(statusAndValue(dlxVmrTotalizerGet, 1), std::pair(1, 42));
    EXPECT_EQ(dlxVmrTotalizerClear(1), 1);
    EXPECT_EQ(statusAndValue(dlxVmrTotalizerGet, 1), std::pair(1, 0));
    // Type RRES: reading the count resets it.
    in.execute("TOT:TYPE RRES");
    sim::addTotalizerCounts(in, 7);
    EXPECT_EQ(statusAndValue(dlxVmrTotalizerGet, 1), std::pair(1, 7));
    EXPECT_EQ(statusAndValue(dlxVmrTotalizerGet, 1), std::pair(1, 0));
    in.forceError("TOT:CLE", -200, "Execution error");
    EXPECT_EQ(dlxVmrTotalizerClear(1), -200);
    EXPECT_EQ(errorString(-200), "TOT:CLE => \"Execution error");
    // A forced error names its command in either form.
    in.setFaults({});
    in.forceError("TOTalize:CLEar", -201, "Invalid while in local");
    EXPECT_EQ(dlxVmrTotalizerClear(1), -201);
}

TEST(DirectOperations, TheOemIdentityReadsBackAsStoredWithinTheCallersSize) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, "ACME-0123456"), 1);
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "\"ACME-0123456\"");
    EXPECT_EQ(oemA(32), "ACME-0123456");
    EXPECT_EQ(oemA(5), "ACME");
    EXPECT_EQ(oemA(1), "");

    // Kept in flash: *RST leaves it.
    in.execute("*RST");
    EXPECT_EQ(oemW(3), L"AC");

    // The wide form keeps the low 8 bits of each character.
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, L"W\x0141ID"), 1); // U+0141 -> 0x41 'A'
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "\"WAID\"");

    // Quotation marks travel doubled both ways and read back as they were.
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, "say \"hi\";*RST"), 1);
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "\"say \"\"hi\"\";*RST\"");
    EXPECT_EQ(oemA(32), "say \"hi\";*RST");
    EXPECT_EQ(oemW(6), L"say \"");

    // An empty text is stored too, and answered in the same form.
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, ""), 1);
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "\"\"");
    EXPECT_EQ(oemA(32), "");
}

TEST(DirectOperations, ClockCommandsTravelInOneCheckedExchange) {
    // A peer that answers every error query with no error.
    ScriptedPeer peer([](const std::string& m, int) {
        std::string out;
        for (const auto& line : lines(m))
            if (line == "SYST:ERR?") out += "0,\"No error\"\r\n";
        return ScriptedPeer::Action{out};
    });
    dlxVmrLibInit(0);
    ASSERT_EQ(openLoopback(1, peer.port()), 1);
    namespace pf = korda32ex::platform;
    const auto local = pf::localTime();
    ASSERT_EQ(dlxVmrTimeSet(1), 1);
    const auto utc = pf::utcTime();
    ASSERT_EQ(dlxVmrTimeSetUTC(1), 1);
    const auto messages = peer.messages();
    dlxVmrCommClose(1);
    dlxVmrLibExit();
    ASSERT_GE(messages.size(), 3u); // terminator, local, UTC
    const std::regex batch("\\*CLS\r\nSYST:DATE ([0-9]{4}),([1-9][0-9]?),([1-9][0-9]?)\r\n"
                           "SYST:ERR\\?\r\n"
                           "SYST:TIME ([1-9]?[0-9]),([1-9]?[0-9]),([1-9]?[0-9])\\.([0-9]{3})\r\n"
                           "SYST:ERR\\?\r\n");
    // Each batch carries the PC's clock of its kind (the hour may turn meanwhile).
    const std::pair<std::string, pf::CalendarTime> sent[] = {{messages[messages.size() - 2], local},
                                                             {messages.back(), utc}};
    for (const auto& [message, pc] : sent) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(message, m, batch)) << message;
        EXPECT_EQ(std::stoi(m[1]), pc.year);
        const int hour = std::stoi(m[4]);
        EXPECT_TRUE(hour == pc.hour || hour == (pc.hour + 1) % 24) << message;
    }
}
