// Exported functions on the files of a recording directory. None of them needs
// the library to be started or an instrument to be open.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "logdata/DataFileIndex.h"
#include "logdata/DataFileReader.h"
#include "logdata/DriveFiles.h"
#include "logdata/LineCheck.h"
#include "logdata/SetupFileParser.h"

using namespace korda32ex;
using namespace korda32ex::logdata;

extern "C" {

KORDA_API int KORDA_CALL dlxVmrPCCardConfigFile(int, const wchar_t* directory,
                                                VmrInstConfig* config, int, int) {
    return guardedCall([&]() -> int {
        if (directory == nullptr || config == nullptr) return status::kInvalidParameter;
        const auto text = readTextFile(directory, kSetupFileName);
        if (!text || text->find("Test Setup,") == std::string::npos) return status::kBadFile;
        return parseSetupText(*text, *config) ? status::kOk : status::kBadFile;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansFileGet(int, const wchar_t* directory, int count,
                                                  int start, ScanRecord* record) {
    return guardedCall([&]() -> int {
        if (directory == nullptr || record == nullptr || count < 0 || start < 0)
            return status::kInvalidParameter;
        if (*directory == L'\0') return status::kBadFile;
        return readDataFile(siblingPath(directory, kFirstDataFileName), start, count, *record);
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansFileCountW(int, const wchar_t* dataFilePath, int* count) {
    return guardedCall([&]() -> int {
        if (dataFilePath == nullptr || count == nullptr) return status::kInvalidParameter;
        // One pass checks every line and counts them.
        DataFileTally tally;
        if (!validateDataFile(dataFilePath, &tally) || tally.bytes == 0) return status::kBadFile;
        int scans = 0;
        if (!scansOfLines(tally.lines, tally.scanLines, scans)) return status::kBadFile;
        *count = scans;
        return status::kOk;
    });
}

} // extern "C"
