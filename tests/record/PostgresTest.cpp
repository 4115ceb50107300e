// korda record --to postgresql://... against a PostgreSQL server the test
// starts itself, each fault case reconciled against the numbered scans of
// the virtual instrument (nothing lost, nothing stored twice): the server
// stopped and started again, the network silent, a refused password, the
// connection cut in the middle of a COPY or right after a COMMIT, korda
// killed there and started again, and three recorders (three PCs) writing
// into one database at once; and export and report reading the database.
#include "KordaRun.h"
#include "PostgresServer.h"
#include "RecordHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

using namespace korda::test;

namespace {

enum class Fault {
    ServerRestart,
    SilentNetwork,
    PasswordRefused,
    CutInCopy,
    CutAfterCommit,
    KillInCopy,
    KillAfterCommit
};

struct FaultCase {
    const char* name;
    Fault fault;
};

const FaultCase kCases[] = {
    {"ServerRestart", Fault::ServerRestart},     {"SilentNetwork", Fault::SilentNetwork},
    {"PasswordRefused", Fault::PasswordRefused}, {"CutInCopy", Fault::CutInCopy},
    {"CutAfterCommit", Fault::CutAfterCommit},   {"KillInCopy", Fault::KillInCopy},
    {"KillAfterCommit", Fault::KillAfterCommit},
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr int kOutageMs = 500;
const std::string kCopy("PGCOPY\n\377", 8); // the start of a batch's data
const std::string kCommit("COMMIT");

std::string address(RecordingBench& bench) {
    return "tcp://127.0.0.1:" + std::to_string(bench.proxy(0).port());
}

// What the database holds of the bench's instrument, reconciled.
Reconciliation reconcile(const PostgresServer& pg, RecordingBench& bench) {
    if (!pg.copyTo(bench.database())) return {"cannot copy the database", 0, 0, 0, 0};
    return bench.reconcile(0);
}

class RecordPostgres : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RecordPostgres, LosesNothingAndRepeatsNothing) {
    const FaultCase& c = GetParam();
    PostgresServer pg;
    KORDA_NEED_POSTGRES(pg);
    RecordingBench bench(1);
    Proxy link(pg.port());
    bench.target(pg.target(link.port()));
    bench.env("KORDA_SPOOL_DIR", bench.directory());
    if (c.fault == Fault::PasswordRefused) {
        ASSERT_EQ(pg.sql("ALTER ROLE recorder PASSWORD 'changed'"), "");
    }
    ASSERT_TRUE(bench.startRecorder());
    const auto stored = [&] { return pg.scans(address(bench)); };
    if (c.fault == Fault::PasswordRefused) {
        ASSERT_TRUE(waitFor([&] {
            return bench.log().find("password authentication failed") != std::string::npos;
        })) << bench.log();
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        EXPECT_EQ(stored(), 0);
        ASSERT_EQ(pg.sql("ALTER ROLE recorder PASSWORD 'secret'"), "");
    }
    ASSERT_TRUE(waitFor([&] { return stored() >= 20; })) << bench.log();

    switch (c.fault) {
    case Fault::ServerRestart:
        pg.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        ASSERT_TRUE(pg.start());
        break;
    case Fault::SilentNetwork: // nothing passes, then the links are closed
        link.cut(Proxy::Cut::Silence);
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        link.restore();
        break;
    case Fault::PasswordRefused:
        break;
    case Fault::CutInCopy:
    case Fault::CutAfterCommit:
        // In the middle of a batch's data, or once its commit is sent (the
        // answer lost: the batch is sent again).
        link.onData(c.fault == Fault::CutInCopy ? std::vector{kCopy} : std::vector{kCopy, kCommit});
        break;
    case Fault::KillInCopy:
    case Fault::KillAfterCommit: {
        // A backlog in the spool, the instrument's link silent (no fetch in
        // hand to lose), then korda killed while it forwards.
        pg.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(kOutageMs));
        bench.proxy(0).cut(Proxy::Cut::Silence);
        std::atomic<bool> killed{false};
        link.onData(c.fault == Fault::KillInCopy ? std::vector{kCopy} : std::vector{kCopy, kCommit},
                    [&] {
                        bench.stopRecorder(SIGKILL);
                        killed = true;
                    });
        ASSERT_TRUE(pg.start());
        ASSERT_TRUE(waitFor([&] { return killed.load(); })) << bench.log();
        bench.proxy(0).restore();
        ASSERT_TRUE(bench.startRecorder());
        break;
    }
    }
    // Scans taken after the fault (a batch forwarded before a kill may hold 40).
    const long long after = stored() + 40;
    ASSERT_TRUE(waitFor([&] { return stored() >= after; })) << bench.log();
    EXPECT_EQ(bench.stopRecorder(SIGINT), 130) << bench.log();

    const Reconciliation r = reconcile(pg, bench);
    EXPECT_TRUE(r.problems.empty()) << r.problems << bench.log();
    EXPECT_EQ(r.lost, 0);
    EXPECT_EQ(r.restarts, 0);
    EXPECT_EQ(r.gaps, 0);
    EXPECT_NE(bench.log().find("the scans wait in the spool"), std::string::npos) << bench.log();
    EXPECT_EQ(pg.sql("SELECT count(*) FROM runs WHERE ended IS NOT NULL"), "1");
}

