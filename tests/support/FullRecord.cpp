#include "FullRecord.h"

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace korda::test {

namespace {

// A field of a record part: its name, place, and whether it holds whole
// numbers, real numbers or a text, and how many.
enum class Kind { Word, Real, Text };
struct Field {
    const char* name;
    std::size_t offset;
    Kind kind;
    std::size_t count = 1;
};

// clang-format off
#define KORDA_FIELD(type, f, ...) Field{#f, offsetof(type, f), __VA_ARGS__}
// clang-format on
#define KORDA_CH(f, ...) KORDA_FIELD(ChannelRecord, f, __VA_ARGS__)
#define KORDA_CC(f, ...) KORDA_FIELD(ComputedChannelRecord, f, __VA_ARGS__)
#define KORDA_IN(f) KORDA_FIELD(VmrInstConfig, f, Kind::Word)

const std::vector<Field> kChannelFields = {
    KORDA_CH(function, Kind::Word),      KORDA_CH(range, Kind::Word),
    KORDA_CH(shuntOhms, Kind::Real),     KORDA_CH(alarmFlags, Kind::Word),
    KORDA_CH(alarm1Limit, Kind::Real),   KORDA_CH(alarm2Limit, Kind::Real),
    KORDA_CH(alarm1Output, Kind::Word),  KORDA_CH(alarm2Output, Kind::Word),
    KORDA_CH(scaleM, Kind::Real),        KORDA_CH(scaleB, Kind::Real),
    KORDA_CH(sensorCoef, Kind::Real, 7), KORDA_CH(name, Kind::Text),
    KORDA_CH(unit, Kind::Text),          KORDA_CH(nplc, Kind::Real),
    KORDA_CH(delay, Kind::Real),         KORDA_CH(openDetect, Kind::Word),
    KORDA_CH(refJunction, Kind::Word)};
const std::vector<Field> kComputedFields = {
    KORDA_CC(function, Kind::Word),       KORDA_CC(sourceA, Kind::Word),
    KORDA_CC(sourceB, Kind::Word),        KORDA_CC(sourceList, Kind::Word, 5),
    KORDA_CC(alarmFlags, Kind::Word),     KORDA_CC(alarm1Limit, Kind::Real),
    KORDA_CC(alarm2Limit, Kind::Real),    KORDA_CC(alarm1Output, Kind::Word),
    KORDA_CC(alarm2Output, Kind::Word),   KORDA_CC(scaleM, Kind::Real),
    KORDA_CC(scaleB, Kind::Real),         KORDA_CC(name, Kind::Text),
    KORDA_CC(unit, Kind::Text),           KORDA_CC(coefficients, Kind::Real, 7),
    KORDA_CC(listHasChannel1, Kind::Word)};
const std::vector<Field> kInstrumentFields = {KORDA_IN(flags),
                                              KORDA_IN(intervalHours),
                                              KORDA_IN(intervalMinutes),
                                              KORDA_IN(intervalSeconds),
                                              KORDA_IN(triggerCount),
                                              KORDA_IN(recordDestination),
                                              KORDA_IN(alarmTriggerChannel),
                                              KORDA_IN(autoTriggerOrder),
                                              KORDA_IN(autoReferenceChannel),
                                              KORDA_IN(autoSecondReferenceChannel),
                                              KORDA_IN(triggerSource),
                                              KORDA_IN(totalizerDebounce),
                                              KORDA_IN(totalizerCount),
                                              KORDA_IN(totalizerType),
                                              KORDA_IN(totalizerState)};
const std::vector<Field> kModuleFields = {KORDA_FIELD(ModuleArea, moduleState, Kind::Word)};

// The words of a line: blanks separate them outside quotation marks.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const std::size_t start = i;
        for (bool quoted = false; i < line.size() && (quoted || line[i] != ' '); ++i) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                quoted = !quoted;
        }
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// Stores one value of a field at p; returns false when it is not one.
bool store(unsigned char* p, Kind kind, std::string_view v) {
    if (kind == Kind::Word) {
        const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
        std::uint32_t word = 0;
        const auto r =
            std::from_chars(v.data() + (hex ? 2 : 0), v.data() + v.size(), word, hex ? 16 : 10);
        std::memcpy(p, &word, sizeof word);
        return r.ec == std::errc() && r.ptr == v.data() + v.size();
    }
    if (kind == Kind::Real) {
        double real = 0;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), real);
        std::memcpy(p, &real, sizeof real);
        return r.ec == std::errc() && r.ptr == v.data() + v.size();
    }
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return false;
    std::vector<VmrChar16> units;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
        unsigned c = static_cast<unsigned char>(v[i]);
        if (c == '\\' && i + 6 < v.size() && v[i + 1] == 'u') {
            std::from_chars(v.data() + i + 2, v.data() + i + 6, c, 16);
            i += 5;
        } else if (c == '\\') {
            c = static_cast<unsigned char>(v[++i]);
        }
        units.push_back(static_cast<VmrChar16>(c));
    }
    if (units.size() > VMR_TEXT_UNITS) return false;
    std::memset(p, 0, VMR_TEXT_UNITS * sizeof(VmrChar16));
    if (!units.empty()) std::memcpy(p, units.data(), units.size() * sizeof(VmrChar16));
    return true;
}

