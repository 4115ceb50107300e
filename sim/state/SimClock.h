// The virtual instrument's time: a time base (wall time, or a manual virtual
// clock that tests advance) and the real-time clock that "SYST:DATE" and
// "SYST:TIME" set and that stamps every scan.
#pragma once

#include <chrono>
#include <cstdint>

namespace korda::sim {

// A calendar time without time zone.
struct CivilTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Milliseconds since 1970-01-01 00:00 of a calendar time, and back.
std::int64_t toEpochMs(const CivilTime& t);
CivilTime fromEpochMs(std::int64_t ms);
// Days in a month of a year (Gregorian).
int daysInMonth(int year, int month);

class SimClock {
  public:
    SimClock();

    // The time base in milliseconds: steady wall time since start (times the
    // rate), or the virtual time when the clock is manual.
    std::int64_t nowMs() const;
    // Makes the time base run `rate` times as fast as wall time from now on
    // (1 and up), so that an hour of scanning passes in seconds. The
    // real-time clock runs along with it.
    void setRate(int rate);
    // The wall time in which the time base moves on by ms (on a manual clock,
    // which only a test moves, ms itself).
    std::int64_t wallMsFor(std::int64_t ms) const;
    // Freezes the time base at its current value; from then on only advance moves it.
    void setManual();
    bool manual() const { return manual_; }
    // Moves the time base forward (switches to manual).
    void advance(std::int64_t ms);

    // The real-time clock at time-base instant t (default: now).
    CivilTime rtc() const { return fromEpochMs(rtcEpochMsAt(nowMs())); }
    std::int64_t rtcEpochMsAt(std::int64_t baseMs) const { return rtcBase_ + (baseMs - rtcSetAt_); }
    // Sets the date or the time of day, keeping the other part.
    void setDate(int year, int month, int day);
    void setTimeOfDay(int hour, int minute, int second, int millisecond);
    void setRtc(const CivilTime& t);

  private:
    std::chrono::steady_clock::time_point start_;
    std::int64_t startMs_ = 0; // the time base at start_
    int rate_ = 1;
    bool manual_ = false;
    std::int64_t manualMs_ = 0;
    std::int64_t rtcBase_ = 0; // real-time clock (epoch ms) at time-base instant rtcSetAt_
    std::int64_t rtcSetAt_ = 0;
};

} // namespace korda::sim
