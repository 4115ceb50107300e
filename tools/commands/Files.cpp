// files DIR: a recording copied from the instrument's USB drive.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace korda::tool {

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The directory of a recording given as the directory or as a file in it,
// with a trailing separator; throws InputError when there is none.
std::string recordingDirectory(const std::string& given) {
    std::error_code ec;
    const auto status = fs::status(given, ec);
    if (fs::is_directory(status)) {
        std::string dir = given;
        if (dir.back() != '/' && dir.back() != kSeparator) dir += kSeparator;
        return dir;
    }
    if (fs::is_regular_file(status)) {
        std::string dir = fs::path(given).parent_path().string();
        if (dir.empty()) dir = ".";
        dir.push_back(kSeparator); // appended, not joined: GCC 12 at -O3 warns falsely on a join
        return dir;
    }
    throw InputError("files " + given + ": no such recording directory" +
                         (ec ? ": " + ec.message() : std::string()),
                     kExitFailure);
}

// The line a check-code failure names in the library's detail ("...: line 7
// fails its check code"); 0 when the detail names none.
long long failingLine(const std::string& detail) {
    const auto at = detail.rfind(": line ");
    if (at == std::string::npos || detail.find("check code", at) == std::string::npos) return 0;
    return std::atoll(detail.c_str() + at + 7);
}

std::string lastDetail() {
    char detail[1024] = {};
    dlxVmrGetLastErrorDetailA(detail, sizeof detail);
    return detail;
}

// The recording's scans as CSV: every scan, or with skipBad those before the
// first line whose check code fails (the codes are chained: from there on
// none can be vouched for), the rest reported.
int readScans(const std::string& dir, const std::string& path, bool skipBad) {
    const std::string dataPath = dir + "dat00001.csv";
    int count = 0;
    int st = dlxVmrPCCardScansFileCountW(0, widePath(dataPath).c_str(), &count);
    long long badLine = 0;
    if (st != DLXVMR_OK) {
        badLine = skipBad ? failingLine(lastDetail()) : 0;
        // The library's detail names the file and the failing line.
        if (badLine < 2) return reportFailure("files " + dir, st);
        count = static_cast<int>(badLine - 2); // the header is line 1
    }
    // The channels of the recording, from its setup file.
    auto setup = newRecord();
    const bool haveSetup =
        dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), setup.get(), 0, 0) == DLXVMR_OK;
    const std::vector<int> channels = haveSetup ? scannedChannels(*setup) : std::vector<int>();
    OutputFile out(path);
    if (!out.open()) return kExitFailure;
    CsvWriter csv(out);
    std::vector<unsigned char> buffer = scanBuffer(std::clamp(count, 1, kFetchChunk));
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    int read = 0;
    long long skipped = 0;
    bool headerWritten = false;
    while (read < count || !headerWritten) {
        const int want = std::clamp(count - read, 1, kFetchChunk);
        st = dlxVmrPCCardScansFileGet(0, widePath(dir).c_str(), want, read, record);
        if (st < DLXVMR_OK) return reportFailure("reading " + dataPath, st);
        if (!headerWritten) {
            const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
            if (!csv.header(columnsFor(channels, readings, haveSetup ? setup.get() : nullptr)))
                return kExitFailure;
            headerWritten = true;
            if (count == 0) {
                skipped = record->scanCount + record->scansRemaining;
                break;
            }
        }
        if (!csv.rows(*record)) return kExitFailure;
        if (record->scanCount <= 0) break;
        read += record->scanCount;
        skipped = record->scansRemaining;
    }
    if (!out.finish()) return kExitFailure;
    if (badLine > 0)
        message(dataPath + ": line " + std::to_string(badLine) +
                " fails its check code; it and the lines after it (" + counted(skipped, "scan") +
                ") are not written, " + counted(read, "scan") + " are");
    return kExitOk;
}

} // namespace

Step parseFiles(Args& args) {
    const std::string given = args.value("files: the recording directory");
    if (given.empty()) throw UsageError("files: the recording directory is missing");
    std::string what = "read";
    if (args.more() &&
        (args.peek() == "read" || args.peek() == "verify" || args.peek() == "config"))
        what = args.take();
    bool skipBad = false;
    std::string path;
    for (;;) {
        if (what == "read" && args.takeIf("--skip-bad"))
            skipBad = true;
        else if (args.more() && args.peek() == "-o" && what == "verify")
            throw UsageError("files verify writes no file: its verdict goes to standard output");
        else if (args.more() && args.peek() == "-o")
            path = optionalOutput(args);
        else
            break;
    }
    const std::string dir = recordingDirectory(given);
    // Writing over an input would destroy it before it is read.
    std::error_code ec;
    for (const char* input : {"dat00001.csv", "setup.csv"})
        if (!path.empty() && fs::equivalent(path, dir + input, ec))
            throw InputError("files: the output " + path + " is the recording's own " + input +
                                 "; name another file with -o",
                             kExitUsage);
    return Step{"files", [dir, what, path, skipBad](Run&) -> int {
                    const std::string dataPath = dir + "dat00001.csv";
                    const std::string setupPath = dir + "setup.csv";
                    const std::string needed = what == "config" ? setupPath : dataPath;
                    std::error_code missing;
                    if (!fs::is_regular_file(needed, missing)) {
                        message("cannot read " + needed + ": " +
                                (missing ? missing.message() : std::strerror(ENOENT)));
                        return kExitFailure;
                    }
                    if (what == "config") {
                        auto c = newRecord();
                        const int st =
                            dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), c.get(), 0, 0);
                        if (st != DLXVMR_OK) return reportFailure("files " + dir + " config", st);
                        return writeJson(*c, path);
                    }
                    if (what == "read") return readScans(dir, path, skipBad);
                    int count = 0;
                    const int st =
                        dlxVmrPCCardScansFileCountW(0, widePath(dataPath).c_str(), &count);
                    // The library's detail names the file and the failing line.
                    if (st != DLXVMR_OK) return reportFailure("files " + dir, st);
                    sayf("%s: %s, every line's check code verified\n", dataPath.c_str(),
                         counted(count, "scan").c_str());
                    return kExitOk;
                }};
}

} // namespace korda::tool