// Sets "name=value" of a part at base with the given fields.
bool assign(unsigned char* base, const std::vector<Field>& fields, std::string_view word) {
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos) return false;
    for (const Field& f : fields) {
        if (word.substr(0, eq) != f.name) continue;
        std::string_view rest = word.substr(eq + 1);
        const std::size_t size = f.kind == Kind::Real ? sizeof(double) : sizeof(std::uint32_t);
        for (std::size_t k = 0; k < f.count; ++k) {
            const std::size_t comma = f.kind == Kind::Text ? rest.size() : rest.find(',');
            if (!store(base + f.offset + k * size, f.kind, rest.substr(0, comma))) return false;
            if (comma >= rest.size()) return true;
            rest.remove_prefix(comma + 1);
        }
        return false; // more values than the field holds
    }
    return false;
}

// The values of a field that are not zero, as "name=v,v" ("" when all are).
std::string valueText(const unsigned char* base, const Field& f) {
    const std::size_t size = f.kind == Kind::Real   ? sizeof(double)
                             : f.kind == Kind::Word ? sizeof(std::uint32_t)
                                                    : VMR_TEXT_UNITS * sizeof(VmrChar16);
    std::size_t used = 0;
    for (std::size_t k = 0; k < f.count; ++k)
        for (std::size_t b = 0; b < size; ++b)
            if (base[f.offset + k * size + b] != 0) used = k + 1;
    if (used == 0) return "";
    std::string out = std::string(" ") + f.name + "=";
    for (std::size_t k = 0; k < used; ++k) {
        const unsigned char* p = base + f.offset + k * size;
        char text[40];
        if (k > 0) out += ',';
        if (f.kind == Kind::Word) {
            std::uint32_t w;
            std::memcpy(&w, p, sizeof w);
            std::snprintf(text, sizeof text, w > 0xFFFF ? "0x%X" : "%u", w);
            out += text;
        } else if (f.kind == Kind::Real) {
            double d;
            std::memcpy(&d, p, sizeof d);
            out.append(text, std::to_chars(text, text + sizeof text, d).ptr);
        } else {
            out += '"';
            for (std::size_t i = 0; i < VMR_TEXT_UNITS; ++i) {
                VmrChar16 u;
                std::memcpy(&u, p + i * sizeof u, sizeof u);
                if (u == 0) break;
                if (u == '"' || u == '\\') out += '\\';
                if (u >= 0x20 && u < 0x7F) {
                    out += static_cast<char>(u);
                } else {
                    std::snprintf(text, sizeof text, "\\u%04X", u);
                    out += text;
                }
            }
            out += '"';
        }
    }
    return out;
}

