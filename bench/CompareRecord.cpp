// korda record as a user runs it: the rate of scans committed into SQLite
// from a replay peer that answers at once (next to the library's own fetch
// from the same peer), and a fleet of 64 numbered virtual instruments at 10
// scans a second recorded by one process (its CPU time, every scan
// accounted for), then the same fleet run fast for the scans of an hour
// (resident memory at start and end).
//
// In a build with libpq, where a PostgreSQL server is installed: the rate
// into a private local server, and the forward of a spool of a million scans
// ("postgres" as the argument measures only these).
//
// Environment: KORDA_RECORD_FLEET_SECONDS (default 30), KORDA_RECORD_HOUR_SECONDS
// (the accelerated hour, default 180).
#include "RecordHarness.h"
#if defined(KORDA_BENCH_POSTGRES)
#include "PostgresServer.h"
#endif
#include "ReplayPeer.h"
#include "korda32ext.h"

#include <sqlite3.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using korda::test::Child;
using Clock = std::chrono::steady_clock;

constexpr int kReadings = 20;
constexpr long long kRateScans = 400000;
constexpr int kFleet = 64;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "compare_record: %s\n", what.c_str());
    std::exit(1);
}

void row(const std::string& name, double library, double baseline, const std::string& goal,
         bool met) {
    std::printf("ROW\t%s\t%.1f\t%.1f\t%.2f\t%s\t%s\n", name.c_str(), library, baseline,
                baseline != 0 ? library / baseline : 0.0, goal.c_str(), met ? "met" : "MISSED");
}

long long seconds(const char* name, long long fallback) {
    const char* v = std::getenv(name);
    return v && std::atoll(v) > 0 ? std::atoll(v) : fallback;
}

// CPU seconds (user + system) and resident KiB of a process, from /proc.
double cpuSeconds(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i)
        if (i == 14 || i == 15) ticks += std::atof(field.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long long residentKiB(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

std::string directory() {
    char pattern[] = "/tmp/korda-compare-record-XXXXXX";
    if (!::mkdtemp(pattern)) fail("cannot make a temporary directory");
    return pattern;
}

std::vector<std::string> recordArgs(const std::vector<std::string>& addresses,
                                    const std::vector<std::string>& options) {
    std::vector<std::string> argv{KORDA_TOOL};
    argv.insert(argv.end(), addresses.begin(), addresses.end());
    argv.push_back("record");
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}

// Scans committed per instrument, and whether each instrument's numbered
// scans are all there: n scans stored, sequence 1 to n, the last reading n.
bool everyScanStored(const std::string& db, long long& total) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(h,
                       "SELECT count(*), max(sequence), (SELECT readings FROM scans b WHERE "
                       "b.instrument_id = a.instrument_id ORDER BY sequence DESC LIMIT 1) FROM "
                       "scans a GROUP BY instrument_id",
                       -1, &s, nullptr);
    bool all = true;
    int instruments = 0;
    total = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ++instruments;
        const long long n = sqlite3_column_int64(s, 0);
        float last = 0;
        if (sqlite3_column_bytes(s, 2) >= 4) std::memcpy(&last, sqlite3_column_blob(s, 2), 4);
        all = all && n > 0 && sqlite3_column_int64(s, 1) == n && static_cast<long long>(last) == n;
        total += n;
    }
    sqlite3_finalize(s);
    sqlite3_close(h);
    return all && instruments == kFleet;
}

// ---- The rate into SQLite --------------------------------------------------------

// The replay peer's answers for a 5129A scanning 20 channels.
std::map<std::string, std::string> replayTable() {
    std::map<std::string, std::string> table{
        {"*IDN?", "KORDA-SIM,5129A,SIM00001,1.00\r\n"},
        {"*OPT?", "MUX22,MUX22,MUX22\r\n"},
        {"STAT:OPER?", "0\r\n"},
        {"SYST:ERR?", "0,\"No error\"\r\n"},
        {"ROUT:SCAN?", "(@101:120)\r\n"},
        {"TRIG:TIM?", "0\r\n"},
        {"TRIG:COUN?", "0\r\n"},
    };
    for (int c = 101; c <= 120; ++c) {
        table["ROUT:CHAN:NAME? (@" + std::to_string(c) + ")"] = "\"\"\r\n";
        table["CALC:SCAL:UNIT? (@" + std::to_string(c) + ")"] = "\"V\"\r\n";
    }
    return table;
}

