// Library start and stop, and the status texts.
#include "core/Numbers.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace korda32ex;

namespace korda32ex {

void copyTruncated(const std::string& text, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

namespace {

// The detailed text recorded for the code, else its fixed text.
std::string errorText(int code) {
    std::string text;
    if (const auto g = globalData(); g && g->errorMessageFor(code, text)) return text;
    return statusText(code);
}

// A test hook, not part of the interface: KORDA_TEST_TIMEOUT_MS, when it
// holds a whole number of milliseconds from 1 up, is the time limit the
// library starts with instead of the default, so that tests of timeouts need
// not wait whole seconds. dlxVmrTimeoutSet replaces it as usual.
void applyTestTimeLimit(GlobalData& g) {
    const char* text = std::getenv("KORDA_TEST_TIMEOUT_MS");
    if (text == nullptr) return;
    bool outOfRange = false;
    const auto ms = readLeadingInteger(text, &outOfRange);
    if (ms && !outOfRange && *ms > 0 && *ms <= 0xFFFFFFFF)
        g.setTimeoutMs(static_cast<std::uint32_t>(*ms));
}

} // namespace
} // namespace korda32ex

extern "C" {

KORDA_API int KORDA_CALL dlxVmrLibInit(uint32_t /*reserved*/) {
    return guardedCall([]() -> int {
        auto& holder = globalHolder();
        if (holder) return status::kAlreadyInitialized;
        holder = std::make_shared<GlobalData>();
        applyTestTimeLimit(*holder);
        if (!platform::netStartup()) {
            holder.reset();
            return status::kWinsockInit;
        }
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrLibExit(void) {
    return guardedCall([]() -> int {
        auto& holder = globalHolder();
        if (!holder) return status::kNotInitialized;
        holder.reset();
        platform::netCleanup();
        return status::kOk;
    });
}

KORDA_API void KORDA_CALL dlxVmrGetErrorStringA(int code, char* buffer, uint32_t size) {
    guardedVoid([&] { copyTruncated(errorText(code), buffer, size); });
}

KORDA_API void KORDA_CALL dlxVmrGetErrorStringW(int code, wchar_t* buffer, uint32_t size) {
    guardedVoid([&] {
        if (buffer == nullptr || size == 0) return;
        platform::narrowToWide(errorText(code).c_str(), buffer, size);
    });
}

} // extern "C"
