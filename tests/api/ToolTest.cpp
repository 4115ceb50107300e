// The korda program as a user runs it: against the virtual instrument inside
// it (sim:), a virtual instrument in this process over TCP, and instruments
// behind pseudo-terminal COM ports; its output shapes, messages and exit
// codes.
#include "Child.h"
#include "KordaRun.h"
#include "RecordingWriter.h"
#include "ScanModel.h"
#include "TcpServer.h"
#include "TempDir.h"
#include "Transcript.h"
#include "UsbBench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using korda::test::TempDir;

namespace {

using Result = korda::test::KordaResult;
using korda::test::outputLines;
using korda::test::runKorda;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// One run of korda and what it must answer: its exit code, its whole
// standard output (when given) and parts of its output and messages.
struct Run {
    std::string args;
    int code = 0;
    std::optional<std::string> out = {};
    std::vector<std::string> outHas = {};
    std::vector<std::string> errHas = {};
    std::string env = "";
    std::string to = ""; // standard output: a path or a pipe (see runKorda)
    std::vector<std::string> errHasNot = {};
};

void expectRuns(const TempDir& dir, const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        const auto r = runKorda(dir, run.args, run.env, run.to);
        EXPECT_EQ(r.code, run.code) << run.args << ": " << r.err;
        if (run.out) {
            EXPECT_EQ(r.out, *run.out) << run.args;
        }
        for (const auto& part : run.outHas)
            EXPECT_TRUE(contains(r.out, part)) << run.args << ": " << r.out;
        for (const auto& part : run.errHas)
            EXPECT_TRUE(contains(r.err, part)) << run.args << ": " << r.err;
        for (const auto& part : run.errHasNot)
            EXPECT_FALSE(contains(r.err, part)) << run.args << ": " << r.err;
    }
}

// The runs of a table in tests/golden (its header tells the columns),
// each ${NAME} in it replaced by the value of vars.
void expectRunsOf(const TempDir& dir, const std::string& table,
                  std::map<std::string, std::string> vars = {}) {
    vars["SOURCE"] = KORDA_SOURCE_DIR;
    vars["VERSION"] = KORDA_EXPECTED_VERSION;
    vars["\\n"] = "\n";
    vars["\\t"] = "\t";
    const auto fill = [&](std::string text) {
        for (const auto& [name, value] : vars) {
            const std::string key = name[0] == '\\' ? name : "${" + name + "}";
            for (auto at = text.find(key); at != std::string::npos;
                 at = text.find(key, at + value.size()))
                text.replace(at, key.size(), value);
        }
        return text;
    };
    std::vector<Run> runs;
    for (auto row : korda::test::goldenRows(table)) {
        row.resize(std::max<std::size_t>(row.size(), 4));
        Run run{.args = fill(row[0]),
                .code = std::stoi(row[1]),
                .env = fill(row[2]),
                .to = fill(row[3])};
        for (std::size_t i = 4; i < row.size(); ++i) {
            const std::string kind = row[i].substr(0, 4), text = fill(row[i].substr(4));
            if (kind == "out=")
                run.out = text;
            else
                (kind == "out~"   ? run.outHas
                 : kind == "err~" ? run.errHas
                                  : run.errHasNot)
                    .push_back(text);
        }
        runs.push_back(run);
    }
    EXPECT_FALSE(runs.empty()) << table;
    expectRuns(dir, runs);
}

const std::regex kIsoTime("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3}[+-]\\d{2}:\\d{2}");

// No file but those listed is left in the directory (no temporary output).
std::vector<std::string> leftovers(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().extension() == ".tmp") out.push_back(e.path().filename().string());
    return out;
}

} // namespace

