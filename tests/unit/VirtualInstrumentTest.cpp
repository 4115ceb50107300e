// The virtual instrument on its own: its dialogue, settings, channels,
// scanning model and fault injection.
#include "ConfigSupport.h"
#include "LogMemory.h"
#include "ScpiArgs.h"
#include "TestSupport.h"
#include "Transcript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace korda::sim;

namespace {

// The cases of golden/sim-dialogues.txt (see its head for the form).
TEST(VirtualInstrument, Dialogues) {
    for (const korda::test::TranscriptCase& c : korda::test::readTranscript("sim-dialogues.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        const Model model = c.step("model") == "5129A" ? Model::M5129A : Model::M7043A;
        std::vector<std::string> modules = defaultModules(model);
        if (!c.step("modules").empty()) {
            ASSERT_TRUE(parseModuleList(model, c.step("modules"), modules));
        }
        Instrument in(model, modules);
        std::vector<std::string> replies;
        std::string line;
        // Checks the line run last against what the transcript expected of it.
        const auto check = [&](std::size_t next) {
            std::vector<std::string> expected;
            std::string error = "0";
            for (; next < c.lines.size() && c.lines[next].kind != '>' && c.lines[next].kind != '@';
                 ++next)
                (c.lines[next].kind == '<' ? expected.push_back(c.lines[next].text)
                                           : void(error = c.lines[next].text));
            EXPECT_EQ(replies, expected) << line;
            if (line.find('?') != std::string::npos) return;
            EXPECT_EQ(std::to_string(in.popError().first), error) << line;
            while (in.popError().first != 0) {
            }
        };
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const auto& [kind, text] = c.lines[i];
            std::istringstream words(text);
            std::string step;
            double a = 0, b = 0;
            words >> step >> a >> b;
            if (kind == '>') {
                line = text;
                replies = in.execute(line);
                check(i + 1);
            } else if (kind == '@' && text == "manual clock") {
                useManualClock(in);
            } else if (kind == '@' && step == "totalizer") {
                addTotalizerCounts(in, static_cast<std::uint32_t>(a));
            } else if (kind == '@' && step == "value") {
                setChannelValue(in, static_cast<int>(a), b);
            } else if (kind == '@' && step == "advance") {
                advanceClock(in, static_cast<std::int64_t>(a));
            } else if (kind == '@' && text.starts_with("log capacity")) {
                setLogMemoryCapacity(in, static_cast<std::size_t>(std::stoul(text.substr(13))));
            }
        }
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
    // The line end chosen survives a reset.
    EXPECT_EQ(feed(s, "SYSTem:COMMunicate:TERMinator CRLF\n*RST\n*OPT?\n"),
              "MUX22,0,MUX22,0,MUX22,0\r\n");
}

TEST(VirtualInstrument, ModulesAreChosenPerInstance) {
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
}

TEST(VirtualInstrument, NumberedScansCountEveryScanTaken) {
    Instrument in(Model::M5129A);
    useManualClock(in);
    setNumberedScans(in, true);
    using Replies = std::vector<std::string>;
    const auto run = [&](std::initializer_list<const char*> lines) {
        for (const char* line : lines)
            EXPECT_EQ(in.execute(line), Replies{}) << line;
        EXPECT_EQ(in.popError().first, 0);
    };
    run({"ROUT:SCAN (@101,102)", "TRIG:TIM 1", "TRIG:COUN 0", "INIT"});
    EXPECT_EQ(in.execute("DATA:READ?"), Replies{"1.000000e+00,1.000000e+00"});
    advanceClock(in, 2000); // scans 2 and 3, cleared unread
    run({"ABOR", "*RST", "ROUT:SCAN (@101)", "TRIG:TIM 0", "TRIG:COUN 0", "DATA:LOG:AUTO 1",
         "DATA:LOG:DEST MEM", "INIT"});
    EXPECT_EQ(in.execute("DATA:READ?"), Replies{"4.000000e+00"});
    // A backlog of 100000 sweeps: the memory keeps the newest, the log every one.
    advanceClock(in, 1000000);
    run({"ABOR"});
    EXPECT_EQ(in.execute("DATA:POIN?"), Replies{"50000"});
    EXPECT_EQ(in.execute("DATA:READ?"), Replies{"5.000500e+04"});
    const std::string log = logFiles(in).back().dataText;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 100001);
    EXPECT_NE(log.find(",1.000040E+05,0,"), std::string::npos);
    // Scan numbers from 10^7 up arrive exactly, as far as a float holds them.
    in.scan.scansTaken = 16777214;
    run({"DATA:CLE", "INIT"});
    EXPECT_EQ(in.execute("DATA:READ?"), Replies{"1.6777215e+07"});
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
