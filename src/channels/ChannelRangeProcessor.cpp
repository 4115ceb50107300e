#include "channels/ChannelSettingProcessors.h"

#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"
#include "core/Numbers.h"

#include <array>
#include <span>

namespace korda32ex {

namespace {

// ---- Meter functions (1-6): range codes and the values sent for them ----

struct RangeValue {
    std::uint32_t code;
    double value;
};

constexpr std::array<RangeValue, 7> kVoltRanges{
    {{16, 0.1}, {17, 1}, {18, 10}, {19, 50}, {20, 100}, {21, 150}, {22, 300}}};
constexpr std::array<RangeValue, 7> kAcVoltRanges{
    {{32, 0.1}, {33, 1}, {34, 10}, {35, 50}, {36, 100}, {37, 150}, {38, 300}}};
constexpr std::array<RangeValue, 4> kCurrentRanges{
    {{48, 0.0001}, {49, 0.001}, {51, 0.01}, {52, 0.1}}};
constexpr std::array<RangeValue, 4> kAcCurrentRanges{
    {{64, 0.0001}, {65, 0.001}, {66, 0.01}, {67, 0.1}}};
constexpr std::array<RangeValue, 7> kResistanceRanges{
    {{1, 100}, {2, 1000}, {3, 10000}, {4, 100000}, {5, 1000000}, {6, 10000000}, {7, 100000000}}};

struct MeterFunction {
    std::span<const RangeValue> ranges; // ascending values; the first is the lowest code
    std::uint32_t autoCode;
    double otherValue; // sent for a code outside the table
    const char* autoCommand;
    const char* configureWord;
    bool acFunction;
};

// Indexed by function code - 1.
const std::array<MeterFunction, 6> kMeterFunctions{{
    {kVoltRanges, 23, 0.1, "VOLT:RANG:AUTO ON,", "CONF:VOLT ", false},
    {kAcVoltRanges, 39, 1, "VOLT:AC:RANG:AUTO ON,", "CONF:VOLT:AC ", true},
    {kCurrentRanges, 53, 0, "CURR:DC:RANG:AUTO ON,", "CONF:CURR:DC ", false},
    {kAcCurrentRanges, 68, 0, "CURR:AC:RANG:AUTO ON,", "CONF:CURR:AC ", true},
    {kResistanceRanges, 8, 100, "RES:RANG:AUTO ON,", "CONF:RES ", false},
    {kResistanceRanges, 8, 100, "FRES:RANG:AUTO ON,", "CONF:FRES ", false},
}};

// ---- Temperature sensors ----

constexpr std::uint32_t kSprt = 80, kA385 = 81, kAbc = 83;
constexpr std::array<TokenCode, 4> kRtdTypes{
    {{"SPRT", 80}, {"A385", 81}, {"A392", 82}, {"ABC", 83}}};
// The order in which an RTD type reply is recognised.
constexpr std::array<TokenCode, 4> kRtdReplies{
    {{"A385", 81}, {"A392", 82}, {"ABC", 83}, {"SPRT", 80}}};

constexpr std::uint32_t kRpol = 100;
constexpr std::array<TokenCode, 4> kThermistorTypes{
    {{"R2K2", 96}, {"R5K", 97}, {"R10K", 99}, {"RPOL", 100}}};

constexpr std::uint32_t tcCode(int n) {
    return 0x6001u + 0x100u * static_cast<std::uint32_t>(n);
}
constexpr std::uint32_t kTcR = tcCode(2), kTcS = tcCode(3), kTcPoly = tcCode(15);
constexpr std::array<TokenCode, 16> kThermocoupleTypes{{
    {"K", tcCode(0)},
    {"T", tcCode(1)},
    {"R", tcCode(2)},
    {"S", tcCode(3)},
    {"J", tcCode(4)},
    {"N", tcCode(5)},
    {"E", tcCode(6)},
    {"B", tcCode(7)},
    {"C", tcCode(8)},
    {"D", tcCode(9)},
    {"G", tcCode(10)},
    {"L", tcCode(11)},
    {"M", tcCode(12)},
    {"U", tcCode(13)},
    {"W", tcCode(14)},
    {"POLY", kTcPoly},
}};
// A reply recognises every type but the user polynomial, which is what any
// other reply stands for.
const std::span<const TokenCode> kThermocoupleReplies(kThermocoupleTypes.data(), 15);

std::string_view tokenFor(std::uint32_t code, std::span<const TokenCode> table,
                          std::string_view other) {
    const TokenCode* entry = findCode(code, table);
    return entry != nullptr ? entry->token : other;
}

// The words of one RTD wiring: the configure word and the sensor command prefix.
struct RtdWiring {
    const char* configure;
    const char* prefix;
};
constexpr std::array<RtdWiring, 3> kRtdWirings{{
    {"CONF:TEMP RTD,", "TEMP:RTD:"},
    {"CONF:TEMP TRTD,", "TEMP:TRTD:"},
    {"CONF:TEMP FRTD,", "TEMP:FRTD:"},
}};

using Format = std::string (*)(double);

// Sensor values d[first], d[first + 1], ... separated by commas.
std::string values(const ChannelRecord& channel, int first, int count, Format format) {
    std::string out;
    for (int i = first; i < first + count; ++i) {
        if (i > first) out += ',';
        out += format(channel.sensorCoef[i]);
    }
    return out;
}

// ---- Range queries by the function word of "CONF?" ----

struct RangeQuery {
    std::string_view functionWord;
    const char* query;
};
constexpr std::array<RangeQuery, 14> kRangeQueries{{
    {"\"CURR\"", "CURR:DC:RANG? "},
    {"\"CURR:DC\"", "CURR:DC:RANG? "},
    {"\"CURR:AC\"", "CURR:AC:RANG? "},
    {"\"VOLT\"", "VOLT:DC:RANG? "},
    {"\"VOLT:DC\"", "VOLT:DC:RANG? "},
    {"\"VOLT:AC\"", "VOLT:AC:RANG? "},
    {"\"RES\"", "RES:RANG? "},
    {"\"FRES\"", "FRES:RANG? "},
    {"\"TEMP TC\"", "TEMP:TC:TYPE? "},
    {"\"TEMP FRTD\"", "TEMP:FRTD:TYPE? "},
    {"\"TEMP TRTD\"", "TEMP:TRTD:TYPE? "},
    {"\"TEMP RTD\"", "TEMP:RTD:TYPE? "},
    {"\"TEMP THER\"", "TEMP:THER:TYPE? "},
    {"\"TEMP FTH\"", "TEMP:FTH:TYPE? "},
}};

} // namespace

bool ChannelRangeProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                          std::string&, int&) {
    const ChannelRecord* found = presentChannel(record);
    if (found == nullptr) return true;
    const ChannelRecord& ch = *found;
    const CoefficientRanges coefficients = currentModel().coefficientRanges;
    const bool withCoefficients = coefficients == CoefficientRanges::WithCoefficients;
    const bool noCoefficientRanges = coefficients == CoefficientRanges::Absent;
    std::string tail = ","; // ",(@n)"
    tail += list();
    const std::uint32_t fn = ch.function;
    std::string first, second, third, fourth;

    if (fn >= 1 && fn <= 6) {
        const MeterFunction& meter = kMeterFunctions[fn - 1];
        if (meter.acFunction && !currentModel().acFunctions) return true;
        if (ch.range == meter.autoCode) {
            first = meter.autoCommand + list();
        } else {
            double value = meter.otherValue;
            for (const auto& r : meter.ranges)
                if (r.code == ch.range) value = r.value;
            first = meter.configureWord + wire::fixed6(value) + tail;
        }
    } else if (fn >= 7 && fn <= 9) {
        if (noCoefficientRanges && (ch.range == kSprt || ch.range == kAbc)) return true;
        const RtdWiring& wiring = kRtdWirings[fn - 7];
        const std::string prefix = wiring.prefix;
        first = wiring.configure + std::string(tokenFor(ch.range, kRtdTypes, "A385")) + tail;
        if (ch.range == kSprt && withCoefficients) {
            second = prefix + "SPRT:COEF:HIGH " + values(ch, 3, 4, wire::scientific6) + tail;
            third = prefix + "SPRT:COEF:LOW " + values(ch, 1, 2, wire::scientific6) + tail;
            fourth = prefix + "SPRT:RTPW " + values(ch, 0, 1, wire::general) + tail;
        } else if (ch.range == kAbc && withCoefficients) {
            const Format r0Format = fn == 8 ? wire::scientific6 : wire::general;
            second = prefix + "ABC:RZER " + values(ch, 0, 1, r0Format) + tail;
            third = prefix + "ABC:COEF " + values(ch, 1, 3, wire::scientific6) + tail;
        } else if (ch.range == kA385) {
            second = prefix + "A385:RZER " + values(ch, 0, 1, wire::general) + tail;
        } else {
            second = prefix + "A392:RZER " + values(ch, 0, 1, wire::general) + tail;
        }
    } else if (fn == 10 || fn == 11) {
        if (noCoefficientRanges && ch.range == kRpol) return true;
        first = std::string(fn == 10 ? "CONF:TEMP THER," : "CONF:TEMP FTH,") +
                std::string(tokenFor(ch.range, kThermistorTypes, "R2K2")) + tail;
        if (ch.range == kRpol && withCoefficients)
            second = "TEMP:THER:RPOL:COEF " + values(ch, 0, 4, wire::general) + tail;
    } else if (fn == 12) {
        if (noCoefficientRanges && ch.range == kTcPoly) return true;
        first = "CONF:TEMP TC," + std::string(tokenFor(ch.range, kThermocoupleTypes, "K")) + tail;
        if (withCoefficients) {
            if (ch.range == kTcPoly)
                second = "TEMP:TC:POLY:COEF " + values(ch, 0, 7, wire::general) + tail;
            else if (ch.range == kTcR)
                second = "TEMP:TC:R:COEF " + values(ch, 0, 4, wire::general) + tail;
            else if (ch.range == kTcS)
                second = "TEMP:TC:S:COEF " + values(ch, 0, 4, wire::general) + tail;
        }
    } else if (fn == 13) {
        first = "CONF:FREQ " + list();
    }

    for (auto* command : {&first, &second, &third, &fourth})
        if (!command->empty()) commands.push_back(std::move(*command));
    return true;
}