void rate() {
    const auto table = replayTable();
    // As from an instrument: every scan once, time stamps 10 ms apart.
    korda::bench::ReplayPeer peer(table, korda::bench::buildScanReply(kRateScans, kReadings, 10),
                                  true);
    if (peer.port() == 0) fail("the replay peer cannot listen");
    const std::string dir = directory();
    const std::string address = "tcp://127.0.0.1:" + std::to_string(peer.port());

    // The library's fetch alone, in this process: the ceiling of any recorder.
    if (dlxVmrLibInit(0) != 1) fail("dlxVmrLibInit failed");
    std::uint8_t ip[4] = {127, 0, 0, 1};
    dlxVmrCCFsetBCN(1, 1, peer.port(), ip, DLXVMR_MODEL_5129A);
    if (dlxVmrCommOpen(1) != 1) fail("cannot open the replay peer");
    constexpr int kFetch = 10000; // as the recorder fetches a backlog
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(kFetch, kReadings) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    const auto f0 = Clock::now();
    long long fetched = 0;
    while (fetched < kRateScans) {
        if (dlxVmrScansGet(1, kFetch, record) != 1) fail("dlxVmrScansGet failed");
        fetched += record->scanCount;
    }
    const double fetchRate =
        static_cast<double>(fetched) / std::chrono::duration<double>(Clock::now() - f0).count();
    dlxVmrCommClose(1);
    dlxVmrLibExit();

    const auto t0 = Clock::now();
    Child korda(recordArgs({address},
                           {"--count", std::to_string(kRateScans), "--to", dir + "/rate.sqlite"}),
                {}, dir + "/rate.log");
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const int code = korda.wait(600000);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    if (code != 0) fail("korda record against the replay peer ended with " + std::to_string(code));
    const double r = static_cast<double>(kRateScans) / wall;
    const double cpu = static_cast<double>(after.ru_utime.tv_sec + after.ru_stime.tv_sec) +
                       static_cast<double>(after.ru_utime.tv_usec + after.ru_stime.tv_usec) / 1e6;
    std::printf("record rate: %lld scans of %d readings committed in %.2f s (start-up included), "
                "korda's CPU %.2f s; the library's fetch alone %.0f scans/s\n",
                kRateScans, kReadings, wall, cpu, fetchRate);
    row("record 20-reading scans into SQLite: scans/s (vs fetch alone)", r, fetchRate,
        ">= 100000/s", r >= 100000);
    std::filesystem::remove_all(dir);
}

// ---- The fleet ---------------------------------------------------------------------

struct Fleet {
    explicit Fleet(int speed) : dir(directory()) {
        for (int i = 0; i < kFleet; ++i) {
            sims.emplace_back();
            const int port = korda::test::startSim(sims.back(), 0, dir + "/sim.log",
                                                   {"--speed", std::to_string(speed)});
            if (port == 0) fail("korda-sim did not start");
            addresses.push_back("tcp://127.0.0.1:" + std::to_string(port));
        }
    }
    ~Fleet() {
        sims.clear();
        std::filesystem::remove_all(dir);
    }
    std::string dir;
    std::vector<std::unique_ptr<Child>> sims;
    std::vector<std::string> addresses;
};

// Records the fleet (timer 1 s at the given speed) for the given seconds;
// samples korda's CPU time and resident memory after warmUp and at the end.
struct FleetRun {
    double cpuPercent = 0;
    long long startKiB = 0, endKiB = 0;
    long long scans = 0;
    bool complete = false;
    std::vector<long long> series; // resident KiB at each tenth of the run
};

FleetRun recordFleet(int speed, long long runSeconds, long long warmUp) {
    Fleet fleet(speed);
    const std::string db = fleet.dir + "/fleet.sqlite";
    Child korda(recordArgs(fleet.addresses,
                           {"--config", KORDA_SOURCE_DIR "/examples/5129A-thermocouples.json",
                            "--interval", "1", "--to", db}),
                {}, fleet.dir + "/korda.log");
    std::this_thread::sleep_for(std::chrono::seconds(warmUp));
    FleetRun out;
    const double cpu0 = cpuSeconds(korda.pid());
    out.startKiB = residentKiB(korda.pid());
    const auto t0 = Clock::now();
    // Resident memory every tenth of the run.
    for (int tenth = 1; tenth <= 10; ++tenth) {
        std::this_thread::sleep_until(t0 + std::chrono::milliseconds(runSeconds * 100 * tenth));
        out.series.push_back(residentKiB(korda.pid()));
    }
    const double cpu1 = cpuSeconds(korda.pid());
    out.endKiB = residentKiB(korda.pid());
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    out.cpuPercent = 100.0 * (cpu1 - cpu0) / wall;
    korda.signal(SIGINT);
    if (korda.wait(120000) != 130) fail("korda record of the fleet did not end with 130");
    out.complete = everyScanStored(db, out.scans);
    return out;
}