std::string partText(const std::string& head, const void* part, const std::vector<Field>& fields) {
    std::string values;
    for (const Field& f : fields)
        values += valueText(static_cast<const unsigned char*>(part), f);
    return values.empty() ? "" : head + values + "\n";
}

} // namespace

std::string recordText(const VmrInstConfig& r) {
    std::string out = partText("instrument", &r, kInstrumentFields);
    out += partText("channel 1", &r.channel1, kChannelFields);
    for (int m = 0; m < VMR_MODULE_AREAS; ++m) {
        out += partText("module " + std::to_string(m + 1), &r.modules[m], kModuleFields);
        for (int c = 0; c < VMR_CHANNELS_PER_AREA; ++c)
            out += partText("channel " + std::to_string(100 * m + 101 + c),
                            &r.modules[m].channels[c], kChannelFields);
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
        out += partText("computed " + std::to_string(501 + i), &r.computed[i], kComputedFields);
    return out;
}

std::string applyRecordText(VmrInstConfig& record, std::string_view text) {
    std::size_t lineNumber = 0;
    for (std::size_t pos = 0; pos < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto w = words(line);
        if (w.empty() || w[0].front() == ';') continue;
        auto* base = reinterpret_cast<unsigned char*>(&record);
        const std::vector<Field>* fields = &kInstrumentFields;
        std::size_t first = 1;
        int n = 0;
        if (w[0] != "instrument") {
            first = 2;
            if (w.size() < 2 ||
                std::from_chars(w[1].data(), w[1].data() + w[1].size(), n).ec != std::errc())
                return "line " + std::to_string(lineNumber + 1) + ": no number";
            const int area = n / 100 - 1, index = n % 100 - 1;
            if (w[0] == "channel" && n == 1) {
                base = reinterpret_cast<unsigned char*>(&record.channel1);
                fields = &kChannelFields;
            } else if (w[0] == "channel" && area >= 0 && area < VMR_MODULE_AREAS && index >= 0 &&
                       index < VMR_CHANNELS_PER_AREA) {
                base = reinterpret_cast<unsigned char*>(&record.modules[area].channels[index]);
                fields = &kChannelFields;
            } else if (w[0] == "computed" && n >= 501 && n <= 500 + VMR_COMPUTED_CHANNELS) {
                base = reinterpret_cast<unsigned char*>(&record.computed[n - 501]);
                fields = &kComputedFields;
            } else if (w[0] == "module" && n >= 1 && n <= VMR_MODULE_AREAS) {
                base = reinterpret_cast<unsigned char*>(&record.modules[n - 1]);
                fields = &kModuleFields;
            } else {
                return "line " + std::to_string(lineNumber + 1) + ": no such part";
            }
        }
        for (std::size_t i = first; i < w.size(); ++i)
            if (!assign(base, *fields, w[i]))
                return "line " + std::to_string(lineNumber + 1) + ": " + std::string(w[i]);
    }
    return "";
}

std::unique_ptr<VmrInstConfig> recordFromText(std::string_view text) {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), 0, sizeof *r);
    const std::string error = applyRecordText(*r, text);
    if (!error.empty()) throw std::runtime_error("record text: " + error);
    return r;
}

std::string goldenDir() {
    return KORDA_GOLDEN_DIR; // defined by the build for every program that links this file
}

std::string goldenText(const std::string& name) {
    std::ifstream in(goldenDir() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<VmrInstConfig> fullRecord(int model) {
    return recordFromText(goldenText(model == DLXVMR_MODEL_5129A ? "record-full-5129A.txt"
                                                                 : "record-full-7043A.txt"));
}

std::unique_ptr<VmrInstConfig> threeVoltageInputs() {
    return recordFromText("instrument intervalSeconds=1\n"
                          "channel 101 function=1 range=18 scaleM=1\n"
                          "channel 102 function=1 range=18 scaleM=1\n"
                          "channel 103 function=1 range=18 scaleM=1\n");
}

} // namespace korda::test