TEST(Tool, BadArgumentsExitWith2BeforeAnythingIsSent) {
    TempDir dir;
    korda::sim::Instrument instrument(korda::sim::Model::M7043A);
    korda::sim::TcpServer server(instrument);
    const std::string at = "tcp://127.0.0.1:" + std::to_string(server.port()) + " ";
    dir.write("bad.json", "{\n  \"flags\": {\"rate\": \"FAST\"},\n  \"triggerCount\": -1\n}\n");
    dir.write("typo.json", "{\"channel1\": {\"fuction\": \"VOLT\"}}");
    dir.write("broken.json", "{\n  \"flags\": [1,\n}");
    // Usage errors end with the usage line; a file named on the command line
    // that cannot be read or is wrong does not (exit 1 and 2).
    for (const auto& c : korda::test::goldenRows("tool/bad-arguments.txt")) {
        // exit code, usage line or not, arguments, a part of the message
        const auto r = runKorda(dir, at + c.at(2));
        EXPECT_EQ(r.code, std::stoi(c.at(0))) << c.at(2) << ": " << r.err;
        EXPECT_TRUE(contains(r.err, c.at(3))) << c.at(2) << ": " << r.err;
        EXPECT_EQ(contains(r.err, "korda --help"), c.at(1) == "yes") << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    for (const char* address :
         {"tcp://127.0.0.1:70000", "tcp://", "tcp://bad_host!", "usb:0", "usb:x", "sim:9999X"}) {
        const auto r = runKorda(dir, std::string(address) + " idn");
        EXPECT_EQ(r.code, 2) << address << ": " << r.err;
    }
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

// The virtual instrument inside korda answers; a refused command, record or
// device ends the run with its exit code and a message that names it. Help,
// and the README's acquisition.
TEST(Tool, RunsAgainstTheVirtualInstrumentInside) {
    TempDir dir;
    dir.write("empty.json", "{}");
    expectRunsOf(dir, "tool/runs-sim.txt");
}

// Every write is checked, the last flush included (a closed pipe: below).
TEST(Tool, AFailedWriteIsAFailure) {
    TempDir dir;
    expectRunsOf(dir, "tool/runs-full.txt");
    EXPECT_TRUE(leftovers(dir).empty());
}

TEST(Tool, ScanWritesCsvWithIsoTimeStampsAndTheirOffset) {
    TempDir dir;
    const auto r = runKorda(dir, "scan --count 5 --interval 0", "TZ=CET-1");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "no progress line when not on a terminal: " << r.err;
    const auto l = outputLines(r.out);
    ASSERT_EQ(l.size(), 6u) << r.out;
    EXPECT_EQ(l[0], "time,101,102,103");
    for (std::size_t i = 1; i < l.size(); ++i)
        EXPECT_TRUE(std::regex_match(l[i], std::regex("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}"
                                                      "\\.\\d{3}\\+01:00(,-?[0-9.e+-]+){3}")))
            << l[i];
}

namespace {

// The text of the one temporary output file in dir; empty when there is none.
std::string temporaryOutput(const TempDir& dir) {
    const auto names = leftovers(dir);
    return names.size() == 1 ? dir.read(names[0]) : std::string();
}

} // namespace

// -o: progress on a terminal, the file put in place whole, a file it
// replaces keeping its permissions.
TEST(Tool, ScanShowsProgressOnATerminal) {
    TempDir dir;
    namespace fs = std::filesystem;
    dir.write("run.csv", "old");
    fs::permissions(dir.file("run.csv"), fs::perms::owner_read | fs::perms::owner_write);
    const auto r = korda::test::runKordaOnTerminal(
        dir, {"scan", "--count", "3", "--interval", "0", "-o", "run.csv"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "\rscan: 3 of 3")) << r.out;
    EXPECT_EQ(outputLines(dir.read("run.csv")).size(), 4u);
    EXPECT_EQ(fs::status(dir.file("run.csv")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(leftovers(dir).empty());
}

// Ctrl-C, SIGTERM and SIGHUP stop a scan or a monitor in order: the
// instrument is stopped, what arrived is kept (a file put in place whole)
// and korda exits with 130.
TEST(Tool, AStopSignalStopsTheInstrumentKeepingWhatArrived) {
    const struct {
        std::vector<std::string> args;
        int signal;
        bool toFile; // -o run.csv; otherwise standard output to out.csv
    } cases[] = {
        {{"scan", "--interval", "0", "-o"}, SIGINT, true},
        {{"scan", "--count", "1000000", "--interval", "0", "-o"}, SIGTERM, true},
        {{"monitor", "101"}, SIGHUP, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        korda::sim::Instrument instrument(korda::sim::Model::M7043A);
        korda::sim::setScanChannels(instrument, {101, 102});
        korda::sim::TcpServer server(instrument);
        std::vector<std::string> args = {
            KORDA_TOOL, "tcp://127.0.0.1:" + std::to_string(server.port()), "raw", "TRIG:COUN 0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.toFile) args.push_back(dir.file("run.csv").string());
        // Standard output (and error) to out.csv when not to a file.
        korda::test::Child korda(args, {}, dir.file(c.toFile ? "korda.log" : "out.csv").string());
        ASSERT_GT(korda.pid(), 0);
        // Rows arrive in a temporary file beside run.csv, or on standard
        // output. (The bound only proves that nothing hangs: under a
        // sanitizer on a busy machine the first rows can take seconds.)
        const auto rows = [&] {
            return outputLines(c.toFile ? temporaryOutput(dir) : dir.read("out.csv")).size();
        };
        if (!korda::test::waitUntil([&] { return rows() >= 3; }, 30000))
            FAIL() << "no rows arrived";
        EXPECT_FALSE(std::filesystem::exists(dir.file("run.csv")));
        korda.signal(c.signal);
        EXPECT_EQ(korda.wait(30000), 130) << c.args[0];
        EXPECT_FALSE(korda::sim::scanning(instrument));
        const auto l = outputLines(dir.read(c.toFile ? "run.csv" : "out.csv"));
        ASSERT_GE(l.size(), 3u);
        EXPECT_EQ(l[0], c.toFile ? "time,101,102" : "time,101");
        EXPECT_TRUE(leftovers(dir).empty());
    }
}

// A Ctrl-C while config get reads the configuration back waits for the
// restore: the instrument is left as it was.
TEST(Tool, CtrlCDuringConfigGetLeavesTheInstrumentAsItWas) {
    TempDir dir;
    korda::sim::Instrument instrument(korda::sim::Model::M5129A);
    instrument.execute("TRIG:COUN 5");
    auto faults = instrument.faults();
    faults.replyDelayMs = 5; // a read-back long enough to be caught in the middle
    instrument.setFaults(faults);
    korda::sim::TcpServer server(instrument);
    korda::test::Child korda({KORDA_TOOL, "tcp://127.0.0.1:" + std::to_string(server.port()),
                              "config", "get", "-o", dir.file("back.json").string()},
                             {}, dir.file("korda.log").string());
    ASSERT_GT(korda.pid(), 0);
    const auto logging = [&] {
        std::lock_guard<std::recursive_mutex> g(instrument.mutex());
        return instrument.settings.logAuto;
    };
    if (!korda::test::waitUntil(logging, 30000)) FAIL() << "the read-back never started";
    korda.signal(SIGINT);
    EXPECT_EQ(korda.wait(30000), 130);
    std::lock_guard<std::recursive_mutex> g(instrument.mutex());
    EXPECT_FALSE(instrument.settings.logAuto);
    EXPECT_EQ(instrument.settings.triggerCount, 5);
    EXPECT_FALSE(std::filesystem::exists(dir.file("back.json")));
    EXPECT_TRUE(leftovers(dir).empty());
}

// A virtual 5129A served over TCP by this process.
class ToolOverTcp : public ::testing::Test {
  protected:
    TempDir dir;
    korda::sim::Instrument instrument{korda::sim::Model::M5129A};
    korda::sim::TcpServer server{instrument};
    const std::string at = "tcp://127.0.0.1:" + std::to_string(server.port());
};

TEST_F(ToolOverTcp, AddressesModelsAndHosts) {
    expectRunsOf(dir, "tool/runs-tcp.txt", {{"AT", at}, {"PORT", std::to_string(server.port())}});
    server.stop();
    expectRuns(dir, {{.args = at + " idn",
                      .code = 4,
                      .errHas = {"korda: opening " + at +
                                 ": nothing accepts connections at that address and port"}}});
}

// A closed pipe stops the scan as Ctrl-C does: the next one starts.
TEST_F(ToolOverTcp, AClosedPipeStopsTheScan) {
    korda::sim::setScanChannels(instrument, {101, 102});
    expectRuns(dir, {{.args = at + " raw \"TRIG:COUN 0\" scan --interval 0",
                      .code = 1,
                      .errHas = {"korda: cannot write standard output: Broken pipe\n",
                                 "; the instrument is stopped\n"},
                      .to = "| head -n 1"}});
    EXPECT_FALSE(korda::sim::scanning(instrument));
    expectRuns(dir, {{.args = at + " scan --count 1", .outHas = {"time,101"}}});
}

TEST_F(ToolOverTcp, ColumnsCarryTheNamesAndUnitsTheInstrumentHolds) {
    expectRunsOf(dir, "tool/runs-columns.txt", {{"AT", at}});
}

// The USB bench: a 5129A on COM1, a 7043A on COM4 (see UsbBench.h).
class ToolOverUsb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!bench.ready()) GTEST_SKIP() << bench.reason();
    }
    korda::test::UsbBench bench;
    TempDir dir;
};

TEST_F(ToolOverUsb, PortsAreOpenedGivenOrSearched) {
    expectRunsOf(dir, "tool/runs-usb.txt");
}

// A recording of four scans as the instrument writes it to a USB drive.
class ToolFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        korda::sim::RecordingOptions o;
        o.scans = 4;
        const auto rec = korda::sim::buildRecording(korda::sim::demoConfiguration(o.model), o);
        ASSERT_TRUE(korda::sim::writeRecording(dir.path().string(), rec));
    }
    TempDir dir;
    const std::string at = dir.path().string();
};

TEST_F(ToolFiles, VerifyReadAndSetupOfARecording) {
    const std::string data = dir.read("dat00001.csv");
    expectRunsOf(dir, "tool/runs-files.txt", {{"AT", at}});
    EXPECT_EQ(dir.read("dat00001.csv"), data);
    std::filesystem::remove(dir.file("setup.csv"));
    expectRuns(dir, {{.args = "files " + at + " config",
                      .code = 1,
                      .errHas = {"korda: cannot read " + at +
                                 "/setup.csv: No such file or directory\n"}}});
}

TEST_F(ToolFiles, AChangedReadingIsReportedWithItsLine) {
    auto text = outputLines(dir.read("dat00001.csv"));
    const std::size_t bad = text.size() - 2; // from 0: the second-last line
    const auto comma = text[bad].find(',', text[bad].find(',') + 1);
    text[bad][comma + 1] = text[bad][comma + 1] == '9' ? '8' : '9';
    std::string changed;
    for (const auto& line : text)
        changed += line + "\n";
    dir.write("dat00001.csv", changed);
    const std::string line = std::to_string(bad + 1);
    expectRuns(dir,
               {
                   {.args = "files " + at + " verify",
                    .code = 3,
                    .errHas = {at + "/dat00001.csv: line " + line + " fails its check code\n"}},
                   // The scans before it are written, the rest reported.
                   {.args = "files " + at + " read --skip-bad -o part.csv",
                    .errHas = {at + "/dat00001.csv: line " + line +
                               " fails its check code; it and the lines after it (2 "
                               "scans) are not written, 2 scans are\n"}},
               });
    EXPECT_EQ(outputLines(dir.read("part.csv")).size(), 3u);
}

// The example with its scans recorded into the instrument's log memory.
std::string loggingExample(const TempDir& dir) {
    std::string text = dir.read(KORDA_SOURCE_DIR "/examples/5129A-thermocouples.json");
    const std::string off = "\"recordDestination\": \"OFF\"";
    text.replace(text.find(off), off.size(), "\"recordDestination\": \"MEM\"");
    dir.write("logging.json", text);
    return dir.file("logging.json").string();
}

TEST_F(ToolOverTcp, ALoggedRunReadsBackByItsListedName) {
    const std::string file = loggingExample(dir);
    auto r = runKorda(dir, at + " config set '" + file +
                               "' scan --count 3 --interval 0 log status log list");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("free: \\d+ KiB\nused: \\d+ KiB\ntotal: \\d+ KiB\n")))
        << r.out;
    const auto l = outputLines(r.out);
    ASSERT_GE(l.size(), 5u) << r.out;
    const std::string name = l.back();
    // The name without its extension finds the file.
    ASSERT_EQ(name.substr(name.size() - 4), ".CSV");
    r = runKorda(dir, at + " log read '" + name.substr(0, name.size() - 4) + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto rows = outputLines(r.out);
    ASSERT_GE(rows.size(), 2u) << r.out;
    EXPECT_TRUE(contains(rows[0], "101 Oven top (C)")) << rows[0];
    EXPECT_TRUE(std::regex_search(rows[1], kIsoTime)) << rows[1];
    r = runKorda(dir, at + " log config '" + name + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "\"function\": \"TEMP_TC\"")) << r.out;
    // A reply of many lines is printed whole.
    r = runKorda(dir, at + " raw 'MEM:LOG:READ? \"" + name + "\"' '*IDN?'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(outputLines(r.out).size(), rows.size() + 1) << r.out; // its own header, the identity
    expectRuns(dir, {{.args = at + " log format log list", .out = ""}});
}

