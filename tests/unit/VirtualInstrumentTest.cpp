// The virtual instrument on its own: its dialogue, settings, channels,
// scanning model and fault injection.
#include "ScpiArgs.h"
#include "TestSupport.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace korda::sim;

namespace {

// Plays a dialogue of steps "line => expected" separated by " | ": a query
// must give the expected first reply line ("<none>" when it gives none); a
// command must give no reply and leave the expected error code ("0" when
// none) in the error queue.
void play(Instrument& in, const std::string& dialogue) {
    for (std::size_t pos = 0; pos < dialogue.size();) {
        const std::size_t end = std::min(dialogue.find(" | ", pos), dialogue.size());
        const std::string step = dialogue.substr(pos, end - pos);
        pos = end + 3;
        const std::size_t arrow = step.find(" => ");
        ASSERT_NE(arrow, std::string::npos) << step;
        const std::string line = step.substr(0, arrow);
        const auto replies = in.execute(line);
        std::string got;
        if (line.find('?') != std::string::npos) {
            got = replies.empty() ? "<none>" : replies.front();
        } else {
            EXPECT_TRUE(replies.empty()) << line;
            got = std::to_string(in.popError().first);
            while (in.popError().first != 0) {
            }
        }
        EXPECT_EQ(got, step.substr(arrow + 4)) << line;
    }
}

TEST(VirtualInstrument, DialogueFramingAndErrorQueue) {
    Instrument in(Model::M5129A);
    Session s(in);
    // Several commands in one write, split over several reads.
    std::string out = s.feed("*CL", 3);
    EXPECT_EQ(out, "");
    const std::string rest = "S\r\n*IDN?\r\nFOO:BAR 1\r\nSYST:ERR?\r\nsyst:err?\r\n";
    out = s.feed(rest.data(), rest.size());
    EXPECT_EQ(out, "KORDA-SIM,5129A,SIM00001,1.00\n-113,\"Undefined header\"\n0,\"No error\"\n");

    const std::string crlf = "SYSTem:COMMunicate:TERMinator CRLF\n*OPT?\n";
    EXPECT_EQ(s.feed(crlf.data(), crlf.size()), "MUX22,0,MUX22,0,MUX22,0\r\n");
    in.setModule(1, "");
    const std::string opt = "*RST\n*OPT?\n";
    EXPECT_EQ(s.feed(opt.data(), opt.size()), "MUX22,0,NONE,0,MUX22,0\r\n");

    Instrument small(Model::M7043A);
    Session s2(small);
    const std::string q = "*OPT?\nSYST:COMM:TERM XX\nSYST:ERR?\n";
    EXPECT_EQ(s2.feed(q.data(), q.size()), "MUX22,0,MUX22,0\n-224,\"Illegal parameter value\"\n");
}

TEST(VirtualInstrument, SettingsAnswerInTheirReplyFormsAndResetRestoresThem) {
    Instrument in(Model::M7043A);
    struct Setting {
        const char *command, *query, *initial, *changed;
    };
    const Setting settings[] = {
        {"UNIT:TEMP F", "UNIT:TEMP?", "C", "F"},
        {"RATE MEDIUM", "RATE?", "FAST", "MED"},
        {"TRIG:SOUR ALARM", "TRIG:SOUR?", "TIM", "ALAR"},
        {"TRIG:COUN 99999", "TRIG:COUN?", "1", "99999"},
        {"TRIG:TIM 3725", "TRIG:TIM?", "10", "3725"},
        {"TRIG:AUTO:ORD rev", "TRIG:AUTO:ORD?", "000", "REV"},
        {"TRIG:AUTO:CONT ON", "TRIG:AUTO:CONT?", "0", "1"},
        {"TRIG:ALAR:CHAN (@105)", "TRIG:ALAR:CHAN?", "000", "105"},
        {"TRIG:AUTO:REF (@1)", "TRIG:AUTO:REF?", "000", "1"},
        {"ROUT:SCAN:RES 1", "ROUT:SCAN:RES?", "0", "1"},
        {"MEMORY:LOG:SECURITY 1", "MEM:LOG:SEC?", "0", "1"},
        {"DATA:LOG:AUTO 1", "DATA:LOG:AUTO?", "0", "1"},
        {"DATA:LOG:DEST MMEM", "DATA:LOG:DEST?", "MEM", "MMEM"},
        {"TOT:DEB ON", "TOT:DEB?", "0", "1"},
        {"TOT:TYPE RRES", "TOT:TYPE?", "READ", "RRES"},
        {"TOT:STAT 1", "TOT:STAT?", "0", "1"},
        {"ROUT:SCAN (@101:103,1)", "ROUT:SCAN?", "(@)", "(@101,102,103,1)"}};
    for (const auto& s : settings)
        play(in, std::string(s.query) + " => " + s.initial + " | " + s.command + " => 0 | " +
                     s.query + " => " + s.changed);
    EXPECT_EQ(in.scanList(), (std::vector<int>{101, 102, 103, 1}));
    play(in, "TRIG:TIM INF => 0 | TRIG:TIM? => 0 | *RST => 0");
    for (const auto& s : settings)
        play(in, std::string(s.query) + " => " + s.initial);
    EXPECT_TRUE(in.scanList().empty());
}

TEST(VirtualInstrument, ChannelFunctionsRangesAndSettings) {
    Instrument in(Model::M7043A);
    play(in, "ROUT:CHAN:STAT? (@101) => 0 | CONF:VOLT 10.000000,(@101,102) => 0 | "
             "ROUT:CHAN:STAT? (@101,102,103) => 1,1,0 | CONF? (@101) => \"VOLT\" | "
             "VOLT:DC:RANG? (@101) => +1.00000000E+01 | SENS:VOLT:RANG:AUTO? (@101) => 0 | "
             "VOLT:RANG:AUTO ON,(@101) => 0 | VOLT:RANG:AUTO? (@101) => 1");
    // A value between two ranges takes the next range up.
    play(in, "CONF:VOLT 12,(@101) => 0 | VOLT:DC:RANG? (@101) => +5.00000000E+01");
    play(in, "CONF:CURR:DC 0.000100,(@121) => 0 | CONF? (@121) => \"CURR\" | "
             "CURR:DC:RANG? (@121) => +1.00000000E-04 | CONF:FRES 100000000.000000,(@1) => 0 | "
             "FRES:RANG? (@1) => +1.00000000E+08");
    play(in, "CONF:TEMP TC,j,(@103) => 0 | CONF? (@103) => \"TEMP TC\" | "
             "TEMP:TC:TYPE? (@103) => J | "
             "TEMP:TC:POLY:COEF 0.5,1.5,2.5,3.5,4.5,5.5,6.5,(@103) => 0 | "
             "TEMP:TC:POLY:COEF? (@103) => +5.00000000E-01,+1.50000000E+00,+2.50000000E+00,"
             "+3.50000000E+00,+4.50000000E+00,+5.50000000E+00,+6.50000000E+00");
    play(in, "CONF:TEMP FRTD,SPRT,(@104) => 0 | TEMP:FRTD:TYPE? (@104) => SPRT | "
             "CONF:TEMP FTH,R10K,(@105) => 0 | CONF? (@105) => \"TEMP FTH\" | "
             "TEMP:FTH:TYPE? (@105) => R10K | CONF:FREQ (@106) => 0 | CONF? (@106) => \"FREQ\"");
    // A name may hold anything but a line end, a channel list included; a
    // rejected value changes no channel of the list.
    play(in, "ROUT:CHAN:NAME \"a,(@1)\", (@101) => 0 | ROUT:CHAN:NAME? (@101) => \"a,(@1)\" | "
             "CALC:LIM2 7,(@101,102) => 0 | CALC:LIM2 x,(@101,102) => -224 | "
             "CALC:LIM2? (@101,102) => +7.00000000E+00,+7.00000000E+00");
    // Channels switched off, and *RST restoring every channel setting.
    play(in, "ROUT:CHAN:STAT OFF,(@101:103) => 0 | "
             "ROUT:CHAN:STAT? (@101,102,103,104) => 0,0,0,1 | *RST => 0 | "
             "ROUT:CHAN:STAT? (@104) => 0 | CONF? (@104) => \"VOLT\" | "
             "CALC:LIM2? (@101) => +0.00000000E+00");
}

TEST(VirtualInstrument, BadSettingsModelsAndModulesAreInstrumentErrors) {
    Instrument small(Model::M7043A);
    play(small, "UNIT:TEMP K => -224 | RATE => -109 | TRIG:COUN 100000 => -222 | "
                "TRIG:COUN -1 => -222 | TRIG:COUN two => -104 | TRIG:TIM 360000 => -222 | "
                "TRIG:ALAR:CHAN (@101,102) => -108 | DATA:LOG:DEST USB => -224 | "
                "TOT:STAT maybe => -224 | ROUT:SCAN (@101,123) => -222 | "
                "ROUT:SCAN (@105:101) => -224 | ROUT:SCAN 101 => -109 | TRIG:COUN? => 1 | "
                "ROUT:SCAN? => (@)");
    // No third slot on this model; no shunt on module channel 1; no AC functions.
    play(small, "TRIG:ALAR:CHAN (@305) => -222 | CONF:VOLT (@301) => -222 | "
                "CALC:LIM1 5,(@301) => -222 | CONF:CURR:DC (@101) => -221 | "
                "CONF:VOLT:AC (@101) => -113 | CURR:AC:RANG:AUTO ON,(@121) => -113");
    play(small, "CONF:VOLT (@123) => -222 | CONF:VOLT (@501) => -221 | CONF:VOLT => -109 | "
                "CONF:VOLT (@10x) => -224 | CONF:TEMP PT,A385,(@101) => -224 | "
                "CONF:TEMP RTD,A999,(@101) => -224 | TEMP:RTD:SPRT:RTPW 25.5,(@101) => 0 | "
                "TEMP:THER:RPOL:COEF 1,2,3,4,(@101) => 0 | CONF:VOLT 301,(@101) => -222 | "
                "RES:RANG:AUTO ON,(@101) => -221 | TEMP:TC:R:COEF 1,2,3,(@103) => -109 | "
                "TEMP:TC:ODET ON, (@101) => -221 | CALC:LIM1:STAT MID,(@101) => -224 | "
                "CALC:LIM1:FEED 9, (@101) => -224 | CALC:LIM1 5 => -109");
    play(small, "NPLC 10,(@501) => -221 | CALC:MATH:FUNC ADD,(@101) => -221 | "
                "CALC:MATH:FUNC FOO,(@501) => -224 | CALC:MATH:SOUR:ACH (@502),(@501) => -224 | "
                "CALC:MATH:COEF 1,2,3,4,5,6,7,8, (@501) => -224");
    small.setModule(1, "");
    play(small, "CONF:VOLT (@201) => -222");

    Instrument large(Model::M5129A);
    play(large,
         "CONF:VOLT:AC 10,(@301) => 0 | CONF:CURR:AC (@322) => 0 | "
         "CONF:TEMP RTD,SPRT,(@101) => -224 | CONF:TEMP THER,RPOL,(@101) => -224 | "
         "CONF:TEMP TC,POLY,(@101) => -224 | TEMP:TC:POLY:COEF 1,2,3,4,5,6,7,(@101) => -113 | "
         "TEMP:RTD:ABC:COEF 1,2,3,(@101) => -113 | TEMP:RTD:A385:RZER 100,(@101) => 0 | "
         "ROUT:SCAN (@101,322,501,520,1) => 0 | VOLT:AC:RANG? (@301) => +1.00000000E+01 | "
         "CONF? (@322) => \"CURR:AC\"");
}

TEST(VirtualInstrument, ChannelListsAndNumbers) {
    ChannelArgs a;
    ASSERT_TRUE(parseChannelArgs("ON, (@101:103,1)", a));
    EXPECT_EQ(a.params, "ON");
    EXPECT_EQ(a.channels, (std::vector<int>{101, 102, 103, 1}));
    ASSERT_TRUE(parseChannelArgs("(@)", a));
    EXPECT_TRUE(a.hasList);
    EXPECT_TRUE(a.channels.empty());
    EXPECT_FALSE(parseChannelArgs("(@101", a));
    EXPECT_FALSE(parseChannelArgs("(@101) x", a));
    EXPECT_FALSE(parseChannelArgs("(@1:99999)", a)); // too long a range

    EXPECT_EQ(realReply(10), "+1.00000000E+01");
    EXPECT_EQ(realReply(-0.0001), "-1.00000000E-04");
    EXPECT_EQ(realReply(0), "+0.00000000E+00");
    EXPECT_EQ(realReply(9.9e37), "+9.90000000E+37");
    double v = 0;
    EXPECT_TRUE(parseReal("1.000000e-03", v));
    EXPECT_EQ(v, 0.001);
    EXPECT_FALSE(parseReal("1.5x", v));
    EXPECT_FALSE(parseReal("nan", v));
}

TEST(VirtualInstrument, ReadingFormatAndMemory) {
    Instrument in(Model::M5129A);
    useManualClock(in);
    play(in, "SYST:DATE 2030,12,31 => 0 | SYST:TIME 23,59,59.5 => 0 | TRIG:TIM 1 => 0");
    setScanChannels(in, {101, 301});
    setChannelValue(in, 101, 0.5);
    setChannelValue(in, 301, -12.0);
    play(in, "DATA:READ? => 9.910000E+37"); // nothing stored
    storeScans(in, 2);
    // With time fields, one interval later: the year has turned.
    play(in, "DATA:POIN? => 2 | DATA:READ? => 5.000000e-01,-1.200000e+01 | "
             "FORM:READ:TIME ON => 0 | FORM:READ:ALAR 1 => 0 | "
             "DATA:READ? => 5.000000e-01,-1.200000e+01,0,2031,1,1,0,0,0.500 | DATA:POIN? => 0");
}

TEST(VirtualInstrument, TimedSweepsOnTheManualClock) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    setScanChannels(in, {101});
    play(in, "TRIG:TIM 0 => 0 | TRIG:COUN 0 => 0 | INIT => 0"); // as fast as it goes, until stopped
    EXPECT_TRUE(scanning(in));
    EXPECT_EQ(storedScanCount(in), 1u);
    // The run keeps the settings it started with.
    play(in, "TRIG:COUN 1 => 0 | TRIG:TIM 5 => 0");
    advanceClock(in, 100);
    EXPECT_TRUE(scanning(in));
    EXPECT_EQ(storedScanCount(in), 11u);
    // An hour of sweeps: the memory keeps the newest ones, and quickly.
    advanceClock(in, 3600 * 1000);
    EXPECT_EQ(storedScanCount(in), ScanState::kMemoryScans);
    in.execute("ABOR");
    advanceClock(in, 1000);
    EXPECT_EQ(storedScanCount(in), ScanState::kMemoryScans);
    play(in, "DATA:CLE => 0 | DATA:POIN? => 0 | STAT:OPER? => 0");
}

