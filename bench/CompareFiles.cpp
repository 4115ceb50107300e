// The file side of bench/compare (times are processor time, see cpuSeconds): a 100 MB recording on
// disk (page cache warm) counted with every line checked, read whole and read in portions of 1000
// scans, the scan-line parser alone, and the peak memory of the portion read, each next to a plain
// baseline doing the same work in the same process. Prints one ROW line per comparison (see
// bench/compare) and notes.
//
//   compare_files                    all comparisons
//   compare_files --memory MODE DIR  (internal) peak resident growth of one
//                                    side of the memory comparison
#include "BigRecording.h"
#include "korda32ext.h"
#include "scan/ScanParser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kPortion = 1000;
constexpr int kRepetitions = 3;
// How long ago a file must have changed for the library to keep an index of
// its lines (a little more than the library waits).
constexpr int kSettleMs = 2600;
constexpr double kGB = 1e9;
constexpr double kMiB = 1024.0 * 1024.0;

// Processor time in seconds of this process and of its finished children.
// Every measured piece of work runs on one thread from a warm page cache, so
// this is the time it takes on an idle machine; on a machine shared with
// other work, wall-clock time would count the waits for a processor too.
double cpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        for (const timeval& t : {u.ru_utime, u.ru_stime})
            total += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    }
    return total;
}

// Median of kRepetitions runs of work, in seconds of processor time; prepare
// runs untimed before each.
double medianSeconds(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {}) {
    std::vector<double> times;
    for (int i = 0; i < kRepetitions; ++i) {
        prepare();
        const double t0 = cpuSeconds();
        work();
        times.push_back(cpuSeconds() - t0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}
std::string rate(double bytes, double seconds) {
    const double r = bytes / seconds;
    return r >= kGB ? fixed(r / kGB, 2) + " GB/s" : fixed(r / 1e6, 0) + " MB/s";
}
std::string millis(double seconds) {
    return fixed(seconds * 1e3, 1) + " ms";
}

void row(const std::string& name, const std::string& library, const std::string& baseline,
         double ratio, const std::string& goal, bool met) {
    std::printf("ROW\t%s\t%s\t%s\t%sx\t%s\t%s\n", name.c_str(), library.c_str(), baseline.c_str(),
                fixed(ratio, 2).c_str(), goal.c_str(), met ? "met" : "MISSED");
    std::fflush(stdout);
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "compare_files: %s\n", what);
    std::exit(1);
}

struct Recording : korda::bench::BigRecording {
    Recording() {
        if (!written) fail("cannot write recording");
    }
};

// A plain read of the whole file into a reused buffer, as cat does.
std::size_t plainRead(const std::string& path) {
    static std::vector<char> buffer(128 * 1024);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) fail("cannot open the data file");
    std::size_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return total;
}

// Runs a program with its output sent to /dev/null; true when it exits 0.
bool runQuietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int r = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Gives the data file a new modification time (in the past), so that
// nothing the library keeps about the file can be reused.
void touch(const std::string& path) {
    namespace fs = std::filesystem;
    static int step = 0;
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(60 + ++step));
}

std::vector<std::uint64_t> scanBuffer(int scans, int columns) {
    return std::vector<std::uint64_t>(DLXVMR_SCAN_BUFFER_SIZE(scans, columns) / 8 + 1);
}

// Reads every scan of the directory in portions of kPortion, start advancing;
// firstCall, when given, receives the processor time of the first call.
int readInPortions(const std::wstring& dir, ScanRecord* record, double* firstCall = nullptr) {
    int total = 0;
    record->scansRemaining = 0;
    do {
        const double t0 = firstCall != nullptr && total == 0 ? cpuSeconds() : 0;
        const int n = dlxVmrPCCardScansFileGet(0, dir.c_str(), kPortion, total, record);
        if (firstCall != nullptr && total == 0) *firstCall = cpuSeconds() - t0;
        if (n <= 0) return n;
        total += n;
    } while (record->scansRemaining > 0);
    return total;
}

