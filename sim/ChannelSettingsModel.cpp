// The virtual instrument's alarm, scaling, text, delay, NPLC and thermocouple
// commands of analog and computed channels, and the alarm trigger channel.
#include "ChannelCommandSupport.h"
#include "ChannelSettings.h"
#include "Instrument.h"

namespace korda::sim {

namespace {

constexpr int kDigitalOutputs = 8;

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

ChannelSettings& settingsOf(Instrument& in, int number) {
    return *in.channelSettings.settings(number); // callers have checked the channel
}

// Registers a setting and its query for the channels of `scope`: `apply`
// parses the value (false = illegal value) and stores it in every channel;
// `answer` gives one channel's reply.
void addChannelSetting(CommandTable& t, const std::string& pattern, ChannelScope scope,
                       std::function<bool(const std::string& value, ChannelSettings&)> apply,
                       std::function<std::string(const ChannelSettings&)> answer) {
    t.add(pattern, [scope, apply](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs a;
        if (!settingTargets(in, q, r, scope, a)) return;
        ChannelSettings probe; // the value is checked once before any channel changes
        if (!apply(a.value, probe)) return illegalValue(r);
        for (const int n : a.channels)
            apply(a.value, settingsOf(in, n));
    });
    t.add(pattern + "?", [scope, answer](Instrument& in, const Request& q, Reply& r) {
        answerEach(in, q, r, scope, [&](int n) { return answer(settingsOf(in, n)); });
    });
}

bool numberInto(const std::string& value, double& field) {
    double v = 0;
    if (!argumentNumber(value, v)) return false;
    field = v;
    return true;
}

void addAlarmCommands(CommandTable& t, int alarm) {
    const std::string node = "CALCulate:LIMit" + std::to_string(alarm + 1);
    addChannelSetting(
        t, node + ":STATe", ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) {
            const std::string w = upperCase(v);
            if (w == "LOW")
                s.alarm[alarm] = AlarmState::Low;
            else if (w == "HIGH")
                s.alarm[alarm] = AlarmState::High;
            else if (w == "OFF" || w == "0")
                s.alarm[alarm] = AlarmState::Off;
            else
                return false;
            return true;
        },
        [alarm](const ChannelSettings& s) { return std::string(alarmWord(s.alarm[alarm])); });
    addChannelSetting(
        t, node, ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) { return numberInto(v, s.limit[alarm]); },
        [alarm](const ChannelSettings& s) { return replyNumber(s.limit[alarm]); });
    addChannelSetting(
        t, node + ":FEED", ChannelScope::Any,
        [alarm](const std::string& v, ChannelSettings& s) {
            if (upperCase(v) == "NONE") {
                s.output[alarm] = 0;
                return true;
            }
            double k = 0;
            if (!argumentNumber(v, k) || k < 0 || k > kDigitalOutputs || k != static_cast<int>(k))
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
        [](const std::string& v, ChannelSettings& s) { return booleanArgument(v, s.scaling); },
        [](const ChannelSettings& s) { return std::string(s.scaling ? "1" : "0"); });
    addChannelSetting(
        t, "CALCulate:SCALe:GAIN", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return numberInto(v, s.gain); },
        [](const ChannelSettings& s) { return replyNumber(s.gain); });
    addChannelSetting(
        t, "CALCulate:SCALe:OFFSet", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return numberInto(v, s.offset); },
        [](const ChannelSettings& s) { return replyNumber(s.offset); });
    addChannelSetting(
        t, "CALCulate:SCALe:UNIT", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) { return quotedText(v, s.unit); },
        [](const ChannelSettings& s) { return "\"" + s.unit + "\""; });
}

void addAnalogCommands(CommandTable& t) {
    addChannelSetting(
        t, "ROUTe:CHANnel:NAME", ChannelScope::Any,
        [](const std::string& v, ChannelSettings& s) { return quotedText(v, s.name); },
        [](const ChannelSettings& s) { return "\"" + s.name + "\""; });
    addChannelSetting(
        t, "ROUTe:CHANnel:DELay", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) {
            double d = 0;
            if (!argumentNumber(v, d) || d < 0) return false;
            s.delay = d;
            return true;
        },
        [](const ChannelSettings& s) { return replyNumber(s.delay); });
    addChannelSetting(
        t, "[SENSe:]NPLCycles", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) {
            double d = 0;
            if (!argumentNumber(v, d) || d <= 0) return false;
            s.nplc = d;
            return true;
        },
        [](const ChannelSettings& s) { return replyNumber(s.nplc); });
    addChannelSetting(
        t, "[SENSe:]TEMPerature:TCouple:ODETect", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) { return booleanArgument(v, s.openDetect); },
        [](const ChannelSettings& s) { return std::string(s.openDetect ? "ON" : "OFF"); });
    addChannelSetting(
        t, "[SENSe:]TEMPerature:TCouple:RJUNction:TYPE", ChannelScope::Analog,
        [](const std::string& v, ChannelSettings& s) {
            const std::string w = upperCase(v);
            if (w == "INT" || w == "INTERNAL")
                s.refJunction = RefJunction::Internal;
            else if (w == "FIX" || w == "FIXED")
                s.refJunction = RefJunction::Fixed;
            else if (w == "EXT" || w == "EXTERNAL")
                s.refJunction = RefJunction::External;
            else
                return false;
            return true;
        },
        [](const ChannelSettings& s) { return std::string(junctionWord(s.refJunction)); });
}

void addAlarmTrigger(CommandTable& t) {
    // One analog channel whose alarm triggers a scan; "000" when none.
    t.add("TRIGger:ALARm:CHANnel", [](Instrument& in, const Request& q, Reply& r) {
        std::vector<int> channels;
        if (!parseChannelList(q.args, channels)) return missingParameter(r);
        if (channels.size() != 1 || !channelExists(in, channels[0])) return outOfRange(r);
        if (!inScope(channels[0], ChannelScope::Analog)) return settingsConflict(r);
        in.channelSettings.alarmTriggerChannel = channels[0];
    });
    t.add("TRIGger:ALARm:CHANnel?", [](Instrument& in, const Request&, Reply& r) {
        const int n = in.channelSettings.alarmTriggerChannel;
        r.lines.push_back(n == 0 ? std::string("000") : std::to_string(n));
    });
}

} // namespace

void registerChannelSettingsCommands(CommandTable& t) {
    addAlarmCommands(t, 0);
    addAlarmCommands(t, 1);
    addScalingCommands(t);
    addAnalogCommands(t);
    addAlarmTrigger(t);
}

} // namespace korda::sim
