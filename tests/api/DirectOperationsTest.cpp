// The direct operations through the exported interface: against the virtual
// instrument, and against a scripted instrument for exact bytes and bad replies.
#include "ScriptedInstrument.h"
#include "TestSupport.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <regex>

using namespace korda;
using namespace korda::test;

namespace {

std::string ask(sim::Instrument& in, const std::string& query) {
    const auto replies = in.execute(query);
    return replies.empty() ? std::string() : replies.front();
}

// Every direct operation with usable arguments, by name.
std::vector<std::pair<const char*, std::function<int(int)>>> directCalls() {
    static int out = 0;
    static char text[32];
    static wchar_t wide[32];
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
    };
}

} // namespace

TEST(DirectOperations, FrameStatusesAndNullArguments) {
    for (const auto& [name, call] : directCalls())
        EXPECT_EQ(call(1), -2002) << name;
    dlxVmrDeleteBuffer(nullptr); // works in any state, does nothing

    VirtualInstrumentSession session;
    ASSERT_EQ(session.openStatus(), 1);
    for (const auto& [name, call] : directCalls())
        EXPECT_EQ(call(7), -2007) << name;

    // Missing out-values and texts: -2, and nothing reaches the instrument.
    const auto before = session.instrument().linesExecuted();
    char buffer[8];
    wchar_t wide[8];
    EXPECT_EQ(dlxVmrDIOGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrTotalizerGet(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, nullptr), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, nullptr, 8), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, nullptr, 8), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, buffer, 0), -2);
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, wide, 0), -2);
    EXPECT_EQ(session.instrument().linesExecuted(), before);

    // A buffer the library would hand out is released by dlxVmrDeleteBuffer.
    dlxVmrDeleteBuffer(new char[16]);
}

TEST(DirectOperations, DigitalIOIsTheComplementOfTheInstrumentByte) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    int value = -1;
    in.execute("SOUR:DIG:DATA:BYTE 0");
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 255);
    in.execute("SOUR:DIG:DATA:BYTE 255");
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 0);

    // Instrument at 255 (application 0): setting bit 0 writes 254.
    EXPECT_EQ(dlxVmrDIOSet(1, 1, 1), 1);
    EXPECT_EQ(ask(in, "SOUR:DIG:DATA:BYTE?"), "254");
    // Only the bits of the mask change; bits above 8 are ignored.
    EXPECT_EQ(dlxVmrDIOSet(1, 0x1F0, 0xFA0), 1); // application: 0xA1
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 0xA1);
    EXPECT_EQ(ask(in, "SOUR:DIG:DATA:BYTE?"), std::to_string(0xFF - 0xA1));
    EXPECT_EQ(dlxVmrDIOSet(1, 0x01, 0x00), 1);
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 0xA0);

    // *RST puts every line back high (application view 0).
    in.execute("*RST");
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 0);
}

TEST(DirectOperations, UnusableDigitalIOReplies) {
    ScriptedSession session;
    ASSERT_EQ(session.openStatus(), 1);
    auto& peer = session.instrument;
    peer.script("SOUR:DIG:DATA:BYTE?", {"256", "abc", "  +17"});
    int value = 99;
    EXPECT_EQ(dlxVmrDIOGet(1, &value), -1);
    EXPECT_EQ(errorString(-1), "Invalid response: 256");
    EXPECT_EQ(value, 99);
    // A reply without digits is just as unusable, and DIOSet then sends nothing.
    EXPECT_EQ(dlxVmrDIOSet(1, 1, 1), -1);
    EXPECT_EQ(errorString(-1), "Invalid response: abc");
    for (const auto& line : peer.received())
        EXPECT_NE(line.rfind("SOUR:DIG:DATA:BYTE ", 0), 0u);
    // Leading blanks and a plus sign are fine.
    EXPECT_EQ(dlxVmrDIOGet(1, &value), 1);
    EXPECT_EQ(value, 255 - 17);
    // Bit 7 is already set in the application's view 238: the byte stays 17.
    EXPECT_EQ(dlxVmrDIOSet(1, 0x80, 0x80), 1);
    EXPECT_EQ(peer.count("SOUR:DIG:DATA:BYTE 17"), 1);
}

TEST(DirectOperations, Totalizer) {
    VirtualInstrumentSession session;
    sim::addTotalizerCounts(session.instrument(), 42);
    int count = -1;
    EXPECT_EQ(dlxVmrTotalizerGet(1, &count), 1);
    EXPECT_EQ(count, 42);
    EXPECT_EQ(dlxVmrTotalizerClear(1), 1);
    EXPECT_EQ(dlxVmrTotalizerGet(1, &count), 1);
    EXPECT_EQ(count, 0);

    session.instrument().forceError("TOT:CLE", -200, "Execution error");
    EXPECT_EQ(dlxVmrTotalizerClear(1), -200);
    EXPECT_EQ(errorString(-200), "TOT:CLE => \"Execution error");
}

