#include "frontend/GlobalData.h"

#include "comm/SCPIHandler.h"
#include "core/Models.h"

namespace korda32ex {

using platform::LockGuard;

GlobalData::~GlobalData() {
    // Handlers are released after the maps are unreachable; a call in
    // progress keeps its own reference and closes the transport when it ends.
    std::map<int, std::shared_ptr<SCPIHandler>> instruments;
    {
        LockGuard g(lock_);
        instruments.swap(instruments_);
        errorMessages_.clear();
        bcnSettings_.clear();
    }
}

BcnSettings GlobalData::settingsFor(int bcn) {
    LockGuard g(lock_);
    return bcnSettings_[bcn];
}

void GlobalData::setSettings(int bcn, const BcnSettings& settings) {
    LockGuard g(lock_);
    bcnSettings_[bcn] = settings;
}

std::shared_ptr<SCPIHandler> GlobalData::findInstrument(int bcn) {
    LockGuard g(lock_);
    const auto it = instruments_.find(bcn);
    return it == instruments_.end() ? nullptr : it->second;
}

bool GlobalData::addInstrument(int bcn, std::shared_ptr<SCPIHandler> handler) {
    LockGuard g(lock_);
    return instruments_.emplace(bcn, std::move(handler)).second;
}

bool GlobalData::removeInstrument(int bcn) {
    std::shared_ptr<SCPIHandler> removed; // released after the lock is left
    LockGuard g(lock_);
    const auto it = instruments_.find(bcn);
    if (it == instruments_.end()) return false;
    removed = std::move(it->second);
    instruments_.erase(it);
    return true;
}

void GlobalData::setErrorMessage(int code, const std::string& text) {
    LockGuard g(lock_);
    errorMessages_[code] = text;
}

bool GlobalData::errorMessageFor(int code, std::string& text) {
    LockGuard g(lock_);
    const auto it = errorMessages_.find(code);
    if (it == errorMessages_.end()) return false;
    text = it->second;
    return true;
}

void GlobalData::setTimeoutMs(std::uint32_t ms) {
    LockGuard g(lock_);
    timeoutMs_.store(ms, std::memory_order_relaxed);
}

std::shared_ptr<GlobalData>& globalHolder() {
    static std::shared_ptr<GlobalData> holder;
    return holder;
}

std::uint32_t libraryTimeoutMs() {
    const auto g = globalData();
    return g ? g->timeoutMs() : GlobalData::kDefaultTimeoutMs;
}

void recordErrorMessage(int code, const std::string& text) {
    if (const auto g = globalData()) g->setErrorMessage(code, text);
}

SCPIHandler::TimeLimitSource libraryTimeLimit() {
    return [] { return libraryTimeoutMs(); };
}

SCPIHandler::ErrorSink libraryErrorSink() {
    return [](int code, const std::string& text) { recordErrorMessage(code, text); };
}

int identifyModel(const std::string& idnReply) {
    return modelNamedIn(idnReply).code;
}

} // namespace korda32ex
