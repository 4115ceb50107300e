// The virtual instrument on its own: its dialogue, settings, channels,
// scanning model and fault injection.
#include "ConfigSupport.h"
#include "LogMemory.h"
#include "ScpiArgs.h"
#include "TestSupport.h"

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

TEST(VirtualInstrument, LinesAreFramedAcrossReads) {
    Instrument in(Model::M5129A);
    Session s(in);
    const auto feed = [](Session& session, const std::string& text) {
        return session.feed(text.data(), text.size());
    };
    // Several commands in one write, split over several reads.
    EXPECT_EQ(feed(s, "*CL"), "");
    EXPECT_EQ(feed(s, "S\r\n*IDN?\r\nFOO:BAR 1\r\nSYST:ERR?\r\nsyst:err?\r\n"),
              "KORDA-SIM,5129A,SIM00001,1.00\n-113,\"Undefined header\"\n0,\"No error\"\n");
    EXPECT_EQ(feed(s, "SYSTem:COMMunicate:TERMinator CRLF\n*OPT?\n"),
              "MUX22,0,MUX22,0,MUX22,0\r\n");
    in.setModule(1, "");
    EXPECT_EQ(feed(s, "*RST\n*OPT?\n"), "MUX22,0,NONE,0,MUX22,0\r\n");

    Instrument small(Model::M7043A);
    Session s2(small);
    EXPECT_EQ(feed(s2, "*OPT?\nSYST:COMM:TERM XX\nSYST:ERR?\n"),
              "MUX22,0,MUX22,0\n-224,\"Illegal parameter value\"\n");
}

struct Setting {
    const char *command, *query, *initial, *changed;
};
const Setting kSettings[] = {{"UNIT:TEMP F", "UNIT:TEMP?", "C", "F"},
                             {"RATE MEDIUM", "RATE?", "FAST", "MED"},
                             {"TRIG:SOUR ALARM", "TRIG:SOUR?", "TIM", "ALAR"},
                             {"TRIG:AUTO:ORD rev", "TRIG:AUTO:ORD?", "000", "REV"},
                             {"TRIG:ALAR:CHAN (@105)", "TRIG:ALAR:CHAN?", "000", "105"},
                             {"MEMORY:LOG:SECURITY 1", "MEM:LOG:SEC?", "0", "1"},
                             {"TOT:TYPE RRES", "TOT:TYPE?", "READ", "RRES"},
                             {"ROUT:SCAN (@101:103,1)", "ROUT:SCAN?", "(@)", "(@101,102,103,1)"}};

TEST(VirtualInstrument, SettingsAnswerInTheirReplyForms) {
    Instrument in(Model::M7043A);
    for (const auto& s : kSettings)
        play(in, std::string(s.query) + " => " + s.initial + " | " + s.command + " => 0 | " +
                     s.query + " => " + s.changed);
    EXPECT_EQ(in.scanList(), (std::vector<int>{101, 102, 103, 1}));
}

TEST(VirtualInstrument, ResetRestoresTheSettings) {
    Instrument in(Model::M7043A);
    for (const auto& s : kSettings)
        in.execute(s.command);
    play(in, "TRIG:TIM INF => 0 | TRIG:TIM? => 0 | *RST => 0 | TRIG:TIM? => 10");
    for (const auto& s : kSettings)
        play(in, std::string(s.query) + " => " + s.initial);
    EXPECT_TRUE(in.scanList().empty());
}

TEST(VirtualInstrument, AChannelValueTakesTheNextRangeUp) {
    Instrument in(Model::M7043A);
    play(in, "ROUT:CHAN:STAT? (@101) => 0 | CONF:VOLT 10.000000,(@101,102) => 0 | "
             "ROUT:CHAN:STAT? (@101,102,103) => 1,1,0 | CONF? (@101) => \"VOLT\" | "
             "VOLT:DC:RANG? (@101) => +1.00000000E+01 | SENS:VOLT:RANG:AUTO? (@101) => 0 | "
             "VOLT:RANG:AUTO ON,(@101) => 0 | VOLT:RANG:AUTO? (@101) => 1");
    // A value between two ranges takes the next range up.
    play(in, "CONF:VOLT 12,(@101) => 0 | VOLT:DC:RANG? (@101) => +5.00000000E+01 | "
             "CONF:TEMP TC,j,(@103) => 0 | CONF? (@103) => \"TEMP TC\" | "
             "TEMP:TC:TYPE? (@103) => J");
}

