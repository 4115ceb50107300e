// The detail of the last failure on the calling thread, and the wire trace.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

#include <vector>

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
        // The length counts wide characters: those of the whole detail, as
        // converted into room enough (no character takes more wide
        // characters than bytes).
        std::vector<wchar_t> whole(detail.size() + 1);
        const std::size_t length =
            platform::narrowToWide(detail.c_str(), whole.data(), whole.size());
        if (buffer != nullptr && size > 0) platform::narrowToWide(detail.c_str(), buffer, size);
        return static_cast<int>(length);
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
