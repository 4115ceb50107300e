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

namespace {
// Fails the call with its detail: what was wrong with which file.
int fileFailure(int status, const std::string& detail) {
    recordCallDetail(detail);
    return status;
}
} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrPCCardConfigFile(int, const wchar_t* directory,
                                                VmrInstConfig* config, int, int) {
    return guardedCall([&]() -> int {
        if (directory == nullptr || config == nullptr) return status::kInvalidParameter;
        std::string why;
        const auto text = readTextFile(directory, kSetupFileName, &why);
        if (!text) return fileFailure(status::kBadFile, "reading the setup file: " + why);
        const std::string path = pathText(siblingPath(directory, kSetupFileName));
        if (text->find("Test Setup,") == std::string::npos)
            return fileFailure(status::kBadFile, path + ": no \"Test Setup\" section");
        return parseSetupText(*text, *config)
                   ? status::kOk
                   : fileFailure(status::kBadFile, path + ": fewer than two lines");
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansFileGet(int, const wchar_t* directory, int count,
                                                  int start, ScanRecord* record) {
    return guardedCall([&]() -> int {
        if (directory == nullptr || record == nullptr || count < 0 || start < 0)
            return status::kInvalidParameter;
        if (*directory == L'\0')
            return fileFailure(status::kBadFile, "reading the data file: no path given");
        const std::wstring path = siblingPath(directory, kFirstDataFileName);
        std::string why;
        const int n = readDataFile(path, start, count, *record, DataFileIndexCache::shared(), &why);
        if (n >= 0) return n;
        if (n == status::kTooManyScans)
            why = pathText(path) + ": no scan read from scan " + std::to_string(start) + " on";
        else if (why.empty())
            why = pathText(path) + ": not a readable data file";
        return fileFailure(n, why);
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansFileCountW(int, const wchar_t* dataFilePath, int* count) {
    return guardedCall([&]() -> int {
        if (dataFilePath == nullptr || count == nullptr) return status::kInvalidParameter;
        // One pass checks every line and counts them.
        DataFileTally tally;
        std::string why;
        if (!validateDataFile(dataFilePath, &tally, &why))
            return fileFailure(status::kBadFile, "verifying the data file: " + why);
        if (tally.bytes == 0)
            return fileFailure(status::kBadFile, pathText(dataFilePath) + ": the file is empty");
        int scans = 0;
        if (!scansOfLines(tally.lines, tally.scanLines, scans))
            return fileFailure(status::kBadFile,
                               pathText(dataFilePath) + ": no scan after the header");
        *count = scans;
        return status::kOk;
    });
}

} // extern "C"