long statusKiB(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return -1;
    char line[256];
    long value = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f) != nullptr)
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            value = std::strtol(line + n + 1, nullptr, 10);
    std::fclose(f);
    return value;
}

// The child side of the memory comparison: prints the growth of the peak
// resident size over the size at its start, in bytes.
int memoryChild(const std::string& mode, const std::string& directory) {
    const int columns = 64; // a record buffer large enough for any portion
    auto buffer = scanBuffer(kPortion, columns);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    std::fill(buffer.begin(), buffer.end(), 0);
    const std::wstring dir = std::filesystem::path(directory).wstring() + L'/';
    const long start = statusKiB("VmRSS");
    if (mode == "library") {
        if (readInPortions(dir, record) <= 0) return 1;
    } else {
        // What a plain program does: the whole file into memory at once.
        std::FILE* f = std::fopen((directory + "/dat00001.csv").c_str(), "rb");
        if (f == nullptr) return 1;
        std::fseek(f, 0, SEEK_END);
        std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(text.data(), 1, text.size(), f) != text.size()) return 1;
        std::fclose(f);
        volatile char sink = text[text.size() / 2];
        (void)sink;
    }
    std::printf("%ld\n", (statusKiB("VmHWM") - start) * 1024);
    return 0;
}

double childPeakBytes(const char* self, const char* mode, const std::string& directory) {
    const std::string command =
        std::string("'") + self + "' --memory " + mode + " '" + directory + "'";
    std::FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) fail("cannot start the memory measurement");
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    if (::pclose(p) != 0 || !got) fail("memory measurement failed");
    return std::strtod(line, nullptr);
}