TEST(VirtualInstrument, ARejectedChannelValueChangesNoChannelOfTheList) {
    Instrument in(Model::M7043A);
    // A name may hold anything but a line end, a channel list included.
    play(
        in,
        "ROUT:CHAN:NAME \"a\"\";*RST;\"\"\", (@101) => 0 | "
        "ROUT:CHAN:NAME? (@101) => \"a\"\";*RST;\"\"\" | ROUT:CHAN:NAME \"a\"b\", (@101) => -224 | "
        "ROUT:CHAN:NAME \"a,(@1)\", (@101) => 0 | ROUT:CHAN:NAME? (@101) => \"a,(@1)\" | "
        "CALC:LIM2 7,(@101,102) => 0 | CALC:LIM2 x,(@101,102) => -224 | "
        "CALC:LIM2? (@101,102) => +7.00000000E+00,+7.00000000E+00");
}

TEST(VirtualInstrument, ResetRestoresEveryChannelSetting) {
    Instrument in(Model::M7043A);
    play(in, "CONF:VOLT (@101,102) => 0 | CONF:TEMP TC,j,(@103) => 0 | CALC:LIM2 7,(@101) => 0");
    play(in, "ROUT:CHAN:STAT OFF,(@101:102) => 0 | ROUT:CHAN:STAT? (@101,102,103) => 0,0,1 | "
             "*RST => 0 | ROUT:CHAN:STAT? (@103) => 0 | CONF? (@103) => \"VOLT\" | "
             "CALC:LIM2? (@101) => +0.00000000E+00");
}

TEST(VirtualInstrument, InvalidCommandsAreInstrumentErrors) {
    Instrument small(Model::M7043A);
    play(small, "UNIT:TEMP K => -224 | RATE => -109 | TRIG:COUN 100000 => -222 | "
                "TRIG:COUN two => -104 | TRIG:ALAR:CHAN (@101,102) => -108 | "
                "ROUT:SCAN (@101,123) => -222 | TRIG:COUN? => 1 | ROUT:SCAN? => (@)");
    // No third slot on this model; no shunt on module channel 1; no AC functions.
    play(small, "CONF:VOLT (@301) => -222 | CONF:CURR:DC (@101) => -221 | "
                "CONF:VOLT:AC (@101) => -113 | CONF:VOLT (@10x) => -224 | "
                "CALC:MATH:SOUR:ACH (@502),(@501) => -224");
    small.setModule(1, "");
    play(small, "CONF:VOLT (@201) => -222");

    Instrument large(Model::M5129A);
    ChannelArgs a; // a range is bounded, and nothing may follow a list
    EXPECT_FALSE(parseChannelArgs("(@1:99999)", a));
    EXPECT_FALSE(parseChannelArgs("(@101) x", a));
    play(large, "CONF:VOLT:AC 10,(@301) => 0 | CONF:TEMP RTD,SPRT,(@101) => -224 | "
                "TEMP:TC:POLY:COEF 1,2,3,4,5,6,7,(@101) => -113 | "
                "VOLT:AC:RANG? (@301) => +1.00000000E+01");
}

TEST(VirtualInstrument, ModulesAreChosenPerInstance) {
    EXPECT_EQ(defaultModules(Model::M7043A).size(), 2u);
    EXPECT_EQ(defaultModules(Model::M5129A).size(), 3u);
    std::vector<std::string> modules;
    ASSERT_TRUE(parseModuleList(Model::M5129A, "MUX22,NONE,MUX22", modules));
    EXPECT_EQ(modules, (std::vector<std::string>{"MUX22", "", "MUX22"}));
    ASSERT_TRUE(parseModuleList(Model::M5129A, "-,MUX22", modules)); // the rest empty
    EXPECT_EQ(modules, (std::vector<std::string>{"", "MUX22", ""}));
    ASSERT_TRUE(parseModuleList(Model::M7043A, "none", modules));
    EXPECT_EQ(modules, (std::vector<std::string>{"", ""}));
    EXPECT_FALSE(parseModuleList(Model::M7043A, "A,B,C", modules)); // two slots only
    EXPECT_FALSE(parseModuleList(Model::M5129A, "MUX 22", modules));
    EXPECT_FALSE(parseModuleList(Model::M5129A, "A,\"B\"", modules));

    Instrument in(Model::M5129A, {"", "MUX22", "MUX22"});
    play(in, "*OPT? => NONE,0,MUX22,0,MUX22,0 | CONF:VOLT (@101) => -222 | "
             "ROUT:SCAN (@201,122) => -222 | CALC:LIM1 1,(@122) => -222 | "
             "CALC:MATH:SOUR:ACH (@101),(@501) => -224 | CONF:VOLT (@322) => 0 | "
             "*RST => 0 | *OPT? => NONE,0,MUX22,0,MUX22,0");
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
}

