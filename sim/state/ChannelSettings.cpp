// The virtual instrument's alarm, scaling, text, delay, NPLC and thermocouple
// commands of analog and computed channels.
#include "ChannelSettings.h"

#include "ChannelCommandSupport.h"
#include "Instrument.h"

namespace korda::sim {

namespace {

constexpr int kDigitalOutputs = 8;
const char* const kThermocouple = "TEMP TC";

using Apply = std::function<bool(const std::string& value, ChannelSettings&)>;
using Answer = std::function<std::string(const ChannelSettings&)>;
using Applicable = std::function<bool(const ChannelState&)>;

// Registers a setting and its query for the channels of `scope`. `apply`
// parses the value (false = illegal value) and stores it; it is tried on a
// scratch copy first, so a rejected value changes no channel. A channel for
// which `applicable` is false makes the command a settings conflict.
void addChannelSetting(CommandTable& t, const std::string& pattern, ChannelScope scope, Apply apply,
                       Answer answer, Applicable applicable = nullptr) {
    t.add(pattern, [scope, apply, applicable](Instrument& in, const Request& q, Reply& r) {
        SettingTargets a;
        if (!settingTargets(in, q, r, scope, a)) return;
        ChannelSettings scratch;
        if (!apply(a.value, scratch)) return r.error(scpi_error::kIllegalValue);
        if (applicable)
            for (const int n : a.channels)
                if (!applicable(in.channels.state(n)))
                    return r.error(scpi_error::kSettingsConflict);
        for (const int n : a.channels)
            apply(a.value, in.channels.state(n).settings);
    });
    t.add(pattern + "?", [scope, answer](Instrument& in, const Request& q, Reply& r) {
        answerEach(in, q, r, scope, [&](const ChannelState& c) { return answer(c.settings); });
    });
}

bool realInto(const std::string& value, double& field) {
    return parseReal(value, field);
}

bool nonNegativeInto(const std::string& value, double& field) {
    double v = 0;
    if (!parseReal(value, v) || v < 0) return false;
    field = v;
    return true;
}

const char* alarmWord(AlarmState a) {
    switch (a) {
    case AlarmState::Low:
        return "LOW";
    case AlarmState::High:
        return "HIGH";
    case AlarmState::Off:
        break;
    }
    return "OFF";
}

const char* junctionWord(RefJunction j) {
    switch (j) {
    case RefJunction::Fixed:
        return "FIX";
    case RefJunction::External:
        return "EXT";
    case RefJunction::Internal:
        break;
    }
    return "INT";
}

void addAlarmCommands(CommandTable& t, std::size_t alarm) {
    const std::string node = "CALCulate:LIMit" + std::to_string(alarm + 1);
    addChannelSetting(
        t, node + ":STATe", ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) {
            if (sameWord(v, "LOW"))
                s.alarm[alarm] = AlarmState::Low;
            else if (sameWord(v, "HIGH"))
                s.alarm[alarm] = AlarmState::High;
            else if (sameWord(v, "OFF") || v == "0")
                s.alarm[alarm] = AlarmState::Off;
            else
                return false;
            return true;
        },
        [alarm](const ChannelSettings& s) { return std::string(alarmWord(s.alarm[alarm])); });
    addChannelSetting(
        t, node, ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) { return realInto(v, s.limit[alarm]); },
        [alarm](const ChannelSettings& s) { return realReply(s.limit[alarm]); });
    // The digital output the alarm drives: 1..8, or 0 / NONE for none.
    addChannelSetting(
        t, node + ":FEED", ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) {
            long long k = 0;
            if (sameWord(v, "NONE"))
                k = 0;
            else if (!parseInteger(v, k) || k < 0 || k > kDigitalOutputs)
                return false;
            s.output[alarm] = static_cast<int>(k);
            return true;
        },
        [alarm](const ChannelSettings& s) {
            return s.output[alarm] == 0 ? std::string("NONE") : std::to_string(s.output[alarm]);
        });
}

void addScalingCommands(CommandTable& t) {
    addChannelSetting(
        t, "CALCulate:SCALe:STATe", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return parseSwitch(v, s.scaling); },
        [](const ChannelSettings& s) { return switchReply(s.scaling); });
    addChannelSetting(
        t, "CALCulate:SCALe:GAIN", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return realInto(v, s.gain); },
        [](const ChannelSettings& s) { return realReply(s.gain); });
    addChannelSetting(
        t, "CALCulate:SCALe:OFFSet", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return realInto(v, s.offset); },
        [](const ChannelSettings& s) { return realReply(s.offset); });
    addChannelSetting(
        t, "CALCulate:SCALe:UNIT", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) { return quotedText(v, s.unit); },
        [](const ChannelSettings& s) { return quotedReply(s.unit); });
    addChannelSetting(
        t, "ROUTe:CHANnel:NAME", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return quotedText(v, s.name); },
        [](const ChannelSettings& s) { return quotedReply(s.name); });
}

void addMeasurementCommands(CommandTable& t) {
    addChannelSetting(
        t, "ROUTe:CHANnel:DELay", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) { return nonNegativeInto(v, s.delay); },
        [](const ChannelSettings& s) { return realReply(s.delay); });
    addChannelSetting(
        t, "[SENSe:]NPLCycles", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) {
            double d = 0;
            if (!parseReal(v, d) || d <= 0) return false;
            s.nplc = d;
            return true;
        },
        [](const ChannelSettings& s) { return realReply(s.nplc); });

    const Applicable thermocouple = [](const ChannelState& c) {
        return c.function == kThermocouple;
    };
    addChannelSetting(
        t, "[SENSe:]TEMPerature:TCouple:ODETect", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) { return parseSwitch(v, s.openDetect); },
        [](const ChannelSettings& s) { return std::string(s.openDetect ? "ON" : "OFF"); },
        thermocouple);
    addChannelSetting(
        t, "[SENSe:]TEMPerature:TCouple:RJUNction:TYPE", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) {
            if (sameWord(v, "INT") || sameWord(v, "INTernal"))
                s.refJunction = RefJunction::Internal;
            else if (sameWord(v, "FIX") || sameWord(v, "FIXed"))
                s.refJunction = RefJunction::Fixed;
            else if (sameWord(v, "EXT") || sameWord(v, "EXTernal"))
                s.refJunction = RefJunction::External;
            else
                return false;
            return true;
        },
        [](const ChannelSettings& s) { return std::string(junctionWord(s.refJunction)); },
        thermocouple);
}

} // namespace

void registerChannelSettingsCommands(CommandTable& t) {
    addAlarmCommands(t, 0);
    addAlarmCommands(t, 1);
    addScalingCommands(t);
    addMeasurementCommands(t);
}

} // namespace korda::sim
