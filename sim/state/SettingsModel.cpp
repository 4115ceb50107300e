#include "SettingsModel.h"

#include "ChannelModel.h"
#include "Instrument.h"
#include "scpi/ScpiArgs.h"

#include <array>
#include <vector>

namespace korda::sim {

namespace {

// A parameter word in its SCPI spelling ("MEDium"): the upper-case letters
// form the short form that the instrument stores and answers.
bool wordMatches(const std::string& spelling, const std::string& arg) {
    std::string shortForm;
    for (const char c : spelling)
        if (!(c >= 'a' && c <= 'z')) shortForm.push_back(c);
    const std::string a = upperCase(arg);
    return a == shortForm || a == upperCase(spelling);
}

std::string shortForm(const std::string& spelling) {
    std::string s;
    for (const char c : spelling)
        if (!(c >= 'a' && c <= 'z')) s.push_back(c);
    return s;
}

struct WordSetting {
    const char* pattern;
    std::string InstrumentSettings::*field;
    std::vector<std::string> words;
};

const std::vector<WordSetting>& wordSettings() {
    static const std::vector<WordSetting> settings{
        {"UNIT:TEMPerature", &InstrumentSettings::temperatureUnit, {"C", "F"}},
        {"RATE", &InstrumentSettings::rate, {"FAST", "MEDium", "SLOW", "NPLC"}},
        {"TRIGger:SOURce",
         &InstrumentSettings::triggerSource,
         {"TIMer", "EXTernal", "ALARm", "AUTO"}},
        {"TRIGger:AUTO:ORDer", &InstrumentSettings::autoOrder, {"LINear", "ALTernate", "REVerse"}},
        {"DATA:LOG:DESTination", &InstrumentSettings::logDestination, {"MEMory", "MMEMory"}},
        {"TOTalize:TYPE", &InstrumentSettings::totalizerType, {"READ", "RRESet"}},
    };
    return settings;
}

struct SwitchSetting {
    const char* pattern;
    bool InstrumentSettings::*field;
};

constexpr std::array<SwitchSetting, 6> kSwitchSettings{{
    {"TRIGger:AUTO:CONTinuous", &InstrumentSettings::autoContinuous},
    {"ROUTe:SCAN:RESume", &InstrumentSettings::resumeScan},
    {"MEMory:LOG:SECurity", &InstrumentSettings::logSecurity},
    {"DATA:LOG:AUTO", &InstrumentSettings::logAuto},
    {"TOTalize:DEBounce", &InstrumentSettings::totalizerDebounce},
    {"TOTalize:STATe", &InstrumentSettings::totalizerOn},
}};

struct ChannelSetting {
    const char* pattern;
    int InstrumentSettings::*field;
};

constexpr std::array<ChannelSetting, 3> kChannelSettings{{
    {"TRIGger:ALARm:CHANnel", &InstrumentSettings::alarmChannel},
    {"TRIGger:AUTO:REFerence", &InstrumentSettings::autoReference},
    {"TRIGger:AUTO:SREFerence", &InstrumentSettings::autoSecondReference},
}};

// A whole number from 0 to most; reports the error itself.
bool countArgument(const std::string& arg, long long most, long long& value, Reply& r) {
    if (arg.empty()) {
        r.error(scpi_error::kMissingParameter);
        return false;
    }
    if (!parseInteger(arg, value)) {
        r.error(scpi_error::kDataType);
        return false;
    }
    if (value < 0 || value > most) {
        r.error(scpi_error::kDataOutOfRange);
        return false;
    }
    return true;
}

void registerWordSetting(CommandTable& t, const WordSetting& s) {
    t.add(s.pattern, [&s](Instrument& in, const Request& q, Reply& r) {
        if (q.args.empty()) return r.error(scpi_error::kMissingParameter);
        for (const auto& w : s.words) {
            if (wordMatches(w, q.args)) {
                in.settings.*s.field = shortForm(w);
                return;
            }
        }
        r.error(scpi_error::kIllegalValue);
    });
    t.add(std::string(s.pattern) + "?", [&s](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.settings.*s.field);
    });
}

void registerSwitchSetting(CommandTable& t, const SwitchSetting& s) {
    t.add(s.pattern, [&s](Instrument& in, const Request& q, Reply& r) {
        bool on = false;
        if (q.args.empty()) return r.error(scpi_error::kMissingParameter);
        if (!parseSwitch(q.args, on)) return r.error(scpi_error::kIllegalValue);
        in.settings.*s.field = on;
    });
    t.add(std::string(s.pattern) + "?", [&s](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(switchReply(in.settings.*s.field));
    });
}

void registerChannelSetting(CommandTable& t, const ChannelSetting& s) {
    t.add(s.pattern, [&s](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs args;
        if (!parseChannelArgs(q.args, args)) return r.error(scpi_error::kIllegalValue);
        if (!args.hasList || args.channels.empty()) return r.error(scpi_error::kMissingParameter);
        if (args.channels.size() > 1) return r.error(scpi_error::kParameterNotAllowed);
        if (channelKind(in, args.channels.front()) == ChannelKind::None)
            return r.error(scpi_error::kDataOutOfRange);
        in.settings.*s.field = args.channels.front();
    });
    t.add(std::string(s.pattern) + "?", [&s](Instrument& in, const Request&, Reply& r) {
        const int channel = in.settings.*s.field;
        r.lines.push_back(channel == 0 ? "000" : std::to_string(channel));
    });
}

} // namespace

void registerSettingsCommands(CommandTable& t) {
    for (const auto& s : wordSettings())
        registerWordSetting(t, s);
    for (const auto& s : kSwitchSettings)
        registerSwitchSetting(t, s);
    for (const auto& s : kChannelSettings)
        registerChannelSetting(t, s);

    t.add("TRIGger:COUNt", [](Instrument& in, const Request& q, Reply& r) {
        long long n = 0;
        if (countArgument(q.args, InstrumentSettings::kMostScansPerTrigger, n, r))
            in.settings.triggerCount = n;
    });
    t.add("TRIGger:COUNt?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.settings.triggerCount));
    });
    t.add("TRIGger:TIMer", [](Instrument& in, const Request& q, Reply& r) {
        if (sameWord(q.args, "INF")) {
            in.settings.timerSeconds = InstrumentSettings::kTimerInfinite;
            return;
        }
        long long n = 0;
        if (countArgument(q.args, InstrumentSettings::kLongestInterval, n, r))
            in.settings.timerSeconds = n;
    });
    // An infinite interval (external trigger only) reads back as 0.
    t.add("TRIGger:TIMer?", [](Instrument& in, const Request&, Reply& r) {
        const long long s = in.settings.timerSeconds;
        r.lines.push_back(std::to_string(s == InstrumentSettings::kTimerInfinite ? 0 : s));
    });
    // With the type RRES, reading the count also resets it.
    t.add("TOTalize:DATA?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::to_string(in.settings.totalizerCount));
        if (in.settings.totalizerType == "RRES") in.settings.totalizerCount = 0;
    });
}

} // namespace korda::sim
