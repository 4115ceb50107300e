// Exported functions on the files of a recording directory.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "logdata/DriveFiles.h"
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

} // extern "C"
