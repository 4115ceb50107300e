// The virtual instrument's computed (math) channels 501 to 520: function,
// operands, coefficients, channel list and unit.
#include "ComputedModel.h"

#include "ChannelCommandSupport.h"
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

using Apply = std::function<bool(Instrument&, const std::string& value, ChannelState&)>;

// A setting addressed to computed channels. `apply` is tried on a scratch
// copy first, so that a rejected value changes no channel.
void addComputedSetting(CommandTable& t, const std::string& pattern, Apply apply) {
    t.add(pattern, [apply](Instrument& in, const Request& q, Reply& r) {
        SettingTargets a;
        if (!settingTargets(in, q, r, ChannelScope::Computed, a)) return;
        ChannelState scratch;
        if (!apply(in, a.value, scratch)) return r.error(scpi_error::kIllegalValue);
        for (const int n : a.channels)
            apply(in, a.value, in.channels.state(n));
    });
}

void addComputedQuery(CommandTable& t, const std::string& pattern,
                      std::function<std::string(const ChannelState&)> answer) {
    t.add(pattern, [answer](Instrument& in, const Request& q, Reply& r) {
        answerEach(in, q, r, ChannelScope::Computed, answer);
    });
}

// Operands of a computed channel: channel 1 and the channels of fitted modules.
bool validSources(Instrument& in, const std::vector<int>& channels) {
    for (const int n : channels)
        if (channelKind(in, n) != ChannelKind::Analog) return false;
    return true;
}

bool operandInto(Instrument& in, const std::string& value, int& field) {
    ChannelArgs list;
    if (!parseChannelArgs(value, list) || !list.params.empty() || list.channels.size() != 1 ||
        !validSources(in, list.channels))
        return false;
    field = list.channels.front();
    return true;
}

std::string operandReply(int channel) {
    return channel == 0 ? std::string("NONE") : channelListReply({channel});
}

void addFunction(CommandTable& t) {
    // Choosing a function switches the computed channel on.
    addComputedSetting(t, "CALCulate:MATH:FUNCtion",
                       [](Instrument&, const std::string& v, ChannelState& c) {
                           for (const auto& f : kFunctionWords) {
                               if (sameWord(v, f.accepted)) {
                                   c.math.function = f.answered;
                                   c.on = true;
                                   return true;
                               }
                           }
                           return false;
                       });
    addComputedQuery(t, "CALCulate:MATH:FUNCtion?", [](const ChannelState& c) {
        return c.math.function.empty() ? std::string("NONE") : c.math.function;
    });
}

void addOperands(CommandTable& t) {
    addComputedSetting(t, "CALCulate:MATH:SOURce:ACHannel",
                       [](Instrument& in, const std::string& v, ChannelState& c) {
                           return operandInto(in, v, c.math.sourceA);
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:ACHannel?",
                     [](const ChannelState& c) { return operandReply(c.math.sourceA); });
    addComputedSetting(t, "CALCulate:MATH:SOURce:BCHannel",
                       [](Instrument& in, const std::string& v, ChannelState& c) {
                           return operandInto(in, v, c.math.sourceB);
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:BCHannel?",
                     [](const ChannelState& c) { return operandReply(c.math.sourceB); });
    addComputedSetting(t, "CALCulate:MATH:SOURce:LIST",
                       [](Instrument& in, const std::string& v, ChannelState& c) {
                           ChannelArgs list;
                           if (!parseChannelArgs(v, list) || !list.params.empty() ||
                               list.channels.empty() || !validSources(in, list.channels))
                               return false;
                           c.math.list = list.channels;
                           return true;
                       });
    addComputedQuery(t, "CALCulate:MATH:SOURce:LIST?",
                     [](const ChannelState& c) { return channelListReply(c.math.list); });
}

void addCoefficients(CommandTable& t) {
    // Up to seven polynomial coefficients c0.. (those not given become 0).
    addComputedSetting(t, "CALCulate:MATH:COEFficients",
                       [](Instrument&, const std::string& v, ChannelState& c) {
                           const auto pieces = splitParams(v);
                           if (pieces.empty() || pieces.size() > kCoefficients) return false;
                           std::array<double, kCoefficients> values{};
                           for (std::size_t i = 0; i < pieces.size(); ++i)
                               if (!parseReal(pieces[i], values[i])) return false;
                           c.math.coefficients = values;
                           return true;
                       });
    addComputedQuery(t, "CALCulate:MATH:COEFficients?", [](const ChannelState& c) {
        std::string out;
        for (std::size_t i = 0; i < kCoefficients; ++i) {
            if (i > 0) out += ",";
            out += realReply(c.math.coefficients[i]);
        }
        return out;
    });
    // The exponent of the power function is coefficient c0.
    addComputedSetting(t, "CALCulate:MATH:EXPonent",
                       [](Instrument&, const std::string& v, ChannelState& c) {
                           return parseReal(v, c.math.coefficients[0]);
                       });
    addComputedQuery(t, "CALCulate:MATH:EXPonent?",
                     [](const ChannelState& c) { return realReply(c.math.coefficients[0]); });
}

} // namespace

void registerComputedCommands(CommandTable& t) {
    addFunction(t);
    addOperands(t);
    addCoefficients(t);
    addComputedSetting(t, "CALCulate:MATH:UNIT",
                       [](Instrument&, const std::string& v, ChannelState& c) {
                           return quotedText(v, c.settings.unit);
                       });
    addComputedQuery(t, "CALCulate:MATH:UNIT?",
                     [](const ChannelState& c) { return quotedReply(c.settings.unit); });
}

} // namespace korda::sim
