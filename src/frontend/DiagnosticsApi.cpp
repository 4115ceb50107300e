// The detail of the last failure on the calling thread, and the wire trace.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

using namespace korda32ex;

extern "C" {

KORDA_API int KORDA_CALL dlxVmrGetLastErrorDetailA(char* buffer, uint32_t size) {
    try {
        const std::string& detail = lastCallDetail();
        copyTruncated(detail, buffer, size);
        return static_cast<int>(detail.size());
    } catch (...) {
        return 0;
    }
}

KORDA_API int KORDA_CALL dlxVmrGetLastErrorDetailW(wchar_t* buffer, uint32_t size) {
    try {
        const std::string& detail = lastCallDetail();
        if (buffer != nullptr && size > 0) platform::narrowToWide(detail.c_str(), buffer, size);
        return static_cast<int>(detail.size());
    } catch (...) {
        return 0;
    }
}

KORDA_API int KORDA_CALL dlxVmrTraceSet(dlxVmrTraceCallback callback, void* context) {
    try {
        setTraceCallback(callback, context);
        return status::kOk;
    } catch (...) {
        return status::kInvalidRequest;
    }
}

} // extern "C"
