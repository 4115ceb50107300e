// Library start and stop, the status texts, and the release of library buffers.
#include "core/Numbers.h"
#include "frontend/ApiFrame.h"
#include "frontend/ConfigApply.h"
#include "korda32ext.h"

#include <cstdlib>
#include <cstring>
#include <optional>
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

// A whole number of milliseconds from min to max held by the environment
// variable, or nothing.
std::optional<std::uint32_t> environmentMs(const char* name, std::int64_t min, std::int64_t max) {
    const char* text = std::getenv(name);
    if (text == nullptr) return std::nullopt;
    bool outOfRange = false;
    const auto ms = readLeadingInteger(text, &outOfRange);
    if (!ms || outOfRange || *ms < min || *ms > max) return std::nullopt;
    return static_cast<std::uint32_t>(*ms);
}

// Test hooks, not part of the interface, read when the library starts, so
// that tests need not wait whole seconds:
// - KORDA_TEST_TIMEOUT_MS (1 up): the time limit the library starts with
//   instead of the default; dlxVmrTimeoutSet replaces it as usual.
// - KORDA_TEST_SETTLE_MS (0 to 1000): the pause after a configuration's last
//   command instead of 1000 ms.
void applyTestHooks(GlobalData& g) {
    if (const auto ms = environmentMs("KORDA_TEST_TIMEOUT_MS", 1, 0xFFFFFFFF)) g.setTimeoutMs(*ms);
    if (const auto ms = environmentMs("KORDA_TEST_SETTLE_MS", 0, 1000)) setConfigSettlePauseMs(*ms);
}

} // namespace
} // namespace korda32ex

extern "C" {

KORDA_API int KORDA_CALL dlxVmrLibInit(uint32_t /*reserved*/) {
    return guardedCall([]() -> int {
        platform::LockGuard g(globalLock());
        auto& holder = globalHolder();
        if (holder) return status::kAlreadyInitialized;
        holder = std::make_shared<GlobalData>();
        applyTestHooks(*holder);
        if (!platform::netStartup()) {
            holder.reset();
            return status::kWinsockInit;
        }
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrLibExit(void) {
    return guardedCall([]() -> int {
        std::shared_ptr<GlobalData> stopped; // released after the lock is left
        platform::LockGuard g(globalLock());
        auto& holder = globalHolder();
        if (!holder) return status::kNotInitialized;
        stopped.swap(holder);
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

KORDA_API void KORDA_CALL dlxVmrDeleteBuffer(void* buffer) {
    // Every buffer the library hands out is an array of char.
    guardedVoid([&] { delete[] static_cast<char*>(buffer); });
}

} // extern "C"
