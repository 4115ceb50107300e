// log list, read, config, status and format: the instrument's log memory.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace korda::tool {

namespace {

// The names of a file list: each quoted as the instrument answers it and
// followed by "*"; a doubled quotation mark inside stands for one.
std::vector<std::string> logFileNames(const char* list) {
    std::vector<std::string> out;
    std::string name;
    bool quoted = false;
    for (const char* p = list; *p; ++p) {
        if (*p == '"') {
            if (quoted && p[1] == '"') {
                name.push_back('"');
                ++p;
            } else {
                quoted = !quoted;
            }
        } else if (*p == '*' && !quoted) {
            out.push_back(name);
            name.clear();
        } else {
            name.push_back(*p);
        }
    }
    if (!name.empty()) out.push_back(name);
    return out;
}

// The names of the log files; empty when there is none or the list cannot
// be had.
std::vector<std::string> logFiles() {
    char* names = nullptr;
    int count = 0;
    if (dlxVmrGetPCCardScansFileList(Connection::kBcn, &names, &count) != DLXVMR_OK) return {};
    auto out = logFileNames(names);
    dlxVmrDeleteBuffer(names);
    return out;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The log file a name means: the name itself, or the one that the name
// gives without its extension (LOG00007 for LOG00007.CSV).
std::string logFileName(const std::string& name) {
    if (name.find('.') != std::string::npos) return name;
    const auto files = logFiles();
    if (std::find(files.begin(), files.end(), name) != files.end()) return name;
    for (const auto& f : files)
        if (upper(f) == upper(name) + ".CSV") return f;
    return name;
}

// "log read NAME" and "log config NAME".
Step parseLogFile(Args& args, const std::string& what) {
    const std::string given = args.value("log " + what + ": the log file name");
    if (given.empty()) throw UsageError("log " + what + ": the log file name is missing");
    const std::string path = optionalOutput(args);
    return instrumentStep("log " + what, [what, given, path](Run&) -> int {
        const std::string name = logFileName(given);
        const std::wstring wide = widePath(name);
        auto setup = newRecord();
        const int cst = dlxVmrPCCardConfigGet(Connection::kBcn, setup.get(), 0, wide.c_str());
        if (what == "config") {
            if (cst != DLXVMR_OK) return reportFailure("reading the setup of " + name, cst);
            return writeJson(*setup, path);
        }
        int count = -1;
        int st = dlxVmrPCCardScansCountFile(Connection::kBcn, wide.c_str(), &count);
        if (st != DLXVMR_OK) return reportFailure("counting the scans of " + name, st);
        if (count < 0) {
            message(name + " is not a log file of scans");
            return kExitInstrument;
        }
        OutputFile out(path);
        if (!out.open()) return kExitFailure;
        CsvWriter csv(out);
        const std::vector<int> channels =
            cst == DLXVMR_OK ? scannedChannels(*setup) : std::vector<int>();
        if (count > 0) {
            // One read: every call transfers the whole file.
            std::vector<unsigned char> buffer = scanBuffer(count);
            auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
            {
                WaitNotice notice("reading " + name);
                st = dlxVmrScansFileGet(Connection::kBcn, wide.c_str(), count, 0, record);
            }
            if (st < DLXVMR_OK) return reportFailure("reading " + name, st);
            const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
            if (!csv.header(
                    columnsFor(channels, readings, cst == DLXVMR_OK ? setup.get() : nullptr)) ||
                !csv.rows(*record))
                return kExitFailure;
        } else if (!csv.header(columnsFor(channels, static_cast<int>(channels.size()),
                                          cst == DLXVMR_OK ? setup.get() : nullptr))) {
            // An empty log still gets its header: the file says what it would hold.
            return kExitFailure;
        }
        return out.finish() ? kExitOk : kExitFailure;
    });
}

} // namespace

Step parseLogList(Args&) {
    return instrumentStep("log list", [](Run&) {
        char* names = nullptr;
        int count = 0;
        const int st = dlxVmrGetPCCardScansFileList(Connection::kBcn, &names, &count);
        if (st == -1001) return kExitOk; // no log file: an empty list
        if (st != DLXVMR_OK) return reportFailure("listing the log files", st);
        std::string text;
        for (const auto& n : logFileNames(names))
            text += n + "\n";
        dlxVmrDeleteBuffer(names);
        return say(text) ? kExitOk : kExitFailure;
    });
}

Step parseLogRead(Args& args) {
    return parseLogFile(args, "read");
}

Step parseLogConfig(Args& args) {
    return parseLogFile(args, "config");
}

Step parseLogStatus(Args&) {
    return instrumentStep("log status", [](Run&) {
        int32_t room[3] = {-1, -1, -1};
        const int st = dlxVmrPCCardStatus(Connection::kBcn, room);
        if (st != DLXVMR_OK) return reportFailure("reading the log memory's room", st);
        if (room[0] < 0) {
            message("the instrument did not tell the log memory's room");
            return kExitInstrument;
        }
        sayf("free: %d KiB\nused: %d KiB\ntotal: %d KiB\n", room[1], room[2], room[0]);
        return kExitOk;
    });
}

Step parseLogFormat(Args&) {
    return instrumentStep("log format", [](Run&) {
        const int st = dlxVmrPCCardFormat(Connection::kBcn);
        return st == DLXVMR_OK ? kExitOk : reportFailure("emptying the log memory", st);
    });
}

} // namespace korda::tool