// The data lines of the file in the form of an instrument reply (readings,
// the further column, then year, month, day, hour, minute, seconds), the form
// the scan-line parser takes.
std::vector<std::string> replyLines(const std::string& dataText) {
    std::vector<std::string> lines;
    std::size_t pos = dataText.find('\n') + 1; // past the header
    while (pos < dataText.size()) {
        std::size_t end = dataText.find('\n', pos);
        if (end == std::string::npos) break;
        std::string_view line(dataText.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t c1 = line.find(','), blank = line.find(' ');
        const std::size_t c2 = line.find(',', c1 + 1), last = line.rfind(',');
        std::string date(line.substr(c1 + 1, blank - c1 - 1));
        std::string time(line.substr(blank + 1, c2 - blank - 1));
        std::replace(date.begin(), date.end(), '-', ',');
        std::replace(time.begin(), time.end(), ':', ',');
        lines.push_back(std::string(line.substr(c2 + 1, last - c2 - 1)) + "," + date + "," + time);
    }
    return lines;
}

// The plain parse of one reply line: from_chars on every field, the readings
// as doubles narrowed to float, the time fields as integers.
bool plainParse(std::string_view line, std::size_t readings, float* out, int* time) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (std::size_t i = 0; i < readings; ++i) {
        double v = 0;
        const auto r = std::from_chars(p, end, v);
        out[i] = static_cast<float>(v);
        p = std::find(r.ptr, end, ',') + 1;
    }
    p = std::find(p, end, ',') + 1; // the further column
    for (int i = 0; i < 6 && p < end; ++i) {
        const auto r = std::from_chars(p, end, time[i]);
        p = std::find(r.ptr, end, ',') + 1;
    }
    return p >= end;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--memory") return memoryChild(argv[2], argv[3]);

    Recording r;
    const std::wstring dir = r.dir.wide();
    const std::wstring dataPath = r.dir.wideFile("dat00001.csv");
    const double bytes = static_cast<double>(r.bytes);
    std::printf("data file: %.1f MB, %d scans of %d readings\n", bytes / 1e6, r.scans, r.columns);
    if (plainRead(r.dataPath) != r.bytes) fail("plain read short"); // warms the page cache

    // Files: the line-checked count against a plain read of the file.
    const double plain = medianSeconds([&] { plainRead(r.dataPath); });
    const double cat = medianSeconds([&] {
        if (!runQuietly({"cat", r.dataPath})) fail("cat failed");
    });
    std::printf("cat to /dev/null: %s (%s, processor time, process start included)\n",
                rate(bytes, cat).c_str(), millis(cat).c_str());
    const double count = medianSeconds(
        [&] {
            int n = 0;
            if (dlxVmrPCCardScansFileCountW(0, dataPath.c_str(), &n) != 1 || n != r.scans)
                fail("count failed");
        },
        [&] { touch(r.dataPath); });
    row("Files: count, every line checked (100 MB)", rate(bytes, count), rate(bytes, plain),
        plain / count, ">= 0.50x read rate", plain / count >= 0.5);

    // Files: every scan in one call.
    auto all = scanBuffer(r.scans, r.columns);
    auto* record = reinterpret_cast<ScanRecord*>(all.data());
    const double whole = medianSeconds(
        [&] {
            if (dlxVmrPCCardScansFileGet(0, dir.c_str(), r.scans, 0, record) != r.scans)
                fail("read of all scans failed");
        },
        [&] { touch(r.dataPath); });
    row("Files: read all scans in one call", rate(bytes, whole), rate(bytes, plain), plain / whole,
        ">= 1 GB/s", bytes / whole >= kGB);

    // Parse: the scan-line parser alone on the file's scans in reply form.
    const auto lines = replyLines(r.dir.read("dat00001.csv"));
    double lineBytes = 0;
    for (const auto& l : lines)
        lineBytes += static_cast<double>(l.size());
    const double parse = medianSeconds([&] {
        record->entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        record->scanCount = 0;
        for (const auto& l : lines) {
            if (korda32ex::scan::storeScanLine(l, *record) != korda32ex::scan::LineResult::Stored)
                fail("parse failed");
            ++record->scanCount;
        }
    });
    std::vector<float> values(static_cast<std::size_t>(r.columns));
    int time[6];
    const double plainParsed = medianSeconds([&] {
        for (const auto& l : lines)
            if (!plainParse(l, values.size(), values.data(), time)) fail("plain parse failed");
    });
    row("Parse: scan-line parser alone", rate(lineBytes, parse), rate(lineBytes, plainParsed),
        plainParsed / parse, ">= 1 GB/s", lineBytes / parse >= kGB);

    // Portions of 1000 scans, start advancing; the file is new to the
    // library at the start of every repetition (and old enough for the
    // library to keep what it learns about it).
    auto portionBuffer = scanBuffer(kPortion, r.columns);
    auto* portion = reinterpret_cast<ScanRecord*>(portionBuffer.data());
    double firstCall = 0;
    const double portions = medianSeconds(
        [&] {
            if (readInPortions(dir, portion, &firstCall) != r.scans) fail("portion read failed");
        },
        [&] {
            touch(r.dataPath);
            std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
        });
    std::printf("portions: %d calls, the first (which learns the file's lines) %s\n",
                (r.scans + kPortion - 1) / kPortion, millis(firstCall).c_str());
    row("Portions: read in portions of 1000 scans", rate(bytes, portions), rate(bytes, plain),
        plain / portions, ">= 1 GB/s", bytes / portions >= kGB);

    // Memory: peak resident growth while reading in portions, each side in a
    // fresh process.
    const std::string directory = r.dir.path().string();
    const double libraryPeak = childPeakBytes(argv[0], "library", directory);
    const double plainPeak = childPeakBytes(argv[0], "plain", directory);
    row("Memory: peak resident growth, portions of 1000", fixed(libraryPeak / kMiB, 1) + " MiB",
        fixed(plainPeak / kMiB, 1) + " MiB", libraryPeak / plainPeak, "<= 64 MiB",
        libraryPeak <= 64 * kMiB);
    return 0;
}