INSTANTIATE_TEST_SUITE_P(Faults, RecordPostgres, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Three PCs, each recording its own instrument, write into one database at
// once (the schema made once); each instrument is a row of its own.
TEST(RecordPostgresFleet, ThreeRecordersWriteIntoOneDatabase) {
    PostgresServer pg;
    KORDA_NEED_POSTGRES(pg);
    std::vector<std::unique_ptr<RecordingBench>> pcs;
    for (int i = 0; i < 3; ++i) {
        pcs.push_back(std::make_unique<RecordingBench>(1));
        pcs.back()->target(pg.target(pg.port()));
        pcs.back()->env("KORDA_SPOOL_DIR", pcs.back()->directory());
        pcs.back()->env("KORDA_HOSTNAME", "pc" + std::to_string(i + 1));
    }
    for (auto& pc : pcs)
        ASSERT_TRUE(pc->startRecorder());
    for (auto& pc : pcs)
        ASSERT_TRUE(waitFor([&] { return pg.scans(address(*pc)) >= 40; })) << pc->log();
    for (auto& pc : pcs)
        EXPECT_EQ(pc->stopRecorder(SIGINT), 130) << pc->log();
    for (auto& pc : pcs) {
        const Reconciliation r = reconcile(pg, *pc);
        EXPECT_TRUE(r.problems.empty()) << r.problems << pc->log();
        EXPECT_EQ(r.lost + r.restarts + r.gaps, 0);
    }
    EXPECT_EQ(pg.sql("SELECT string_agg(host, ',' ORDER BY host) FROM instruments"), "pc1,pc2,pc3");
    EXPECT_EQ(pg.sql("SELECT count(*) FROM runs WHERE ended IS NOT NULL"), "3");
    // The password typed is kept nowhere.
    EXPECT_EQ(pg.sql("SELECT count(*) FROM runs WHERE command_line LIKE '%recorder:***@%'"), "3");
    EXPECT_EQ(pcs[0]->log().find("secret"), std::string::npos) << pcs[0]->log();
}

// With no server to reach (libpq's key=value form here), the scans wait in
// the spool beside korda, the status line counts them, and korda ends with 1
// saying where they wait.
TEST(RecordPostgresSpool, ShowsTheScansWaitingWhenNoServerAnswers) {
    TempDir dir;
    const auto r = runKordaOnTerminal(
        dir, {"record", "--interval", "0", "--for", "1", "--to",
              "host=" + dir.path().string() + " port=9 user=recorder dbname=korda"});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("sim: +scanning .* spooled [1-9][0-9]*")))
        << r.out;
    EXPECT_TRUE(std::regex_search(
        r.out,
        std::regex("[1-9][0-9]* scans wait in the spool korda-spool-recorder@.*_9_korda\\.sqlite")))
        << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file(
        "korda-spool-recorder@" + std::regex_replace(dir.path().string(), std::regex("/"), "_") +
        "_9_korda.sqlite")));
}

// What korda recorded into the database reads back as from an SQLite copy
// of it: the same channel table in report and the same CSV from export,
// also with a scan whose readings are cut short (the partial value is no
// reading) and a second instrument of 1200 scans merged in (cursors read in
// batches side by side); the password is shown nowhere.
TEST(ReadPostgres, ExportAndReportReadTheDatabaseAsTheFile) {
    PostgresServer pg;
    KORDA_NEED_POSTGRES(pg);
    TempDir dir;
    const std::string db = "'" + pg.target(pg.port()) + "'";
    const auto rec = runKorda(dir, "record --interval 0 --count 30 --to " + db,
                              "KORDA_SPOOL_DIR='" + dir.path().string() + "'");
    ASSERT_EQ(rec.code, 0) << rec.err;
    ASSERT_EQ(pg.sql("UPDATE scans SET readings = '\\x01020304050607' WHERE sequence = 7"), "");
    ASSERT_TRUE(pg.copyTo(dir.file("copy.sqlite").string()));
    ASSERT_EQ(runKorda(dir, "report --from-db " + db + " -o db.html").code, 0);
    ASSERT_EQ(runKorda(dir, "report copy.sqlite -o file.html").code, 0);
    const auto channels = [&](const std::string& page) {
        const std::string html = dir.read(page);
        const auto at = html.find("<h2>Channels</h2>");
        return at == std::string::npos ? html : html.substr(at, html.find("</table>", at) - at);
    };
    EXPECT_EQ(channels("db.html"), channels("file.html"));
    EXPECT_NE(channels("db.html").find(">30<"), std::string::npos) << channels("db.html");
    EXPECT_EQ(dir.read("db.html").find("secret"), std::string::npos);

    ASSERT_EQ(pg.sql("INSERT INTO instruments (run_id, host, address, model, identity) SELECT "
                     "run_id, host, 'other', model, identity FROM instruments; INSERT INTO scans "
                     "SELECT (SELECT max(id) FROM instruments), sequence + 100 * g, time_ms + 5 + "
                     "400 * g, utc_offset_min, alarms, readings FROM scans, generate_series(0, "
                     "39) g"),
              "");
    ASSERT_TRUE(pg.copyTo(dir.file("copy.sqlite").string()));
    const auto fromDb = runKorda(dir, "export " + db + " --from 2000-01-01T00:00:00Z");
    const auto fromFile = runKorda(dir, "export copy.sqlite --from 2000-01-01T00:00:00Z");
    ASSERT_EQ(fromDb.code, 0) << fromDb.err;
    EXPECT_EQ(fromDb.out, fromFile.out);
    EXPECT_EQ(std::count(fromDb.out.begin(), fromDb.out.end(), '\n'), 1231);
}

} // namespace
