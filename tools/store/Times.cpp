#include "Times.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace korda::tool::store {

namespace {

constexpr std::int64_t kDayMs = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<std::int64_t>(y - era * 400);
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t year;
    int month, day, hour, minute, second, millisecond;
};

Civil civilFromMs(std::int64_t ms) {
    std::int64_t days = ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
    std::int64_t rest = ms - days * kDayMs;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    Civil c{};
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = yoe + era * 400 + (c.month <= 2);
    c.hour = static_cast<int>(rest / 3600000);
    rest %= 3600000;
    c.minute = static_cast<int>(rest / 60000);
    rest %= 60000;
    c.second = static_cast<int>(rest / 1000);
    c.millisecond = static_cast<int>(rest % 1000);
    return c;
}

bool digits(const std::string& s, std::size_t at, std::size_t n, int& value) {
    if (at + n > s.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

} // namespace

std::int64_t civilToMs(int year, int month, int day, int hour, int minute, int second,
                       int millisecond) {
    // Months outside 1 to 12 carry into the year first.
    std::int64_t y = year;
    std::int64_t m0 = month - 1;
    y += m0 >= 0 ? m0 / 12 : (m0 - 11) / 12;
    m0 -= (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12) * 12;
    const std::int64_t days = daysFromCivil(y, static_cast<int>(m0 + 1), 1) + (day - 1);
    return days * kDayMs + static_cast<std::int64_t>(hour) * 3600000 +
           static_cast<std::int64_t>(minute) * 60000 + static_cast<std::int64_t>(second) * 1000 +
           millisecond;
}

int localOffsetMinutes(std::int64_t localMs) {
    const Civil c = civilFromMs(localMs);
    std::tm t{};
    t.tm_year = static_cast<int>(c.year - 1900);
    t.tm_mon = c.month - 1;
    t.tm_mday = c.day;
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    t.tm_sec = c.second;
    t.tm_isdst = -1;
    const std::time_t utc = std::mktime(&t);
    if (utc == static_cast<std::time_t>(-1)) return 0;
    const std::int64_t localSeconds = localMs >= 0 ? localMs / 1000 : (localMs - 999) / 1000;
    return static_cast<int>((localSeconds - static_cast<std::int64_t>(utc)) / 60);
}

int offsetAt(std::int64_t utcMs) {
    const std::time_t t =
        static_cast<std::time_t>(utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &t) != 0) return 0;
#else
    if (!localtime_r(&t, &local)) return 0;
#endif
    const std::int64_t localMs = civilToMs(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                           local.tm_hour, local.tm_min, local.tm_sec, 0);
    return static_cast<int>((localMs - static_cast<std::int64_t>(t) * 1000) / 60000);
}

std::string isoText(std::int64_t utcMs, int offsetMinutes, bool withOffset) {
    const Civil c = civilFromMs(utcMs + static_cast<std::int64_t>(offsetMinutes) * 60000);
    char text[64];
    int n = std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d",
                          static_cast<long long>(c.year), c.month, c.day, c.hour, c.minute,
                          c.second, c.millisecond);
    if (withOffset && n > 0 && n < 40) {
        const int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%c%02d:%02d",
                      offsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
    }
    return text;
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string nowIso() {
    const std::int64_t now = nowMs();
    return isoText(now, offsetAt(now), true);
}

std::optional<std::int64_t> parseIso(const std::string& s) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digits(s, 0, 4, year) || s.size() < 10 || s[4] != '-' || !digits(s, 5, 2, month) ||
        s[7] != '-' || !digits(s, 8, 2, day))
        return std::nullopt;
    std::size_t at = 10;
    if (at < s.size() && (s[at] == 'T' || s[at] == ' ')) {
        if (!digits(s, at + 1, 2, hour) || at + 3 >= s.size() || s[at + 3] != ':' ||
            !digits(s, at + 4, 2, minute))
            return std::nullopt;
        at += 6;
        if (at < s.size() && s[at] == ':') {
            if (!digits(s, at + 1, 2, second)) return std::nullopt;
            at += 3;
            if (at < s.size() && s[at] == '.') {
                std::size_t end = at + 1;
                int scale = 100;
                while (end < s.size() && s[end] >= '0' && s[end] <= '9') {
                    ms += (s[end] - '0') * scale;
                    scale /= 10;
                    ++end;
                }
                if (end == at + 1) return std::nullopt;
                at = end;
            }
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    const std::int64_t civil = civilToMs(year, month, day, hour, minute, second, ms);
    if (at == s.size()) return civil - static_cast<std::int64_t>(localOffsetMinutes(civil)) * 60000;
    if (s[at] == 'Z' && at + 1 == s.size()) return civil;
    int oh = 0, om = 0;
    if ((s[at] == '+' || s[at] == '-') && s.size() == at + 6 && digits(s, at + 1, 2, oh) &&
        s[at + 3] == ':' && digits(s, at + 4, 2, om) && oh <= 23 && om <= 59) {
        const std::int64_t offset = (oh * 60 + om) * 60000LL;
        return s[at] == '+' ? civil - offset : civil + offset;
    }
    return std::nullopt;
}

} // namespace korda::tool::store