TEST(VirtualInstrument, MonitoringAndOperationStatus) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    // Nothing to read or switch on before a channel is chosen; no status before a reading.
    play(in, "ROUT:MON:DATA? => <none> | SYST:ERR? => -221,\"Settings conflict\" | "
             "ROUT:MON:STAT ON => -221 | ROUT:MON (@1) => 0 | ROUT:MON:STAT ON => 0 | "
             "STAT:OPER? => 0 | TRIG:COUN 1 => 0 | INIT => 0 | STAT:OPER? => 512");
    setChannelValue(in, 1, 9.9e37);
    play(in, "ROUT:MON:DATA? => 9.900000e+37");
    setScanChannels(in, {102});
    play(in, "TRIG:COUN 0 => 0 | INIT => 0 | STAT:OPER? => 768 | INIT => -213");
}

TEST(VirtualInstrument, DirectStateAndReset) {
    Instrument in(Model::M7043A);
    play(in, "SYST:OEM:IDEN:STOR \"say \"\"hi\"\"\",\"FLASH\" => 0 | "
             "SYST:OEM:IDEN? => say \"hi\" | SYST:OEM:IDEN:STOR \"open => -102 | "
             "SYST:OEM:IDEN:STOR \"a\"b\",\"FLASH\" => -102 | "
             "SYST:OEM:IDEN:STOR \"a\",\"RAM\" => -224 | SYST:OEM:IDEN:STOR \"" +
                 std::string(64, 'x') + "\" => -223");
    play(in, "SOUR:DIG:DATA:BYTE 256 => -222 | SOUR:DIG:DATA:BYTE x => -104 | "
             "SYST:DATE 2026,2,29 => -222 | SYST:TIME 24,0,0 => -222 | SYST:KLOC MAYBE => -224 | "
             "SOUR:DIG:DATA:BYTE 3 => 0 | SYST:KLOC ON => 0");
    addTotalizerCounts(in, 5);
    play(in, "TOT:DATA? => 5 | TOT:CLE => 0 | TOT:DATA? => 0");
    addTotalizerCounts(in, 5);
    setChannelValue(in, 101, 1.0);
    // *RST: the identity stays in flash, test signals survive.
    play(in, "*RST => 0 | SOUR:DIG:DATA:BYTE? => 255 | SYST:KLOC? => 0 | TOT:DATA? => 0 | "
             "SYST:OEM:IDEN? => say \"hi\" | ROUT:MON (@101) => 0 | ROUT:MON:STAT ON => 0 | "
             "ROUT:MON:DATA? => 1.000000e+00");
}