void fleetCpu() {
    const long long runSeconds = seconds("KORDA_RECORD_FLEET_SECONDS", 30);
    // Timer 1 s at ten times real speed: 10 scans a second each.
    const FleetRun f = recordFleet(10, runSeconds, 10);
    std::printf("fleet: %d instruments at 10 scans/s for %lld s: %lld scans stored, %s; korda's "
                "CPU %.2f %% of one core, resident %lld KiB\n",
                kFleet, runSeconds, f.scans, f.complete ? "none lost" : "SCANS LOST", f.cpuPercent,
                f.endKiB);
    row("64 instruments x 10 scans/s: korda CPU % of one core (goal 10)", f.cpuPercent, 10.0,
        "< 10 %, none lost", f.cpuPercent < 10.0 && f.complete);
}

void fleetHour() {
    // One hour of the same fleet's scans (36000 each), the clocks run fast.
    const long long hour = seconds("KORDA_RECORD_HOUR_SECONDS", 180);
    const int speed = static_cast<int>(3600 * 10 / hour);
    const FleetRun h = recordFleet(speed, hour, 10);
    std::printf("accelerated hour: %d instruments, timer 1 s at %dx for %lld s: %lld scans "
                "stored, %s; resident %lld KiB after 10 s, %lld KiB at the end\n",
                kFleet, speed, hour, h.scans, h.complete ? "none lost" : "SCANS LOST", h.startKiB,
                h.endKiB);
    std::printf("resident KiB at each tenth of the hour:");
    for (const long long k : h.series)
        std::printf(" %lld", k);
    std::printf("\n");
    row("accelerated hour of 64 x 10 scans/s: resident KiB end (vs start)",
        static_cast<double>(h.endKiB), static_cast<double>(h.startKiB), "<= 1.25x, none lost",
        h.endKiB <= h.startKiB * 5 / 4 && h.complete);
}

#if defined(KORDA_BENCH_POSTGRES)
// ---- PostgreSQL --------------------------------------------------------------------

// korda record from the replay peer into a private local server: the scans
// committed per second (korda ends once its spool is forwarded); then a
// spool of a million scans, recorded while the server is down, forwarded
// by the next korda record.
void postgres(bool required) {
    korda::test::PostgresServer pg;
    if (!pg.problem().empty()) {
        if (required) fail(pg.problem());
        std::printf("PostgreSQL not measured: %s\n", pg.problem().c_str());
        return;
    }
    const std::string dir = directory();
    const std::string target = pg.target(pg.port());
    const std::vector<std::string> env{"KORDA_SPOOL_DIR=" + dir};
    const auto recordFrom = [&](long long scans, const std::string& log) {
        korda::bench::ReplayPeer peer(
            replayTable(),
            korda::bench::buildScanReply(static_cast<std::size_t>(scans), kReadings, 10), true);
        const auto t0 = Clock::now();
        Child korda(recordArgs({"tcp://127.0.0.1:" + std::to_string(peer.port())},
                               {"--count", std::to_string(scans), "--to", target}),
                    env, dir + "/" + log);
        const int code = korda.wait(1800000);
        return std::pair{code, std::chrono::duration<double>(Clock::now() - t0).count()};
    };
    const auto [code, wall] = recordFrom(kRateScans, "rate.log");
    if (code != 0) fail("korda record into PostgreSQL ended with " + std::to_string(code));
    const double r = static_cast<double>(kRateScans) / wall;
    std::printf("PostgreSQL: %lld scans of %d readings committed in %.2f s (start-up included)\n",
                kRateScans, kReadings, wall);
    row("record 20-reading scans into PostgreSQL: scans/s (vs goal)", r, 50000, ">= 50000/s",
        r >= 50000);

    constexpr long long kSpool = 1000000;
    pg.stop();
    const auto [spooled, spoolWall] = recordFrom(kSpool, "spool.log");
    if (spooled != 1)
        fail("korda record with the server down ended with " + std::to_string(spooled));
    if (!pg.start()) fail("the server did not start again");
    const auto t0 = Clock::now();
    Child korda(recordArgs({}, {"--count", "1", "--to", target}), env, dir + "/forward.log");
    if (korda.wait(1800000) != 0) fail("korda record forwarding the spool failed");
    const double forward = std::chrono::duration<double>(Clock::now() - t0).count();
    const double f = static_cast<double>(kSpool) / forward;
    std::printf("PostgreSQL: %lld scans spooled in %.2f s with the server down, forwarded in "
                "%.2f s by the next korda record\n",
                kSpool, spoolWall, forward);
    row("forward a spool of 1000000 scans into PostgreSQL: scans/s", f, r, "(vs the direct rate)",
        true);
    std::filesystem::remove_all(dir);
}
#endif

} // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
#if defined(KORDA_BENCH_POSTGRES)
    if (only.empty() || only == "postgres") postgres(!only.empty());
#endif
    if (only.empty() || only == "rate") rate();
    if (only.empty() || only == "fleet") fleetCpu();
    if (only.empty() || only == "hour") fleetHour();
    return 0;
}
