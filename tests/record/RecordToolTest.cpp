// korda record and export as a user runs them against the virtual instrument
// inside korda: what the recording holds, its CSV forms, the schema, the
// refused command lines and the live view on a terminal.
#include "KordaRun.h"
#include "store/Schema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

using korda::test::TempDir;
namespace store = korda::tool::store;

namespace {

using korda::test::outputLines;
using korda::test::runKorda;

std::string sql(const std::string& db, const std::string& query) {
    sqlite3* h = nullptr;
    std::string out;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        h, query.c_str(),
        [](void* o, int n, char** values, char**) {
            auto& s = *static_cast<std::string*>(o);
            for (int i = 0; i < n; ++i)
                s += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
            s += "\n";
            return 0;
        },
        &out, nullptr);
    sqlite3_close(h);
    return out;
}

const std::string kExample = KORDA_SOURCE_DIR "/examples/5129A-thermocouples.json";

} // namespace

// The schema is written once; both dialects' statements are checked in (each
// recording test runs them).
TEST(RecordSchema, StatementsOfBothDialectsMatchTheirGoldenFiles) {
    for (const auto& [dialect, name] : {std::pair{store::Dialect::Sqlite, "sqlite"},
                                        std::pair{store::Dialect::Postgresql, "postgresql"}}) {
        const std::string path = std::string(KORDA_GOLDEN_DIR) + "/recording-" + name + ".sql";
        if (std::getenv("KORDA_UPDATE_GOLDEN")) std::ofstream(path) << store::createScript(dialect);
        std::ifstream f(path);
        std::stringstream golden;
        golden << f.rdbuf();
        EXPECT_EQ(store::createScript(dialect), golden.str()) << path;
    }
}

// A recording holds the run, the instrument, its channels as configured and
// its scans; export gives them back with the UTC offset, filtered by channel
// and time.
TEST(RecordTool, RecordsIntoSqliteAndExportsCsv) {
    TempDir dir;
    const std::string zone = "TZ=XYZ-1"; // UTC+01:00 all year
    const auto r = runKorda(
        dir, "record --config " + kExample + " --interval 0 --count 30 --to run.sqlite", zone);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("sim: 30 scans recorded in run.sqlite, 0 gaps"), std::string::npos)
        << r.err;
    const std::string db = dir.file("run.sqlite").string();
    EXPECT_EQ(sql(db, "SELECT count(*), min(sequence), max(sequence), count(DISTINCT "
                      "utc_offset_min), max(utc_offset_min) FROM scans"),
              "30|1|30|1|60\n");
    EXPECT_EQ(sql(db, "SELECT model, config_json IS NOT NULL FROM instruments"), "5129A|1\n");
    EXPECT_EQ(sql(db, "SELECT ended IS NOT NULL, command_line FROM runs"),
              "1|korda record --config " + kExample + " --interval 0 --count 30 --to run.sqlite\n");
    EXPECT_EQ(sql(db, "SELECT number, name, unit, function, range FROM channels WHERE position "
                      "= 0"),
              "101|Oven top|C|TEMP_TC|K\n");

    auto e = runKorda(dir, "export run.sqlite -o all.csv", zone);
    ASSERT_EQ(e.code, 0) << e.err;
    const auto all = outputLines(dir.read("all.csv"));
    ASSERT_EQ(all.size(), 31u);
    EXPECT_EQ(all[0].rfind("time,101 Oven top (C),", 0), 0u) << all[0];
    const std::regex row("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\+01:00(,[^,]+)+");
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_TRUE(std::regex_match(all[i], row)) << all[i];
        if (i > 1) {
            EXPECT_LE(all[i - 1].substr(0, 23), all[i].substr(0, 23)); // ordered by time
        }
    }
    // The tenth to the twentieth scan of channel 102, the times with their offset.
    e = runKorda(dir, "export run.sqlite --channels 102 --from " + all[10].substr(0, 29) +
                          " --until " + all[20].substr(0, 29) + " -o some.csv");
    ASSERT_EQ(e.code, 0) << e.err;
    const auto some = outputLines(dir.read("some.csv"));
    ASSERT_EQ(some.size(), 11u) << dir.read("some.csv");
    EXPECT_EQ(some[0], "time,102 Oven middle (C)");
    EXPECT_EQ(some[1].substr(0, 29), all[10].substr(0, 29));
}

// --to FILE.csv writes what scan writes: the same header, one row per scan.
TEST(RecordTool, RecordsIntoCsvAsScanWrites) {
    TempDir dir;
    ASSERT_EQ(
        runKorda(dir, "config set " + kExample + " scan --interval 0 --count 3 -o scan.csv").code,
        0);
    const auto r =
        runKorda(dir, "record --config " + kExample + " --interval 0 --count 3 --to run.csv");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto scanned = outputLines(dir.read("scan.csv"));
    const auto recorded = outputLines(dir.read("run.csv"));
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[0], scanned[0]);
    const auto cells = [](const std::string& l) { return std::count(l.begin(), l.end(), ','); };
    EXPECT_EQ(cells(recorded[3]), cells(scanned[1]));
}

TEST(RecordTool, RefusesBadCommandLinesBeforeAnythingIsSent) {
    TempDir dir;
    for (const auto& c : korda::test::goldenRows("tool/record-bad-arguments.txt")) {
        const auto r = runKorda(dir, c.at(0)); // arguments, a part of the message
        EXPECT_EQ(r.code, 2) << c.at(0) << ": " << r.err;
        EXPECT_NE(r.err.find(c.at(1)), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("two.csv")));
    dir.write("not.sqlite", "plain text, no database");
    const auto r = runKorda(dir, "export not.sqlite");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not.sqlite: "), std::string::npos) << r.err;
    // A configuration the instrument would not hold as written is not sent.
    std::string cut = dir.read(kExample);
    cut.replace(cut.find("Oven top"), 8, "Oven top left of the door");
    dir.write("cut.json", cut);
    const auto c = runKorda(dir, "record --config cut.json --count 1 --to c.csv");
    EXPECT_EQ(c.code, 1);
    EXPECT_NE(c.err.find("is cut to 15 characters"), std::string::npos) << c.err;
    EXPECT_NE(c.err.find("nothing was sent"), std::string::npos) << c.err;
}

// On a terminal every instrument has a status line, rewritten in place.
TEST(RecordTool, ShowsAStatusLinePerInstrumentOnATerminal) {
    TempDir dir;
    const auto r = korda::test::runKordaOnTerminal(
        dir, {"sim:", "sim:7043A", "record", "--for", "2", "--to", "run.sqlite"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("sim: +scanning +[0-9]+ scans .*101 [0-9.]+")))
        << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("sim:7043A +scanning"))) << r.out;
    EXPECT_NE(r.out.find("\x1b[2A\x1b[J"), std::string::npos) << r.out;
}