TEST(VirtualInstrument, NumberedScansCountEveryScanTaken) {
    Instrument in(Model::M5129A);
    useManualClock(in);
    setNumberedScans(in, true);
    play(in, "ROUT:SCAN (@101,102) => 0 | TRIG:TIM 1 => 0 | TRIG:COUN 0 => 0 | INIT => 0 | "
             "DATA:READ? => 1.000000e+00,1.000000e+00");
    advanceClock(in, 2000); // scans 2 and 3, cleared unread
    play(in,
         "ABOR => 0 | *RST => 0 | ROUT:SCAN (@101) => 0 | TRIG:TIM 0 => 0 | TRIG:COUN 0 => 0 | "
         "DATA:LOG:AUTO 1 => 0 | DATA:LOG:DEST MEM => 0 | INIT => 0 | DATA:READ? => 4.000000e+00");
    // A backlog of 100000 sweeps: the memory keeps the newest, the log every one.
    advanceClock(in, 1000000);
    play(in, "ABOR => 0 | DATA:POIN? => 50000 | DATA:READ? => 5.000500e+04");
    const std::string log = logFiles(in).back().dataText;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 100001);
    EXPECT_NE(log.find(",1.000040E+05,0,"), std::string::npos);
    // Scan numbers from 10^7 up arrive exactly, as far as a float holds them.
    in.scan.scansTaken = 16777214;
    play(in, "DATA:CLE => 0 | INIT => 0 | DATA:READ? => 1.6777215e+07");
}

TEST(VirtualInstrument, MonitoringNeedsAChannelThenAReading) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    // Nothing to read before a channel is chosen; no status before a reading.
    play(in, "ROUT:MON:DATA? => <none> | SYST:ERR? => -221,\"Settings conflict\" | "
             "ROUT:MON (@1) => 0 | ROUT:MON:STAT ON => 0 | STAT:OPER? => 0 | TRIG:COUN 1 => 0 | "
             "INIT => 0 | STAT:OPER? => 512");
    setScanChannels(in, {102});
    play(in, "TRIG:COUN 0 => 0 | INIT => 0 | STAT:OPER? => 768 | INIT => -213");
}

TEST(VirtualInstrument, ResetLeavesWhatIsNoSetting) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    play(in, "SYST:OEM:IDEN:STOR \"say \"\"hi\"\"\",\"FLASH\" => 0 | "
             "SYST:OEM:IDEN? => \"say \"\"hi\"\"\" | SYST:OEM:IDEN:STOR \"open => -102 | "
             "SYST:DATE 2026,2,29 => -222 | SOUR:DIG:DATA:BYTE 3 => 0 | SYST:KLOC ON => 0");
    addTotalizerCounts(in, 5);
    setChannelValue(in, 101, 1.0);
    // *RST: the identity stays in flash, test signals survive.
    play(in,
         "*RST => 0 | SOUR:DIG:DATA:BYTE? => 255 | SYST:KLOC? => 0 | TOT:DATA? => 0 | "
         "SYST:OEM:IDEN? => \"say \"\"hi\"\"\" | ROUT:MON (@101) => 0 | ROUT:MON:STAT ON => 0 | "
         "ROUT:MON:DATA? => 1.000000e+00");
}

TEST(VirtualInstrument, FaultsReachTheLibrary) {
    korda::test::ShortTimeLimit shortLimit;
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    korda::test::SimLink link;
    // The status and first reply line of "*IDN?" under the faults `set` sets.
    const auto idn = [&](auto set) {
        Faults f;
        set(f);
        link.instrument.setFaults(f);
        std::vector<std::string> lines;
        const int status = link.handler->queryLines({"*IDN?"}, lines);
        return std::pair(status, lines.empty() ? std::string() : lines.front());
    };
    // The garbage line arrives first.
    EXPECT_EQ(idn([](Faults& f) { f.garbage = std::string("\0\0", 2) + "junk\n"; }),
              std::pair(1, std::string("junk")));
    EXPECT_EQ(idn([](Faults& f) { f.replyDelayMs = 50; }),
              std::pair(1, std::string("KORDA-SIM,7043A,SIM00001,1.00")));
    EXPECT_EQ(idn([](Faults& f) { f.silent = true; }).first, -1015);
    // Cut after 5 bytes: the partial line never completes.
    const int cut = idn([](Faults& f) { f.disconnectAfterBytes = 5; }).first;
    EXPECT_TRUE(cut == -1012 || cut == -1015) << cut;

    link.instrument.setFaults({});
    link.instrument.forceError("*IDN?", -350, "Queue overflow");
    EXPECT_EQ(link.handler->sendCommand("*IDN?"), -350);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}

} // namespace