bool ChannelRangeProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (!channelStateGate(handler)) return true;
    const auto function = immediateQuery(handler, "CONF? " + list());
    if (function) {
        for (const auto& entry : kRangeQueries) {
            if (equalsIgnoringCase(*function, entry.functionWord)) {
                queries.push_back(entry.query + list());
                return true;
            }
        }
    }
    markSkipped(); // frequency, or a reply that names no ranged function
    return true;
}

bool ChannelRangeProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string& errorText, int& errorCode) {
    const double value = readLeadingReal(reply).value_or(0);
    if (skipped()) return true;
    if (value < 0) return invalidResponse(reply, errorText, errorCode);
    ChannelRecord* channel = channelFor(record);
    if (channel == nullptr) return true;
    const std::uint32_t fn = channel->function;
    std::uint32_t code = 0;
    if (fn >= 1 && fn <= 6) {
        const auto ranges = kMeterFunctions[fn - 1].ranges;
        code = ranges.front().code;
        for (const auto& r : ranges) {
            if (r.value == value) {
                code = r.code;
                break;
            }
        }
    } else if (fn >= 7 && fn <= 9) {
        const TokenCode* t = findToken(reply, kRtdReplies);
        code = t != nullptr ? t->code : kA385;
    } else if (fn == 10 || fn == 11) {
        const TokenCode* t = findToken(reply, kThermistorTypes);
        code = t != nullptr ? t->code : kThermistorTypes.front().code;
    } else if (fn == 12) {
        const TokenCode* t = findToken(reply, kThermocoupleReplies);
        code = t != nullptr ? t->code : kTcPoly;
    }
    channel->range = code;
    return true;
}

} // namespace korda32ex