TEST(Tool, DoctorShowsTheLastLinesOnTheWireOfAFailure) {
    TempDir dir;
    // Three opens, the last two asking the identity, then silence.
    const std::string idn = "KORDA-SIM,5129A,SIM00001,1.00";
    std::vector<korda::test::TranscriptLine> script;
    for (int open = 0; open < 3; ++open) {
        script.insert(script.end(), {{'>', "*CLS"},
                                     {'>', "SYST:COMM:TERM CRLF"},
                                     {'>', "SYST:ERR?"},
                                     {'<', "0,\"No error\""},
                                     {'>', "*IDN?"},
                                     {'<', idn}});
    }
    script.erase(script.begin() + 4, script.begin() + 6); // the first open asks no identity
    script.push_back({'>', "*IDN?"});                     // asked again, never answered
    korda::test::ReplayPeer peer(script);
    const auto r = runKorda(dir, "tcp://127.0.0.1:" + std::to_string(peer.port()) + " doctor",
                            "KORDA_TEST_TIMEOUT_MS=200");
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_TRUE(contains(r.out, "reachable: yes")) << r.out;
    EXPECT_TRUE(contains(r.err, "korda: asking *IDN?: ")) << r.err;
    EXPECT_TRUE(contains(r.out, "last on the wire:\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  < " + idn + "\n  > *IDN?\n")) << r.out;
}

TEST(Tool, TheProgramCallsTheSharedLibraryForEveryExportedFunction) {
    // Not one exported function is defined inside korda itself.
    TempDir dir;
    const std::string command = "nm --defined-only '" + std::string(KORDA_TOOL) +
                                "' 2>/dev/null | grep -c ' [TW] dlxVmr' >'" +
                                dir.file("count.txt").string() + "'";
    if (std::system("nm --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no nm";
    (void)std::system(command.c_str());
    EXPECT_EQ(dir.read("count.txt"), "0\n");
}
#endif
