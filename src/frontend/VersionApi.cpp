// The library's own version, as numbers and as text.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

#include <string>

#ifndef KORDA32EXT_VERSION_MAJOR
#error "KORDA32EXT_VERSION_MAJOR, _MINOR and _PATCH come from the build"
#endif

using namespace korda32ex;

extern "C" {

KORDA_API int KORDA_CALL dlxVmrGetVersion(int* major, int* minor, int* patch, char* text,
                                          uint32_t size) {
    return guardedCall([&]() -> int {
        if (major != nullptr) *major = KORDA32EXT_VERSION_MAJOR;
        if (minor != nullptr) *minor = KORDA32EXT_VERSION_MINOR;
        if (patch != nullptr) *patch = KORDA32EXT_VERSION_PATCH;
        copyTruncated(std::to_string(KORDA32EXT_VERSION_MAJOR) + "." +
                          std::to_string(KORDA32EXT_VERSION_MINOR) + "." +
                          std::to_string(KORDA32EXT_VERSION_PATCH),
                      text, size);
        return status::kOk;
    });
}

} // extern "C"
