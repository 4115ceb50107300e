// The frame every exported function runs in: no exception leaves the library,
// and per-instrument calls check the library state, look the instrument up and
// hold its lock for the whole call.
#pragma once

#include "comm/SCPIHandler.h"
#include "core/Status.h"
#include "frontend/CallDetail.h"
#include "frontend/GlobalData.h"

#include <new>
#include <utility>

namespace korda32ex {

// Runs body and turns any exception into a status: allocation failure gives
// -2011, anything else -2035 (an unusable reply is the only other source).
// A failure leaves its detail for dlxVmrGetLastErrorDetail.
template <class Body> int guardedCall(Body&& body) noexcept {
    CallDetailScope scope;
    try {
        return scope.finish(std::forward<Body>(body)());
    } catch (const std::bad_alloc&) {
        return scope.finish(status::kOutOfMemory);
    } catch (...) {
        return scope.finish(status::kInvalidResponse);
    }
}

// As guardedCall, for functions without a status.
template <class Body> void guardedVoid(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

// Library-level frame: -2002 when not initialised, else body(GlobalData&).
template <class Body> int withLibrary(Body&& body) noexcept {
    return guardedCall([&]() -> int {
        const auto g = globalData();
        if (!g) return status::kNotInitialized;
        return body(*g);
    });
}

// Per-instrument frame: -2002, -2007, then body(SCPIHandler&, GlobalData&)
// under the handler's lock, holding our own reference to the handler.
template <class Body> int withInstrument(int bcn, Body&& body) noexcept {
    return guardedCall([&]() -> int {
        const auto g = globalData();
        if (!g) return status::kNotInitialized;
        const auto handler = g->findInstrument(bcn);
        if (!handler) return status::kNotOpen;
        platform::LockGuard lock(handler->lock());
        return body(*handler, *g);
    });
}

// Copies text into a caller buffer: at most capacity-1 characters and a
// terminator; nothing when capacity is 0.
void copyTruncated(const std::string& text, char* buffer, std::size_t capacity);

} // namespace korda32ex
