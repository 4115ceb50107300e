#include "DirectModel.h"

#include "Instrument.h"
#include "comm/ScpiText.h"
#include "scpi/ScanArgs.h"
#include "scpi/ScpiArgs.h"

#include <cstdio>

namespace korda::sim {

namespace {

// Exactly `count` whole numbers separated by commas; reports the error itself.
bool integers(const std::string& args, std::size_t count, long long* out, Reply& r) {
    const auto parts = splitParams(args);
    if (parts.size() < count) {
        r.error(scpi_error::kMissingParameter);
        return false;
    }
    if (parts.size() > count) {
        r.error(scpi_error::kParameterNotAllowed);
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!parseInteger(parts[i], out[i])) {
            r.error(scpi_error::kDataType);
            return false;
        }
    }
    return true;
}

// "SYST:DATE y,m,d".
void setDate(Instrument& in, const Request& q, Reply& r) {
    long long v[3];
    if (!integers(q.args, 3, v, r)) return;
    if (v[0] < 2000 || v[0] > 2099 || v[1] < 1 || v[1] > 12 || v[2] < 1 ||
        v[2] > daysInMonth(static_cast<int>(v[0]), static_cast<int>(v[1])))
        return r.error(scpi_error::kDataOutOfRange);
    in.clock.setDate(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]));
}

// "SYST:TIME h,m,s[.fff]": the seconds are a decimal number.
void setTime(Instrument& in, const Request& q, Reply& r) {
    const auto parts = splitParams(q.args);
    if (parts.size() != 3) return r.error(scpi_error::kMissingParameter);
    long long h = 0, m = 0;
    double s = 0;
    if (!parseInteger(parts[0], h) || !parseInteger(parts[1], m) || !parseReal(parts[2], s))
        return r.error(scpi_error::kDataType);
    if (h < 0 || h > 23 || m < 0 || m > 59 || !(s >= 0 && s < 60))
        return r.error(scpi_error::kDataOutOfRange);
    const auto ms = static_cast<long long>(s * 1000.0 + 0.5);
    in.clock.setTimeOfDay(static_cast<int>(h), static_cast<int>(m), static_cast<int>(ms / 1000),
                          static_cast<int>(ms % 1000));
}

void queryTime(Instrument& in, const Request&, Reply& r) {
    const CivilTime t = in.clock.rtc();
    char text[48];
    std::snprintf(text, sizeof text, "%d,%d,%d.%03d", t.hour, t.minute, t.second, t.millisecond);
    r.lines.push_back(text);
}

void storeOemIdentity(Instrument& in, const Request& q, Reply& r) {
    std::string_view rest;
    const auto text = korda32ex::scpitext::readQuoted(q.args, rest);
    if (!text) return r.error(scpi_error::kSyntaxError);
    // An optional second parameter names the store; only the flash exists.
    const std::string after = trimmed(rest);
    if (!after.empty()) {
        if (after.front() != ',') return r.error(scpi_error::kSyntaxError);
        std::string_view end;
        const auto store = korda32ex::scpitext::readQuoted(std::string_view(after).substr(1), end);
        if (!store || !trimmed(end).empty()) return r.error(scpi_error::kSyntaxError);
        if (!sameWord(*store, "FLASH")) return r.error(scpi_error::kIllegalValue);
    }
    if (text->size() > DirectState::kOemIdentityMax) return r.error(scpi_error::kTooMuchData);
    in.direct.oemIdentity = *text;
}

} // namespace

void registerDirectCommands(CommandTable& t) {
    t.add("SYSTem:DATE", setDate);
    t.add("SYSTem:DATE?", [](Instrument& in, const Request&, Reply& r) {
        const CivilTime c = in.clock.rtc();
        r.lines.push_back(std::to_string(c.year) + "," + std::to_string(c.month) + "," +
                          std::to_string(c.day));
    });
    t.add("SYSTem:TIME", setTime);
    t.add("SYSTem:TIME?", queryTime);

    t.add("SOURce:DIGital:DATA[:BYTE]", [](Instrument& in, const Request& q, Reply& r) {
        long long v = 0;
        if (!integers(q.args, 1, &v, r)) return;
        if (v < 0 || v > 255) return r.error(scpi_error::kDataOutOfRange);
        in.direct.digitalByte = static_cast<int>(v);
    });
    t.add("SOURce:DIGital:DATA[:BYTE]?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.direct.digitalByte));
    });

    // The count itself and its query belong to the instrument settings.
    t.add("TOTalize:CLEar",
          [](Instrument& in, const Request&, Reply&) { in.settings.totalizerCount = 0; });

    t.add("SYSTem:OEM:IDENtity:STORe", storeOemIdentity);
    t.add("SYSTem:OEM:IDENtity?", [](Instrument& in, const Request&, Reply& r) {
        // Answered as a quoted string, empty or not, so a line always comes.
        r.lines.push_back(korda32ex::scpitext::quoted(in.direct.oemIdentity));
    });

    t.add("SYSTem:KLOCk", [](Instrument& in, const Request& q, Reply& r) {
        bool on = false;
        if (!parseSwitch(q.args, on)) return r.error(scpi_error::kIllegalValue);
        in.direct.keysLocked = on;
    });
    t.add("SYSTem:KLOCk?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(switchReply(in.direct.keysLocked));
    });
}

void addTotalizerCounts(Instrument& instrument, std::uint32_t counts) {
    std::lock_guard<std::recursive_mutex> g(instrument.mutex());
    instrument.settings.totalizerCount += counts;
}

} // namespace korda::sim
