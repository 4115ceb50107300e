// korda report as a user runs it: the page of a run of 100000 scans of 20
// channels (three units, slow waves with noise, a spike now and then, a few
// overloads and readings not taken, a gap event), its time (median of three)
// next to korda export of the same run to CSV, which reads the same scans,
// and the size of the page.
#include "Child.h"
#include "store/Schema.h"

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

using korda::test::Child;
namespace store = korda::tool::store;

constexpr int kScans = 100000;
constexpr int kChannels = 20;
constexpr long long kStartMs = 1772870400000; // 2026-03-07T08:00:00Z
constexpr long long kIntervalMs = 100;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "compare_report: %s\n", what.c_str());
    std::exit(1);
}

void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        fail(sql.substr(0, 40) + ": " + (error ? error : "?"));
}

void writeRecording(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("cannot make " + path);
    exec(db, "BEGIN");
    exec(db, store::createScript(store::Dialect::Sqlite));
    exec(db, "INSERT INTO schema_version VALUES (" + std::to_string(store::kSchemaVersion) + ")");
    exec(db, "INSERT INTO runs VALUES (1, '2026-03-07T09:00:00.000+01:00', " +
                 std::to_string(kStartMs) +
                 ", NULL, '1.0.0', '1.0.0', 'korda record --to bench.sqlite')");
    exec(db, "INSERT INTO instruments VALUES (1, 1, 'bench', 'sim:', '5129A', "
             "'KORDA-SIM,5129A,SIM00001,1.00', NULL)");
    for (int c = 0; c < kChannels; ++c) {
        const char* unit = c < 12 ? "C" : c < 16 ? "V" : "mV";
        exec(db, "INSERT INTO channels VALUES (1, " + std::to_string(c) + ", " +
                     std::to_string(101 + c) + ", 'Channel " + std::to_string(c + 1) + "', '" +
                     unit + "', 'VOLT', 'AUTO')");
    }
    const long long gapFrom = kStartMs + 60000 * kIntervalMs, gapUntil = gapFrom + 300000;
    exec(db, "INSERT INTO gaps (instrument_id, gap_from, gap_until, reason, scans_lost) VALUES "
             "(1, '2026-03-07T10:40:00.000+01:00', '2026-03-07T10:45:00.000+01:00', 'link', 0)");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO scans VALUES (1, ?, ?, 60, NULL, ?)", -1, &s, nullptr);
    std::vector<float> readings(kChannels);
    unsigned noise = 12345;
    long long t = kStartMs;
    for (int n = 1; n <= kScans; ++n) {
        t += kIntervalMs;
        if (t > gapFrom && t < gapUntil) t = gapUntil;
        for (int c = 0; c < kChannels; ++c) {
            noise = noise * 1103515245u + 12345u;
            const double wave = std::sin(n / (2000.0 + 300 * c) + c);
            readings[static_cast<std::size_t>(c)] =
                static_cast<float>(20 + 5 * c + 3 * wave + (noise >> 16) % 100 / 500.0);
        }
        if (n % 9973 == 0) readings[3] += 40; // a spike
        if (n % 25013 == 0) readings[5] = std::numeric_limits<float>::infinity();
        if (n % 33331 == 0) readings[7] = 9.91e37f;
        sqlite3_bind_int64(s, 1, n);
        sqlite3_bind_int64(s, 2, t);
        sqlite3_bind_blob(s, 3, readings.data(), kChannels * 4, SQLITE_STATIC);
        if (sqlite3_step(s) != SQLITE_DONE) fail("inserting a scan");
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

// The median wall time in seconds of three runs of korda with the arguments.
double medianSeconds(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> argv{KORDA_TOOL};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto t0 = std::chrono::steady_clock::now();
        Child korda(argv, {}, dir + "/korda.log");
        const int code = korda.wait(120000);
        if (code != 0) fail("korda " + args.front() + " ended with " + std::to_string(code));
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

void row(const std::string& name, double value, double baseline, const std::string& goal,
         bool met) {
    std::printf("ROW\t%s\t%.3f\t%.3f\t%.2f\t%s\t%s\n", name.c_str(), value, baseline,
                baseline != 0 ? value / baseline : 0.0, goal.c_str(), met ? "met" : "MISSED");
}

} // namespace

int main() {
    char pattern[] = "/tmp/korda-compare-report-XXXXXX";
    if (!::mkdtemp(pattern)) fail("cannot make a temporary directory");
    const std::string dir = pattern;
    const std::string db = dir + "/bench.sqlite";
    writeRecording(db);
    const double report = medianSeconds(dir, {"report", db, "-o", dir + "/bench.html"});
    const double csv = medianSeconds(dir, {"export", db, "-o", dir + "/bench.csv"});
    const auto bytes = std::filesystem::file_size(dir + "/bench.html");
    std::printf("report of %d scans x %d channels: %.3f s (export to CSV %.3f s), page %.0f KB\n",
                kScans, kChannels, report, csv, static_cast<double>(bytes) / 1024);
    row("report 100000 scans x 20 channels: seconds (vs export to CSV)", report, csv, "< 2 s",
        report < 2);
    row("report 100000 scans x 20 channels: page MB (vs the 5 MB bound)",
        static_cast<double>(bytes) / 1e6, 5, "< 5 MB", bytes < 5000000);
    if (std::getenv("KORDA_COMPARE_KEEP")) {
        std::printf("kept in %s\n", dir.c_str());
    } else {
        std::filesystem::remove_all(dir);
    }
    return 0;
}
