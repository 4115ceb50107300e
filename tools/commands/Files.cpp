// files DIR: a recording copied from the instrument's USB drive.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"

#include <algorithm>
#include <cstdio>

namespace korda::tool {

Step parseFiles(Args& args) {
    std::string dir = args.value("files: the recording directory");
    if (dir.empty()) throw UsageError("files: the recording directory is missing");
    std::string what = "read";
    if (args.more() &&
        (args.peek() == "read" || args.peek() == "verify" || args.peek() == "config"))
        what = args.take();
    const std::string path = optionalOutput(args);
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    return Step{
        "files", [dir, what, path](Run&) -> int {
            const std::string dataPath = dir + "dat00001.csv";
            if (what == "config") {
                auto c = newRecord();
                const int st = dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), c.get(), 0, 0);
                if (st != DLXVMR_OK) return reportFailure("files " + dir + " config", st);
                return writeJson(*c, path);
            }
            int count = 0;
            int st = dlxVmrPCCardScansFileCountW(0, widePath(dataPath).c_str(), &count);
            // The library's detail names the file and the failing line.
            if (st != DLXVMR_OK) return reportFailure("files " + dir, st);
            if (what == "verify") {
                std::printf("%s: %d scans, every line's check code verified\n", dataPath.c_str(),
                            count);
                return kExitOk;
            }
            // The channels of the recording, from its setup file.
            auto setup = newRecord();
            const bool haveSetup =
                dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), setup.get(), 0, 0) == DLXVMR_OK;
            const std::vector<int> channels =
                haveSetup ? scannedChannels(*setup) : std::vector<int>();
            OutputFile out(path);
            std::FILE* f = out.open();
            if (!f) return kExitFailure;
            CsvWriter csv(f);
            std::vector<unsigned char> buffer = scanBuffer(std::min(count, kFetchChunk));
            auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
            int read = 0;
            while (read < count) {
                const int want = std::min(count - read, kFetchChunk);
                st = dlxVmrPCCardScansFileGet(0, widePath(dir).c_str(), want, read, record);
                if (st < DLXVMR_OK) return reportFailure("reading " + dataPath, st);
                if (read == 0) {
                    const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
                    csv.header(columnsFor(channels, readings, haveSetup ? setup.get() : nullptr));
                }
                if (!csv.rows(*record)) return kExitFailure;
                if (record->scanCount <= 0) break;
                read += record->scanCount;
            }
            return out.finish() ? kExitOk : kExitFailure;
        }};
}

} // namespace korda::tool