TEST(DirectOperations, TotalizerRepliesThatAreNoCount) {
    ScriptedSession session;
    auto& peer = session.instrument;
    peer.script("TOT:DATA?", {"abc", "99999999999", "  -7 counts"});
    int count = 5;
    EXPECT_EQ(dlxVmrTotalizerGet(1, &count), -2035);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(dlxVmrTotalizerGet(1, &count), -2035);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(dlxVmrTotalizerGet(1, &count), 1);
    EXPECT_EQ(count, -7);
}

TEST(DirectOperations, OemIdentityRoundTripAndTruncation) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, "ACME-0123456"), 1);
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "ACME-0123456");
    char text[32];
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, text, sizeof text), 1);
    EXPECT_STREQ(text, "ACME-0123456");
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, text, 5), 1);
    EXPECT_STREQ(text, "ACME");
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, text, 1), 1);
    EXPECT_STREQ(text, "");

    // Kept in flash: *RST leaves it.
    in.execute("*RST");
    wchar_t wide[32];
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, wide, 32), 1);
    EXPECT_STREQ(wide, L"ACME-0123456");
    EXPECT_EQ(dlxVmrOEMIdentityGetW(1, wide, 3), 1);
    EXPECT_STREQ(wide, L"AC");

    // The wide form keeps the low 8 bits of each character.
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, L"W\x0141ID"), 1); // U+0141 -> 0x41 'A'
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "WAID");

    // An empty text is stored too.
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, ""), 1);
    EXPECT_EQ(dlxVmrOEMIdentityGetA(1, text, sizeof text), 1);
    EXPECT_STREQ(text, "\"\"");
}

TEST(DirectOperations, OemIdentityTextCannotInjectCommands) {
    ScriptedSession session;
    auto& peer = session.instrument;
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, "AB\r\n*RST\tC\x7F"), 1);
    // U+010A would become a line feed once reduced to 8 bits.
    EXPECT_EQ(dlxVmrOEMIdentitySetW(1, L"X\x010A*RST"), 1);
    EXPECT_EQ(peer.count("SYST:OEM:IDEN:STOR \"AB*RSTC\",\"FLASH\""), 1);
    EXPECT_EQ(peer.count("SYST:OEM:IDEN:STOR \"X*RST\",\"FLASH\""), 1);
    EXPECT_EQ(peer.count("*RST"), 0);
    // A quotation mark is left as it is.
    EXPECT_EQ(dlxVmrOEMIdentitySetA(1, "a\"b"), 1);
    EXPECT_EQ(peer.count("SYST:OEM:IDEN:STOR \"a\"b\",\"FLASH\""), 1);
}

TEST(DirectOperations, ClockCommandsTravelInOneCheckedExchange) {
    ScriptedSession session;
    auto& peer = session.instrument;
    const auto before = korda32ex::platform::localTime();
    ASSERT_EQ(dlxVmrTimeSet(1), 1);
    ASSERT_EQ(dlxVmrTimeSetUTC(1), 1);
    const auto messages = peer.messages();
    ASSERT_GE(messages.size(), 3u); // terminator, local, UTC
    const std::regex batch("\\*CLS\r\nSYST:DATE ([0-9]{4}),([1-9][0-9]?),([1-9][0-9]?)\r\n"
                           "SYST:ERR\\?\r\n"
                           "SYST:TIME ([1-9]?[0-9]),([1-9]?[0-9]),([1-9]?[0-9])\\.([0-9]{3})\r\n"
                           "SYST:ERR\\?\r\n");
    std::smatch m;
    const std::string local = messages[messages.size() - 2];
    ASSERT_TRUE(std::regex_match(local, m, batch)) << local;
    EXPECT_EQ(std::stoi(m[1]), before.year);
    ASSERT_TRUE(std::regex_match(messages.back(), m, batch)) << messages.back();
}

TEST(DirectOperations, ClockReachesTheInstrument) {
    VirtualInstrumentSession session;
    auto& in = session.instrument();
    in.execute("SYST:DATE 2001,1,1");
    const auto pc = korda32ex::platform::utcTime();
    ASSERT_EQ(dlxVmrTimeSetUTC(1), 1);
    // The instrument now reads the PC's UTC date (allow for a date change at midnight).
    const std::string date = ask(in, "SYST:DATE?");
    const auto after = korda32ex::platform::utcTime();
    const auto dateOf = [](const korda32ex::platform::CalendarTime& t) {
        return std::to_string(t.year) + "," + std::to_string(t.month) + "," + std::to_string(t.day);
    };
    EXPECT_TRUE(date == dateOf(pc) || date == dateOf(after)) << date;
    ASSERT_EQ(dlxVmrTimeSet(1), 1);
    const auto local = korda32ex::platform::localTime();
    const std::string time = ask(in, "SYST:TIME?");
    const int hour = std::atoi(time.c_str());
    EXPECT_TRUE(hour == local.hour || (hour + 1) % 24 == local.hour) << time;
}
