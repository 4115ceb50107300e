#include "DirectModel.h"

#include "Instrument.h"
#include "ScanArgs.h"

#include <cstdio>

namespace korda::sim {

namespace {

void dataOutOfRange(Reply& r) {
    r.error(-222, "Data out of range");
}

// "SYST:DATE y,m,d".
void setDate(Instrument& in, const Request& q, Reply& r) {
    const auto parts = args::split(q.args);
    if (parts.size() != 3) return r.error(-109, "Missing parameter");
    const auto y = args::integer(parts[0]), m = args::integer(parts[1]),
               d = args::integer(parts[2]);
    if (!y || !m || !d) return r.error(-104, "Data type error");
    if (*y < 2000 || *y > 2099 || *m < 1 || *m > 12 || *d < 1 ||
        *d > daysInMonth(static_cast<int>(*y), static_cast<int>(*m)))
        return dataOutOfRange(r);
    in.clock.setDate(static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d));
}

// "SYST:TIME h,m,s[.fff]": the seconds are a decimal number.
void setTime(Instrument& in, const Request& q, Reply& r) {
    const auto parts = args::split(q.args);
    if (parts.size() != 3) return r.error(-109, "Missing parameter");
    const auto h = args::integer(parts[0]), m = args::integer(parts[1]);
    const auto s = args::real(parts[2]);
    if (!h || !m || !s) return r.error(-104, "Data type error");
    if (*h < 0 || *h > 23 || *m < 0 || *m > 59 || *s < 0 || *s >= 60) return dataOutOfRange(r);
    const auto ms = static_cast<long long>(*s * 1000.0 + 0.5);
    in.clock.setTimeOfDay(static_cast<int>(*h), static_cast<int>(*m), static_cast<int>(ms / 1000),
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
    const auto text = args::quotedString(q.args, rest);
    if (!text) return r.error(-102, "Syntax error");
    // An optional second parameter names the store; only the flash exists.
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    if (!rest.empty()) {
        if (rest.front() != ',') return r.error(-102, "Syntax error");
        std::string_view after;
        const auto store = args::quotedString(rest.substr(1), after);
        if (!store || !args::split(after).front().empty()) return r.error(-102, "Syntax error");
        if (*store != "FLASH" && *store != "flash") return r.error(-224, "Illegal parameter value");
    }
    if (text->size() > DirectState::kOemIdentityMax) return r.error(-223, "Too much data");
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
        const auto v = args::integer(q.args);
        if (!v) return r.error(-104, "Data type error");
        if (*v < 0 || *v > 255) return dataOutOfRange(r);
        in.direct.digitalByte = static_cast<int>(*v);
    });
    t.add("SOURce:DIGital:DATA[:BYTE]?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.direct.digitalByte));
    });

    t.add("TOTalize:DATA?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.direct.totalizer));
    });
    t.add("TOTalize:CLEar",
          [](Instrument& in, const Request&, Reply&) { in.direct.totalizer = 0; });

    t.add("SYSTem:OEM:IDENtity:STORe", storeOemIdentity);
    t.add("SYSTem:OEM:IDENtity?", [](Instrument& in, const Request&, Reply& r) {
        // An empty text is answered as an empty string, so a line always comes.
        r.lines.push_back(in.direct.oemIdentity.empty() ? "\"\"" : in.direct.oemIdentity);
    });

    t.add("SYSTem:KLOCk", [](Instrument& in, const Request& q, Reply& r) {
        const auto on = args::boolean(q.args);
        if (!on) return r.error(-224, "Illegal parameter value");
        in.direct.keysLocked = *on;
    });
    t.add("SYSTem:KLOCk?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.direct.keysLocked ? "1" : "0");
    });
}

void addTotalizerCounts(Instrument& instrument, std::int64_t counts) {
    std::lock_guard<std::recursive_mutex> g(instrument.mutex());
    instrument.direct.totalizer += counts;
}

} // namespace korda::sim
