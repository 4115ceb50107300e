// The virtual instrument's computed (math) channels 501 to 520: function,
// operands, coefficients, channel list and unit.
#include "ChannelCommandSupport.h"
#include "ChannelSettings.h"
#include "Instrument.h"

namespace korda::sim {

namespace {

constexpr std::size_t kCoefficients = 7;

// Function words accepted in settings, with the word the instrument answers.
struct FunctionWord {
    const char* accepted;
    const char* answered;
};
constexpr FunctionWord kFunctionWords[] = {
    {"POLY", "POLY"}, {"SRO", "SRO"}, {"POW", "POW"},   {"EXP", "EXP"},
    {"LOG", "LOG"},   {"ABS", "ABS"}, {"REC", "REC"},   {"SUB", "SUBT"},
    {"SUBT", "SUBT"}, {"ADD", "ADD"}, {"MULT", "MULT"}, {"DIV", "DIV"},
    {"AVER", "AVER"}, {"MAX", "MAX"}, {"MIN", "MIN"},   {"SUM", "SUM"},
};

ComputedChannelState& computedOf(Instrument& in, int number) {
    return *in.channelSettings.computedChannel(number); // callers have checked the channel
}

std::string listText(const std::vector<int>& channels) {
    std::string out = "(@";
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) out += ",";
        out += std::to_string(channels[i]);
    }
    return out + ")";
}

// Sources of a computed channel: channel 1 and the channels of fitted modules.
bool validSources(Instrument& in, const std::vector<int>& channels) {
    for (const int n : channels)
        if (!channelExists(in, n) || !inScope(n, ChannelScope::Analog)) return false;
    return true;
}

// A setting addressed to computed channels: value checked by `apply` on a
// copy first, so that a rejected value changes no channel.
void addComputedSetting(
    CommandTable& t, const std::string& pattern,
    std::function<bool(Instrument&, const std::string&, ComputedChannelState&)> apply) {
    t.add(pattern, [apply](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs a;
        if (!settingTargets(in, q, r, ChannelScope::Computed, a)) return;
        ComputedChannelState probe;
        if (!apply(in, a.value, probe)) return illegalValue(r);
        for (const int n : a.channels)
            apply(in, a.value, computedOf(in, n));
    });
}

void addComputedQuery(CommandTable& t, const std::string& pattern,
                      std::function<std::string(const ComputedChannelState&)> answer) {
    t.add(pattern, [answer](Instrument& in, const Request& q, Reply& r) {
        answerEach(in, q, r, ChannelScope::Computed,
                   [&](int n) { return answer(computedOf(in, n)); });
    });
}

bool operandInto(Instrument& in, const std::string& value, int& field) {
    std::vector<int> channels;
    if (!parseChannelList(value, channels) || channels.size() != 1 || !validSources(in, channels))
        return false;
    field = channels[0];
    return true;
}

} // namespace

void registerComputedCommands(CommandTable& t) {
    // A computed channel is on once a function is configured.
    t.add("ROUTe:CHANnel:STATe?", [](Instrument& in, const Request& q, Reply& r) {
        answerEach(in, q, r, ChannelScope::Computed, [&](int n) {
            return std::string(computedOf(in, n).function.empty() ? "0" : "1");
        });
    });
    addComputedSetting(t, "CALCulate:MATH:FUNCtion",
                       [](Instrument&, const std::string& v, ComputedChannelState& c) {
                           const std::string w = upperCase(v);
                           for (const auto& f : kFunctionWords) {
                               if (w == f.accepted) {
                                   c.function = f.answered;
                                   return true;
                               }
                           }
                           return false;
                       });
    addComputedQuery(t, "CALCulate:MATH:FUNCtion?", [](const ComputedChannelState& c) {
        return c.function.empty() ? std::string("NONE") : c.function;
    });

    addComputedSetting(t, "CALCulate:MATH:SOURce:ACHannel",
                       [](Instrument& in, const std::string& v, ComputedChannelState& c) {
                           return operandInto(in, v, c.sourceA);
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:ACHannel?", [](const ComputedChannelState& c) {
        return c.sourceA == 0 ? std::string("NONE") : listText({c.sourceA});
    });
    addComputedSetting(t, "CALCulate:MATH:SOURce:BCHannel",
                       [](Instrument& in, const std::string& v, ComputedChannelState& c) {
                           return operandInto(in, v, c.sourceB);
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:BCHannel?", [](const ComputedChannelState& c) {
        return c.sourceB == 0 ? std::string("NONE") : listText({c.sourceB});
    });

    addComputedSetting(t, "CALCulate:MATH:SOURce:LIST",
                       [](Instrument& in, const std::string& v, ComputedChannelState& c) {
                           std::vector<int> channels;
                           if (!parseChannelList(v, channels) || !validSources(in, channels))
                               return false;
                           c.list = std::move(channels);
                           return true;
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:LIST?",
                     [](const ComputedChannelState& c) { return listText(c.list); });

    // Up to seven polynomial coefficients c0.. (those not given become 0).
    addComputedSetting(t, "CALCulate:MATH:COEFficients",
                       [](Instrument&, const std::string& v, ComputedChannelState& c) {
                           std::array<double, kCoefficients> values{};
                           std::size_t count = 0, start = 0;
                           while (start <= v.size()) {
                               std::size_t comma = v.find(',', start);
                               if (comma == std::string::npos) comma = v.size();
                               if (count == kCoefficients ||
                                   !argumentNumber(v.substr(start, comma - start), values[count]))
                                   return false;
                               ++count;
                               start = comma + 1;
                           }
                           c.coefficients = values;
                           return true;
                       });
    addComputedQuery(t, "CALCulate:MATH:COEFficients?", [](const ComputedChannelState& c) {
        std::string out;
        for (std::size_t i = 0; i < kCoefficients; ++i) {
            if (i > 0) out += ",";
            out += replyNumber(c.coefficients[i]);
        }
        return out;
    });
    // The exponent of the power function is coefficient c0.
    addComputedSetting(t, "CALCulate:MATH:EXPonent",
                       [](Instrument&, const std::string& v, ComputedChannelState& c) {
                           return argumentNumber(v, c.coefficients[0]);
                       });
    addComputedQuery(t, "CALCulate:MATH:EXPonent?",
                     [](const ComputedChannelState& c) { return replyNumber(c.coefficients[0]); });

    addComputedSetting(t, "CALCulate:MATH:UNIT",
                       [](Instrument&, const std::string& v, ComputedChannelState& c) {
                           return quotedText(v, c.settings.unit);
                       });
    addComputedQuery(t, "CALCulate:MATH:UNIT?",
                     [](const ComputedChannelState& c) { return "\"" + c.settings.unit + "\""; });
}

} // namespace korda::sim
