#include "channels/ChannelRules.h"

#include "config/IProcessor.h"
#include "config/ProcessorSupport.h"
#include "core/Numbers.h"
#include "platform/platform.h"

#include <cctype>
#include <cmath>

namespace korda32ex::channelrules {

namespace {

constexpr std::uint32_t kAlarmLowBit[3] = {0, 1u << 1, 1u << 3};
constexpr std::uint32_t kAlarmHighBit[3] = {0, 1u << 2, 1u << 4};
constexpr int kHighestOutput = 32;
constexpr std::uint32_t kLargestOutputSet = 64;

bool validAlarm(int alarm) {
    return alarm == 1 || alarm == 2;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
        t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
        t.remove_suffix(1);
    return t;
}

bool isHighSurrogate(std::uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// One character of the record text as a wide string of this system (a
// surrogate pair stays a pair where wchar_t has 16 bits).
std::wstring wideCharacter(std::uint32_t high, std::uint32_t low) {
    std::wstring w;
    if (low == 0) {
        w.push_back(static_cast<wchar_t>(high));
    } else if constexpr (sizeof(wchar_t) == 2) {
        w.push_back(static_cast<wchar_t>(high));
        w.push_back(static_cast<wchar_t>(low));
    } else {
        w.push_back(static_cast<wchar_t>(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00)));
    }
    return w;
}

} // namespace

const char* alarmStateWord(std::uint32_t alarmFlags, int alarm) {
    if (!validAlarm(alarm)) return "OFF";
    if (alarmFlags & kAlarmLowBit[alarm]) return "LOW";
    if (alarmFlags & kAlarmHighBit[alarm]) return "HIGH";
    return "OFF";
}

bool parseAlarmState(const std::string& reply, std::uint32_t& alarmFlags, int alarm,
                     std::string& errorText, int& errorCode) {
    if (!validAlarm(alarm)) return invalidResponse(reply, errorText, errorCode);
    if (equalsIgnoringCase(reply, "HIGH")) {
        alarmFlags |= kAlarmHighBit[alarm];
        return true;
    }
    if (equalsIgnoringCase(reply, "LOW")) {
        alarmFlags |= kAlarmLowBit[alarm];
        return true;
    }
    if (equalsIgnoringCase(reply, "OFF")) return true;
    return invalidResponse(reply, errorText, errorCode);
}

bool outputNumber(std::uint32_t v, int& k) {
    if (v == 0 || v > kLargestOutputSet) return false;
    k = 0;
    for (int bit = 5; bit >= 0; --bit) {
        if (v & (1u << bit)) {
            k = bit + 1;
            break;
        }
    }
    return true;
}

bool parseOutput(const std::string& reply, std::uint32_t& field, std::string& errorText,
                 int& errorCode) {
    const std::string_view t = trimmed(reply);
    if (t.empty() || equalsIgnoringCase(t, "NONE")) {
        field = 0;
        return true;
    }
    const std::int64_t k = readLeadingInteger(t).value_or(0); // not a number reads as 0
    if (k < 0 || k > kHighestOutput) return invalidResponse(reply, errorText, errorCode);
    field = k == 0 ? 0 : (1u << (k - 1));
    return true;
}

double replyNumber(std::string_view reply) {
    // A stream reads neither "inf" nor "nan": such a reply counts as no number.
    const auto v = readLeadingReal(reply);
    return v && std::isfinite(*v) ? *v : 0;
}

bool parseNonNegative(const std::string& reply, double& field, std::string& errorText,
                      int& errorCode) {
    const double v = replyNumber(reply);
    if (v < 0) return invalidResponse(reply, errorText, errorCode);
    field = v;
    return true;
}

std::string commandText(const VmrChar16* units, std::size_t maxBytes) {
    std::string out;
    std::size_t i = 0;
    while (i < VMR_TEXT_UNITS && units[i] != 0) {
        const std::uint32_t u = units[i++];
        std::uint32_t low = 0;
        if (isHighSurrogate(u) && i < VMR_TEXT_UNITS && isLowSurrogate(units[i])) low = units[i++];
        if (low == 0 && (u < 0x20 || u == 0x7F)) continue; // no control character on the wire
        const std::wstring w = wideCharacter(u, low);
        const std::string narrow = platform::wideToNarrow(w.c_str());
        // The conversion marks a character it cannot express with '?'.
        if (narrow.empty() || (narrow == "?" && w != L"?")) return {};
        if (out.size() + narrow.size() > maxBytes) break;
        out += narrow;
    }
    return out;
}

} // namespace korda32ex::channelrules
