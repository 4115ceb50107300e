#include "SimClock.h"

#include "platform/platform.h"

#include <algorithm>

namespace korda::sim {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a Gregorian date (the usual era-based conversion).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

} // namespace

std::int64_t toEpochMs(const CivilTime& t) {
    const std::int64_t days =
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    return days * kMsPerDay + ((std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 +
           t.millisecond;
}

CivilTime fromEpochMs(std::int64_t ms) {
    std::int64_t days = ms / kMsPerDay;
    std::int64_t rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    CivilTime t;
    civilFromDays(days, t.year, t.month, t.day);
    t.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    t.second = static_cast<int>(rest % 60);
    rest /= 60;
    t.minute = static_cast<int>(rest % 60);
    t.hour = static_cast<int>(rest / 60);
    return t;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

SimClock::SimClock() : start_(std::chrono::steady_clock::now()) {
    // The clock starts at the host's local time, as if it had been set once.
    const auto now = korda32ex::platform::localTime();
    setRtc({now.year, now.month, now.day, now.hour, now.minute, now.second, now.milliseconds});
}

std::int64_t SimClock::nowMs() const {
    if (manual_) return manualMs_;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
    return startMs_ + elapsed * rate_;
}

void SimClock::setRate(int rate) {
    startMs_ = nowMs();
    start_ = std::chrono::steady_clock::now();
    rate_ = std::max(rate, 1);
}

std::int64_t SimClock::wallMsFor(std::int64_t ms) const {
    if (manual_ || ms <= 0) return ms;
    return (ms + rate_ - 1) / rate_;
}

void SimClock::setManual() {
    if (manual_) return;
    manualMs_ = nowMs();
    manual_ = true;
}

void SimClock::advance(std::int64_t ms) {
    setManual();
    if (ms > 0) manualMs_ += ms;
}

void SimClock::setRtc(const CivilTime& t) {
    rtcSetAt_ = nowMs();
    rtcBase_ = toEpochMs(t);
}

void SimClock::setDate(int year, int month, int day) {
    CivilTime t = rtc();
    t.year = year;
    t.month = month;
    t.day = day;
    setRtc(t);
}

void SimClock::setTimeOfDay(int hour, int minute, int second, int millisecond) {
    CivilTime t = rtc();
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.millisecond = millisecond;
    setRtc(t);
}

} // namespace korda::sim
