// The virtual instrument's function, range and sensor commands.
#include "MeasurementCommands.h"

#include "ChannelModel.h"
#include "Instrument.h"

#include <array>
#include <string>
#include <vector>

namespace korda::sim {

namespace {

// ---- Meter functions ----

const std::vector<double> kVoltRanges{0.1, 1, 10, 50, 100, 150, 300};
const std::vector<double> kCurrentRanges{0.0001, 0.001, 0.01, 0.1};
const std::vector<double> kResistanceRanges{100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

struct Meter {
    const char* function;  // the word "CONF?" answers
    const char* configure; // configure command
    const char* rangeNode; // prefix of the range commands
    const std::vector<double>* ranges;
    double defaultRange;
    bool ac; // alternating-current functions: on the models that have them
    bool needsCurrentInput;
};

const std::array<Meter, 6> kMeters{{
    {"VOLT", "CONFigure:VOLTage[:DC]", "[SENSe:]VOLTage[:DC]:RANGe", &kVoltRanges, 10, false,
     false},
    {"VOLT:AC", "CONFigure:VOLTage:AC", "[SENSe:]VOLTage:AC:RANGe", &kVoltRanges, 10, true, false},
    {"CURR", "CONFigure:CURRent[:DC]", "[SENSe:]CURRent[:DC]:RANGe", &kCurrentRanges, 0.1, false,
     true},
    {"CURR:AC", "CONFigure:CURRent:AC", "[SENSe:]CURRent:AC:RANGe", &kCurrentRanges, 0.1, true,
     true},
    {"RES", "CONFigure:RESistance", "[SENSe:]RESistance:RANGe", &kResistanceRanges, 1e4, false,
     false},
    {"FRES", "CONFigure:FRESistance", "[SENSe:]FRESistance:RANGe", &kResistanceRanges, 1e4, false,
     false},
}};

// A function the instrument's model lacks answers as an unknown header.
bool lacks(const Instrument& in, const Meter& meter) {
    return meter.ac && !in.traits().acFunctions;
}

// The model has the sensor ranges that carry their own coefficients.
bool hasCoefficientRanges(const Instrument& in) {
    return in.traits().coefficientRanges == korda32ex::CoefficientRanges::WithCoefficients;
}

// The smallest range that holds value; false when value is negative or above
// the largest range.
bool selectRange(const Meter& meter, double value, double& range) {
    if (value < 0) return false;
    for (const double r : *meter.ranges) {
        if (value <= r * (1 + 1e-9)) {
            range = r;
            return true;
        }
    }
    return false;
}

// Range parameter of a configure or range command: empty, "AUTO" or "DEF"
// choose automatic ranging; a number selects a fixed range.
bool rangeParameter(const Meter& meter, const std::string& param, bool& autoRange, double& range,
                    Reply& reply) {
    if (param.empty() || sameWord(param, "AUTO") || sameWord(param, "DEF")) {
        autoRange = true;
        range = meter.defaultRange;
        return true;
    }
    double value = 0;
    if (!parseReal(param, value)) {
        reply.error(scpi_error::kDataType);
        return false;
    }
    if (!selectRange(meter, value, range)) {
        reply.error(scpi_error::kDataOutOfRange);
        return false;
    }
    autoRange = false;
    return true;
}

void registerMeter(CommandTable& t, const Meter& meter) {
    t.add(meter.configure, [&meter](Instrument& in, const Request& q, Reply& r) {
        if (lacks(in, meter)) return r.error(scpi_error::kUndefinedHeader);
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        bool autoRange = true;
        double range = meter.defaultRange;
        if (!rangeParameter(meter, args.params, autoRange, range, r)) return;
        forEachChannel(in, q, r, false, [&](ChannelState& c, int n, Reply& rr) {
            // Module channels 1-20 have no current input.
            if (meter.needsCurrentInput && !hasCurrentInput(n))
                return rr.error(scpi_error::kSettingsConflict);
            c.on = true;
            c.function = meter.function;
            c.autoRange = autoRange;
            c.range = range;
            c.sensor.clear();
            c.sensorValues.clear();
        });
    });
    const std::string node = meter.rangeNode;
    // Range commands act on a channel configured for this function.
    t.add(node, [&meter](Instrument& in, const Request& q, Reply& r) {
        if (lacks(in, meter)) return r.error(scpi_error::kUndefinedHeader);
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        bool autoRange = false;
        double range = 0;
        if (args.params.empty()) return r.error(scpi_error::kMissingParameter);
        if (!rangeParameter(meter, args.params, autoRange, range, r)) return;
        forEachChannel(in, q, r, false, [&](ChannelState& c, int, Reply& rr) {
            if (c.function != meter.function) return rr.error(scpi_error::kSettingsConflict);
            c.autoRange = autoRange;
            c.range = range;
        });
    });
    t.add(node + ":AUTO", [&meter](Instrument& in, const Request& q, Reply& r) {
        if (lacks(in, meter)) return r.error(scpi_error::kUndefinedHeader);
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        bool on = false;
        if (!parseSwitch(args.params, on))
            return r.error(args.params.empty() ? scpi_error::kMissingParameter
                                               : scpi_error::kIllegalValue);
        forEachChannel(in, q, r, false, [&](ChannelState& c, int, Reply& rr) {
            if (c.function != meter.function) return rr.error(scpi_error::kSettingsConflict);
            c.autoRange = on;
        });
    });
    t.add(node + "?", [&meter](Instrument& in, const Request& q, Reply& r) {
        if (lacks(in, meter)) return r.error(scpi_error::kUndefinedHeader);
        answerPerChannel(in, q, r, false, [&](const ChannelState& c, int) {
            return realReply(c.function == meter.function ? c.range : meter.defaultRange);
        });
    });
    t.add(node + ":AUTO?", [&meter](Instrument& in, const Request& q, Reply& r) {
        if (lacks(in, meter)) return r.error(scpi_error::kUndefinedHeader);
        answerPerChannel(in, q, r, false, [&](const ChannelState& c, int) {
            return switchReply(c.function != meter.function || c.autoRange);
        });
    });
}

// ---- Temperature sensors ----

struct SensorKind {
    const char* word;    // "RTD" as in "CONF:TEMP RTD,A385" and "TEMP:RTD:TYPE?"
    const char* pattern; // its node in command patterns
    std::vector<std::string> types;
    std::vector<std::string> coefficientTypes; // only on models with coefficient ranges
};

const std::vector<std::string> kRtdTypes{"A385", "A392", "SPRT", "ABC"};
const std::vector<std::string> kThermistorTypes{"R2K2", "R5K", "R10K", "RPOL"};
const std::vector<std::string> kThermocoupleTypes{"K", "T", "R", "S", "J", "N", "E", "B",
                                                  "C", "D", "G", "L", "M", "U", "W", "POLY"};

const std::array<SensorKind, 6> kSensorKinds{{
    {"RTD", "RTD", kRtdTypes, {"SPRT", "ABC"}},
    {"TRTD", "TRTD", kRtdTypes, {"SPRT", "ABC"}},
    {"FRTD", "FRTD", kRtdTypes, {"SPRT", "ABC"}},
    {"THER", "THERmistor", kThermistorTypes, {"RPOL"}},
    {"FTH", "FTH", kThermistorTypes, {"RPOL"}},
    {"TC", "TC", kThermocoupleTypes, {"POLY"}},
}};

const SensorKind* findKind(const std::string& word) {
    for (const auto& k : kSensorKinds)
        if (sameWord(word, k.word)) return &k;
    return nullptr;
}

// The type's canonical spelling when this instrument has it; empty otherwise.
std::string sensorType(const Instrument& in, const SensorKind& kind, const std::string& word) {
    for (const auto& t : kind.types) {
        if (!sameWord(t, word)) continue;
        for (const auto& only : kind.coefficientTypes)
            if (t == only && !hasCoefficientRanges(in)) return {};
        return t;
    }
    return {};
}

std::string temperatureFunction(const SensorKind& kind) {
    return std::string("TEMP ") + kind.word;
}

void configureTemperature(Instrument& in, const Request& q, Reply& r) {
    ChannelArgs args;
    parseChannelArgs(q.args, args);
    const auto params = splitParams(args.params);
    if (params.empty()) return r.error(scpi_error::kMissingParameter);
    if (params.size() > 2) return r.error(scpi_error::kParameterNotAllowed);
    const SensorKind* kind = findKind(params[0]);
    if (kind == nullptr) return r.error(scpi_error::kIllegalValue);
    std::string type = kind->types.front();
    if (params.size() == 2 && !sameWord(params[1], "DEF")) {
        type = sensorType(in, *kind, params[1]);
        if (type.empty()) return r.error(scpi_error::kIllegalValue);
    }
    forEachChannel(in, q, r, false, [&](ChannelState& c, int, Reply&) {
        c.on = true;
        c.function = temperatureFunction(*kind);
        c.sensor = type;
        c.sensorValues.clear();
    });
}

void registerSensorKind(CommandTable& t, const SensorKind& kind) {
    const std::string node = std::string("[SENSe:]TEMPerature:") + kind.pattern + ":TYPE";
    t.add(node, [&kind](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        if (args.params.empty()) return r.error(scpi_error::kMissingParameter);
        const std::string type = sensorType(in, kind, args.params);
        if (type.empty()) return r.error(scpi_error::kIllegalValue);
        forEachChannel(in, q, r, false, [&](ChannelState& c, int, Reply& rr) {
            if (c.function != temperatureFunction(kind))
                return rr.error(scpi_error::kSettingsConflict);
            c.sensor = type;
        });
    });
    t.add(node + "?", [&kind](Instrument& in, const Request& q, Reply& r) {
        answerPerChannel(in, q, r, false, [&](const ChannelState& c, int) {
            return c.function == temperatureFunction(kind) ? c.sensor : kind.types.front();
        });
    });
}

// Sensor calibration values: a fixed number of reals per command.
struct SensorValues {
    std::string pattern; // after "[SENSe:]TEMPerature:"
    std::string key;     // under which the channel keeps them
    std::size_t count;
    bool coefficients; // only on models with coefficient ranges
};

std::vector<SensorValues> sensorValueCommands() {
    std::vector<SensorValues> out;
    for (const char* wiring : {"RTD", "TRTD", "FRTD"}) {
        const std::string w = wiring;
        out.push_back({w + ":SPRT:COEFficient:HIGH", "SPRT:COEF:HIGH", 4, true});
        out.push_back({w + ":SPRT:COEFficient:LOW", "SPRT:COEF:LOW", 2, true});
        out.push_back({w + ":SPRT:RTPW", "SPRT:RTPW", 1, true});
        out.push_back({w + ":ABC:RZERo", "ABC:RZER", 1, true});
        out.push_back({w + ":ABC:COEFficient", "ABC:COEF", 3, true});
        out.push_back({w + ":A385:RZERo", "A385:RZER", 1, false});
        out.push_back({w + ":A392:RZERo", "A392:RZER", 1, false});
    }
    out.push_back({"THERmistor:RPOL:COEFficient", "RPOL:COEF", 4, true});
    out.push_back({"TC:POLY:COEFficient", "TC:POLY:COEF", 7, true});
    out.push_back({"TC:R:COEFficient", "TC:R:COEF", 4, true});
    out.push_back({"TC:S:COEFficient", "TC:S:COEF", 4, true});
    return out;
}

void registerSensorValues(CommandTable& t, const SensorValues& sensor) {
    const std::string node = "[SENSe:]TEMPerature:" + sensor.pattern;
    t.add(node, [sensor](Instrument& in, const Request& q, Reply& r) {
        if (sensor.coefficients && !hasCoefficientRanges(in))
            return r.error(scpi_error::kUndefinedHeader);
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        const auto params = splitParams(args.params);
        if (params.size() < sensor.count) return r.error(scpi_error::kMissingParameter);
        if (params.size() > sensor.count) return r.error(scpi_error::kParameterNotAllowed);
        std::vector<double> values(sensor.count);
        for (std::size_t i = 0; i < sensor.count; ++i)
            if (!parseReal(params[i], values[i])) return r.error(scpi_error::kDataType);
        forEachChannel(in, q, r, false,
                       [&](ChannelState& c, int, Reply&) { c.sensorValues[sensor.key] = values; });
    });
    t.add(node + "?", [sensor](Instrument& in, const Request& q, Reply& r) {
        if (sensor.coefficients && !hasCoefficientRanges(in))
            return r.error(scpi_error::kUndefinedHeader);
        answerPerChannel(in, q, r, false, [&](const ChannelState& c, int) {
            const auto it = c.sensorValues.find(sensor.key);
            std::string line;
            for (std::size_t i = 0; i < sensor.count; ++i) {
                if (i > 0) line += ',';
                line += realReply(it == c.sensorValues.end() ? 0.0 : it->second[i]);
            }
            return line;
        });
    });
}

} // namespace

void registerMeasurementCommands(CommandTable& t) {
    for (const auto& meter : kMeters)
        registerMeter(t, meter);
    t.add("CONFigure:TEMPerature", configureTemperature);
    for (const auto& kind : kSensorKinds)
        registerSensorKind(t, kind);
    for (const auto& sensor : sensorValueCommands())
        registerSensorValues(t, sensor);
    t.add("CONFigure:FREQuency", [](Instrument& in, const Request& q, Reply& r) {
        forEachChannel(in, q, r, false, [](ChannelState& c, int, Reply&) {
            c.on = true;
            c.function = "FREQ";
            c.sensor.clear();
            c.sensorValues.clear();
        });
    });
    t.add("CONFigure?", [](Instrument& in, const Request& q, Reply& r) {
        answerPerChannel(in, q, r, false,
                         [](const ChannelState& c, int) { return "\"" + c.function + "\""; });
    });
}

} // namespace korda::sim
