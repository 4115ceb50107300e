// Library-wide state: connection settings per BCN, the open instruments, the
// detailed error texts and the communication timeout.
#pragma once

#include "comm/SCPIHandler.h"
#include "platform/platform.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace korda32ex {

enum InterfaceKind : std::int32_t { kInterfaceUsb = 0, kInterfaceTcpIp = 1 };

struct BcnSettings {
    std::int32_t interfaceKind = 0;
    std::int32_t model = 0;
    std::int32_t port = 0;
    std::array<std::uint8_t, 4> ipAddress{};
};

class GlobalData {
  public:
    static constexpr std::uint32_t kDefaultTimeoutMs = SCPIHandler::kDefaultTimeLimitMs;

    GlobalData() = default;
    ~GlobalData();
    GlobalData(const GlobalData&) = delete;
    GlobalData& operator=(const GlobalData&) = delete;

    // Settings of the BCN; a zero record is created when none exists.
    BcnSettings settingsFor(int bcn);
    void setSettings(int bcn, const BcnSettings& settings);

    std::shared_ptr<SCPIHandler> findInstrument(int bcn);
    bool addInstrument(int bcn, std::shared_ptr<SCPIHandler> handler);
    bool removeInstrument(int bcn);

    void setErrorMessage(int code, const std::string& text);
    bool errorMessageFor(int code, std::string& text);

    std::uint32_t timeoutMs() const { return timeoutMs_.load(std::memory_order_relaxed); }
    void setTimeoutMs(std::uint32_t ms);

  private:
    std::map<int, BcnSettings> bcnSettings_;
    std::map<int, std::shared_ptr<SCPIHandler>> instruments_;
    std::map<int, std::string> errorMessages_;
    std::atomic<std::uint32_t> timeoutMs_{kDefaultTimeoutMs};
    platform::RecursiveLock lock_;
};

// The process-wide holder: empty while the library is not initialised.
std::shared_ptr<GlobalData>& globalHolder();
// A reference to the current GlobalData, or empty.
inline std::shared_ptr<GlobalData> globalData() {
    return globalHolder();
}

// The library timeout in milliseconds (the default when not initialised).
std::uint32_t libraryTimeoutMs();
// Records a detailed text under a status code (ignored when not initialised).
void recordErrorMessage(int code, const std::string& text);

// What a handler of an opened instrument is built with: the library timeout
// as its time limit, the library's detailed texts as its error sink.
SCPIHandler::TimeLimitSource libraryTimeLimit();
SCPIHandler::ErrorSink libraryErrorSink();

// Model identification from an "*IDN?" reply: the code of the model it names
// (the 5129A when it names both), else 0.
int identifyModel(const std::string& idnReply);

} // namespace korda32ex