TEST(VirtualInstrument, FaultsReachTheLibrary) {
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    dlxVmrTimeoutSet(1);
    Instrument in(Model::M7043A);
    TcpServer server(in);
    auto t = std::make_shared<korda32ex::TCPCommunication>(
        server.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
    ASSERT_EQ(t->open(1000), 1);
    korda32ex::SCPIHandler h(t);
    std::string reply;

    Faults f;
    f.garbage = std::string("\0\0", 2) + "junk\n";
    in.setFaults(f);
    std::vector<std::string> lines;
    EXPECT_EQ(h.queryLines({"*IDN?"}, lines), 1);
    EXPECT_EQ(lines.front(), "junk"); // the garbage line arrives first

    f = {};
    f.replyDelayMs = 50;
    in.setFaults(f);
    EXPECT_EQ(h.query("*IDN?", reply), 1);
    EXPECT_EQ(reply, "KORDA-SIM,7043A,SIM00001,1.00");

    f = {};
    f.silent = true;
    in.setFaults(f);
    EXPECT_EQ(h.query("*IDN?", reply), -1015);

    // Cut after 5 bytes: the partial line never completes.
    f = {};
    f.disconnectAfterBytes = 5;
    in.setFaults(f);
    const int st = h.query("*IDN?", reply);
    EXPECT_TRUE(st == -1012 || st == -1015) << st;

    in.setFaults({});
    in.forceError("*IDN?", -350, "Queue overflow");
    EXPECT_EQ(h.sendCommand("*IDN?"), -350);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

} // namespace
