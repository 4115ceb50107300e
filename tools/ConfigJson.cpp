#include "ConfigJson.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace korda::tool {

namespace {

using json::Value;

// A code, or a bit of a word, by name.
struct Named {
    std::uint32_t code;
    const char* name;
};
using CodeTable = std::vector<Named>;

const CodeTable kAnalogFunctions = {{0, "NONE"},
                                    {VMR_FUNC_DC_VOLTS, "VOLT"},
                                    {VMR_FUNC_AC_VOLTS, "VOLT_AC"},
                                    {VMR_FUNC_DC_CURRENT, "CURR"},
                                    {VMR_FUNC_AC_CURRENT, "CURR_AC"},
                                    {VMR_FUNC_RESISTANCE_2W, "RES"},
                                    {VMR_FUNC_RESISTANCE_4W, "FRES"},
                                    {VMR_FUNC_RTD_2W, "TEMP_RTD"},
                                    {VMR_FUNC_RTD_3W, "TEMP_TRTD"},
                                    {VMR_FUNC_RTD_4W, "TEMP_FRTD"},
                                    {VMR_FUNC_THERMISTOR_2W, "TEMP_THER"},
                                    {VMR_FUNC_THERMISTOR_4W, "TEMP_FTH"},
                                    {VMR_FUNC_THERMOCOUPLE, "TEMP_TC"},
                                    {VMR_FUNC_FREQUENCY, "FREQ"},
                                    {VMR_CHANNEL_OFF, "OFF"}};

const CodeTable kComputedFunctions = {{0, "NONE"},
                                      {VMR_MATH_POLYNOMIAL, "POLY"},
                                      {VMR_MATH_SQUARE_ROOT, "SRO"},
                                      {VMR_MATH_POWER, "POW"},
                                      {VMR_MATH_EXP, "EXP"},
                                      {VMR_MATH_LOG, "LOG"},
                                      {VMR_MATH_ABS, "ABS"},
                                      {VMR_MATH_RECIPROCAL, "REC"},
                                      {VMR_MATH_SUBTRACT, "SUB"},
                                      {VMR_MATH_ADD, "ADD"},
                                      {VMR_MATH_MULTIPLY, "MULT"},
                                      {VMR_MATH_DIVIDE, "DIV"},
                                      {VMR_MATH_AVERAGE, "AVER"},
                                      {VMR_MATH_MAXIMUM, "MAX"},
                                      {VMR_MATH_MINIMUM, "MIN"},
                                      {VMR_MATH_SUM, "SUM"},
                                      {VMR_CHANNEL_OFF, "OFF"}};

const CodeTable kVoltRanges = {{16, "100mV"}, {17, "1V"},   {18, "10V"},  {19, "50V"},
                               {20, "100V"},  {21, "150V"}, {22, "300V"}, {23, "AUTO"}};
const CodeTable kVoltAcRanges = {{32, "100mV"}, {33, "1V"},   {34, "10V"},  {35, "50V"},
                                 {36, "100V"},  {37, "150V"}, {38, "300V"}, {39, "AUTO"}};
const CodeTable kCurrRanges = {
    {48, "100uA"}, {49, "1mA"}, {51, "10mA"}, {52, "100mA"}, {53, "AUTO"}};
const CodeTable kCurrAcRanges = {
    {64, "100uA"}, {65, "1mA"}, {66, "10mA"}, {67, "100mA"}, {68, "AUTO"}};
const CodeTable kResistanceRanges = {{1, "100ohm"}, {2, "1kohm"},  {3, "10kohm"},  {4, "100kohm"},
                                     {5, "1Mohm"},  {6, "10Mohm"}, {7, "100Mohm"}, {8, "AUTO"}};
const CodeTable kRtdTypes = {{80, "SPRT"}, {81, "A385"}, {82, "A392"}, {83, "ABC"}};
const CodeTable kThermistorTypes = {{96, "R2K2"}, {97, "R5K"}, {99, "R10K"}, {100, "RPOL"}};
const CodeTable kThermocoupleTypes = {
    {0x6001, "K"}, {0x6101, "T"}, {0x6201, "R"}, {0x6301, "S"},   {0x6401, "J"}, {0x6501, "N"},
    {0x6601, "E"}, {0x6701, "B"}, {0x6801, "C"}, {0x6901, "D"},   {0x6A01, "G"}, {0x6B01, "L"},
    {0x6C01, "M"}, {0x6D01, "U"}, {0x6E01, "W"}, {0x6F01, "POLY"}};
const CodeTable kNoNames = {};

// The names of the range field depend on the channel's function.
const CodeTable& rangeNames(std::uint32_t function) {
    switch (function) {
    case 1:
        return kVoltRanges;
    case 2:
        return kVoltAcRanges;
    case 3:
        return kCurrRanges;
    case 4:
        return kCurrAcRanges;
    case 5:
    case 6:
        return kResistanceRanges;
    case 7:
    case 8:
    case 9:
        return kRtdTypes;
    case 10:
    case 11:
        return kThermistorTypes;
    case 12:
        return kThermocoupleTypes;
    default:
        return kNoNames;
    }
}

const CodeTable kDestinations = {{0, "OFF"}, {1, "MEM"}, {2, "MMEM"}};
const CodeTable kAutoOrders = {{0, "LIN"}, {1, "ALT"}, {2, "REV"}, {3, "000"}};
const CodeTable kTriggerSources = {{0, "TIM"}, {1, "EXT"}, {2, "ALAR"}, {3, "AUTO"}};
const CodeTable kTotalizerTypes = {{0, "READ"}, {1, "RRES"}};
const CodeTable kRefJunctions = {{0, "INT"}, {1, "FIX"}, {2, "EXT"}};
const CodeTable kModuleStates = {{0, "PRESENT"}, {VMR_MODULE_ABSENT, "ABSENT"}};
const CodeTable kRates = {{VMR_RATE_FAST, "FAST"},
                          {VMR_RATE_MEDIUM, "MEDIUM"},
                          {VMR_RATE_SLOW, "SLOW"},
                          {VMR_RATE_NPLC, "NPLC"}};

constexpr std::uint32_t kRateMask = 0x7;
const CodeTable kInstrumentFlags = {{VMR_FLAG_FAHRENHEIT, "fahrenheit"},
                                    {VMR_FLAG_DATA_SECURITY, "dataSecurity"},
                                    {VMR_FLAG_AUTO_CONTINUOUS, "autoTriggerContinuous"},
                                    {VMR_FLAG_RESUME_AFTER_POWER, "resumeAfterPowerLoss"}};
const CodeTable kChannelAlarmFlags = {{0x01, "triggersScan"},
                                      {0x02, "alarm1Low"},
                                      {0x04, "alarm1High"},
                                      {0x08, "alarm2Low"},
                                      {0x10, "alarm2High"}};
const CodeTable kComputedAlarmFlags = {
    {0x02, "alarm1Low"}, {0x04, "alarm1High"}, {0x08, "alarm2Low"}, {0x10, "alarm2High"}};

// ---- The fields ------------------------------------------------------------

// How a field of a record stands in the document.
enum class Kind {
    Word,    // a whole number
    Code,    // a code, by its name where the field's names have one
    Range,   // a channel's range or sensor code, named by the channel's function
    Switch,  // true/false for 1/0, the number otherwise
    Bits,    // an object of the named bits, true or false each
    Flags,   // the instrument's flags: the rate by name, then the named bits
    Real,    // a number
    Reals,   // a list of numbers
    Text,    // a text in quotes
    Sources, // the channels whose bits a source list sets
    Words,   // reserved: a list of whole numbers, left out while all are zero
    Bytes,   // reserved: a list of bytes, left out while all are zero
};

// A field of a record: its name in the document (the member's own name),
// where it lies in the record, its size in bytes, and the names of its codes
// or bits.
struct Field {
    const char* name;
    Kind kind;
    std::size_t offset;
    std::size_t size;
    const CodeTable* names;
};

#define KORDA_FIELD(Record, member, kind, names)                                                   \
    Field {                                                                                        \
#member, Kind::kind, offsetof(Record, member), sizeof(Record::member), names               \
    }

// Each table lists the fields in the order the document shows them.
const Field kAnalogFields[] = {
    KORDA_FIELD(ChannelRecord, function, Code, &kAnalogFunctions),
    KORDA_FIELD(ChannelRecord, range, Range, nullptr),
    KORDA_FIELD(ChannelRecord, name, Text, nullptr),
    KORDA_FIELD(ChannelRecord, unit, Text, nullptr),
    KORDA_FIELD(ChannelRecord, shuntOhms, Real, nullptr),
    KORDA_FIELD(ChannelRecord, scaleM, Real, nullptr),
    KORDA_FIELD(ChannelRecord, scaleB, Real, nullptr),
    KORDA_FIELD(ChannelRecord, alarmFlags, Bits, &kChannelAlarmFlags),
    KORDA_FIELD(ChannelRecord, alarm1Limit, Real, nullptr),
    KORDA_FIELD(ChannelRecord, alarm2Limit, Real, nullptr),
    KORDA_FIELD(ChannelRecord, alarm1Output, Word, nullptr),
    KORDA_FIELD(ChannelRecord, alarm2Output, Word, nullptr),
    KORDA_FIELD(ChannelRecord, sensorCoef, Reals, nullptr),
    KORDA_FIELD(ChannelRecord, nplc, Real, nullptr),
    KORDA_FIELD(ChannelRecord, delay, Real, nullptr),
    KORDA_FIELD(ChannelRecord, openDetect, Switch, nullptr),
    KORDA_FIELD(ChannelRecord, refJunction, Code, &kRefJunctions),
    KORDA_FIELD(ChannelRecord, reserved20, Bytes, nullptr),
};

const Field kComputedFields[] = {
    KORDA_FIELD(ComputedChannelRecord, function, Code, &kComputedFunctions),
    KORDA_FIELD(ComputedChannelRecord, sourceA, Word, nullptr),
    KORDA_FIELD(ComputedChannelRecord, sourceB, Word, nullptr),
    KORDA_FIELD(ComputedChannelRecord, sourceList, Sources, nullptr),
    KORDA_FIELD(ComputedChannelRecord, listHasChannel1, Switch, nullptr),
    KORDA_FIELD(ComputedChannelRecord, coefficients, Reals, nullptr),
    KORDA_FIELD(ComputedChannelRecord, name, Text, nullptr),
    KORDA_FIELD(ComputedChannelRecord, unit, Text, nullptr),
    KORDA_FIELD(ComputedChannelRecord, scaleM, Real, nullptr),
    KORDA_FIELD(ComputedChannelRecord, scaleB, Real, nullptr),
    KORDA_FIELD(ComputedChannelRecord, alarmFlags, Bits, &kComputedAlarmFlags),
    KORDA_FIELD(ComputedChannelRecord, alarm1Limit, Real, nullptr),
    KORDA_FIELD(ComputedChannelRecord, alarm2Limit, Real, nullptr),
    KORDA_FIELD(ComputedChannelRecord, alarm1Output, Word, nullptr),
    KORDA_FIELD(ComputedChannelRecord, alarm2Output, Word, nullptr),
    KORDA_FIELD(ComputedChannelRecord, reserved32, Bytes, nullptr),
    KORDA_FIELD(ComputedChannelRecord, reserved1160, Bytes, nullptr),
};

const Field kModuleFields[] = {
    KORDA_FIELD(ModuleArea, moduleState, Code, &kModuleStates),
    KORDA_FIELD(ModuleArea, reserved4, Bytes, nullptr),
};

// The instrument's settings; its channels follow them.
const Field kConfigFields[] = {
    KORDA_FIELD(VmrInstConfig, flags, Flags, &kInstrumentFlags),
    KORDA_FIELD(VmrInstConfig, intervalHours, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, intervalMinutes, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, intervalSeconds, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, triggerSource, Code, &kTriggerSources),
    KORDA_FIELD(VmrInstConfig, triggerCount, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, alarmTriggerChannel, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, autoTriggerOrder, Code, &kAutoOrders),
    KORDA_FIELD(VmrInstConfig, autoReferenceChannel, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, autoSecondReferenceChannel, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, recordDestination, Code, &kDestinations),
    KORDA_FIELD(VmrInstConfig, totalizerState, Switch, nullptr),
    KORDA_FIELD(VmrInstConfig, totalizerType, Code, &kTotalizerTypes),
    KORDA_FIELD(VmrInstConfig, totalizerDebounce, Switch, nullptr),
    KORDA_FIELD(VmrInstConfig, totalizerCount, Word, nullptr),
    KORDA_FIELD(VmrInstConfig, reserved16, Words, nullptr),
};

#undef KORDA_FIELD

using Fields = std::span<const Field>;

// Members of the record by their place: the record's fields need not be
// aligned for their type (the records are packed to 4 bytes).
template <class T> T load(const std::byte* at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

template <class T> void store(std::byte* at, const T& v) {
    std::memcpy(at, &v, sizeof v);
}

// The names of a channel record's range, by the function it holds.
const CodeTable& rangeNamesOf(const std::byte* channel) {
    return rangeNames(load<std::uint32_t>(channel + offsetof(ChannelRecord, function)));
}

bool allZero(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        if (p[i]) return false;
    return true;
}

// ---- Writing ---------------------------------------------------------------

Value codeValue(const CodeTable& table, std::uint32_t code) {
    for (const auto& n : table)
        if (n.code == code) return Value::string(n.name);
    return Value::integer(code);
}

// The named bits of word as members of o, true or false each, and the
// bits that have no name as "otherBits".
Value withBits(Value o, const CodeTable& bits, std::uint32_t word) {
    std::uint32_t named = 0;
    for (const auto& b : bits) {
        o.set(b.name, Value::boolean((word & b.code) != 0));
        named |= b.code;
    }
    if (word & ~named) o.set("otherBits", Value::integer(word & ~named));
    return o;
}

// Bit b of word k of a source list is channel 101 + 100 k + b.
Value sourceListValue(const std::byte* at) {
    Value a = Value::array();
    for (int k = 0; k < 5; ++k) {
        const auto word = load<std::uint32_t>(at + 4 * k);
        for (int b = 0; b < 32; ++b)
            if (word & (1u << b)) a.push(Value::integer(101 + 100 * k + b));
    }
    return a;
}

// The field's value in the document; null for reserved fields that hold
// nothing (they are left out).
Value fieldValue(const Field& f, const std::byte* record) {
    const std::byte* at = record + f.offset;
    switch (f.kind) {
    case Kind::Word:
        return Value::integer(load<std::uint32_t>(at));
    case Kind::Code:
        return codeValue(*f.names, load<std::uint32_t>(at));
    case Kind::Range:
        return codeValue(rangeNamesOf(record), load<std::uint32_t>(at));
    case Kind::Switch: {
        const auto word = load<std::uint32_t>(at);
        return word <= 1 ? Value::boolean(word == 1) : Value::integer(word);
    }
    case Kind::Bits:
        return withBits(Value::object(), *f.names, load<std::uint32_t>(at));
    case Kind::Flags: {
        const auto word = load<std::uint32_t>(at);
        Value o = Value::object();
        o.set("rate", codeValue(kRates, word & kRateMask));
        return withBits(std::move(o), kInstrumentFlags, word & ~kRateMask);
    }
    case Kind::Real:
        return Value::real(load<double>(at));
    case Kind::Reals: {
        Value a = Value::array();
        for (std::size_t i = 0; i < f.size; i += sizeof(double))
            a.push(Value::real(load<double>(at + i)));
        return a;
    }
    case Kind::Text: {
        VmrChar16 text[VMR_TEXT_UNITS];
        std::memcpy(text, at, sizeof text);
        return Value::string(textToUtf8(text));
    }
    case Kind::Sources:
        return sourceListValue(at);
    case Kind::Words:
    case Kind::Bytes: {
        if (allZero(at, f.size)) return Value();
        Value a = Value::array();
        if (f.kind == Kind::Words)
            for (std::size_t i = 0; i < f.size; i += 4)
                a.push(Value::integer(load<std::uint32_t>(at + i)));
        else
            for (std::size_t i = 0; i < f.size; ++i)
                a.push(Value::integer(std::to_integer<int>(at[i])));
        return a;
    }
    }
    return Value();
}

void writeFields(Value& o, Fields fields, const void* record) {
    for (const Field& f : fields) {
        Value v = fieldValue(f, static_cast<const std::byte*>(record));
        if (!v.isNull()) o.set(f.name, std::move(v));
    }
}

// A channel record; channel 1 goes without its number.
Value channelValue(Fields fields, const void* record, int number) {
    Value o = Value::object();
    if (number) o.set("channel", Value::integer(number));
    writeFields(o, fields, record);
    return o;
}

// ---- Reading ---------------------------------------------------------------

class Reader {
  public:
    explicit Reader(std::string where) : where_(std::move(where)) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw json::Error(where_.empty() ? what : where_ + ": " + what);
    }

    // Every member of o is one of the fields or one of the other keys.
    void onlyKeys(const Value& o, Fields fields, std::initializer_list<const char*> others) const {
        if (!o.isObject()) fail("expected an object");
        for (const auto& m : o.members()) {
            bool known = false;
            for (const Field& f : fields)
                known = known || m.first == f.name;
            for (const char* k : others)
                known = known || m.first == k;
            if (!known) fail("unknown field " + json::quoted(m.first));
        }
    }

    Reader field(const char* key) const {
        return Reader(where_.empty() ? std::string(key) : where_ + ": " + key);
    }

    std::uint32_t word(const Value& v) const {
        const auto n = v.asInteger();
        if (!n || *n < 0 || *n > 0xFFFFFFFFLL) fail("expected a whole number from 0 to 4294967295");
        return static_cast<std::uint32_t>(*n);
    }

    std::uint32_t code(const CodeTable& table, const Value& v) const {
        if (v.isString()) {
            for (const auto& n : table)
                if (v.text() == n.name) return n.code;
            std::string names;
            for (const auto& n : table)
                names += std::string(names.empty() ? "" : ", ") + n.name;
            fail("unknown name " + json::quoted(v.text()) +
                 (names.empty() ? std::string(" (give the code as a number)")
                                : " (one of " + names + ", or a number)"));
        }
        return word(v);
    }

    std::uint32_t switchWord(const Value& v) const {
        if (v.isBool()) return v.asBool() ? 1 : 0;
        return word(v);
    }

    double real(const Value& v) const {
        const auto d = v.asReal();
        if (!d) fail("expected a number");
        return *d;
    }

    // The named bits by name, the others as "otherBits", which may not hold
    // a named bit (so a bit given as false stays off).
    std::uint32_t bits(const CodeTable& names, const Value& v) const {
        if (!v.isObject()) return word(v);
        std::uint32_t out = 0;
        for (const auto& m : v.members()) {
            if (m.first == "otherBits") {
                const std::uint32_t other = field("otherBits").word(m.second);
                for (const auto& b : names)
                    if (other & b.code)
                        field("otherBits")
                            .fail("holds the bit of \"" + std::string(b.name) +
                                  "\"; give it by name");
                out |= other;
                continue;
            }
            const Named* bit = nullptr;
            for (const auto& b : names)
                if (m.first == b.name) bit = &b;
            if (!bit) fail("unknown flag " + json::quoted(m.first));
            if (!m.second.isBool()) field(bit->name).fail("expected true or false");
            if (m.second.asBool()) out |= bit->code;
        }
        return out;
    }

    void reals(const Value& v, double* out, std::size_t count) const {
        if (!v.isArray() || v.items().size() > count)
            fail("expected a list of at most " + std::to_string(count) + " numbers");
        for (std::size_t i = 0; i < v.items().size(); ++i)
            out[i] = real(v.items()[i]);
    }

    void bytes(const Value& v, std::uint8_t* out, std::size_t count) const {
        if (!v.isArray() || v.items().size() != count)
            fail("expected a list of " + std::to_string(count) + " bytes");
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t b = word(v.items()[i]);
            if (b > 255) fail("expected a byte from 0 to 255");
            out[i] = static_cast<std::uint8_t>(b);
        }
    }

    // UTF-8 into a text field (at most 255 units and the terminator).
    void text(const Value& v, VmrChar16* out) const {
        if (!v.isString()) fail("expected a text in quotes");
        const std::string& s = v.text();
        std::vector<std::uint16_t> units;
        for (std::size_t i = 0; i < s.size();) {
            auto cp = json::nextCodePoint(s, i);
            if (!cp) fail("the text is not valid UTF-8");
            if (*cp >= 0x10000) {
                *cp -= 0x10000;
                units.push_back(static_cast<std::uint16_t>(0xD800 + (*cp >> 10)));
                units.push_back(static_cast<std::uint16_t>(0xDC00 + (*cp & 0x3FF)));
            } else {
                units.push_back(static_cast<std::uint16_t>(*cp));
            }
        }
        for (const auto u : units)
            if (u == 0) fail("the text holds a NUL character");
        if (units.size() >= VMR_TEXT_UNITS)
            fail("longer than " + std::to_string(VMR_TEXT_UNITS - 1) + " characters");
        std::memset(out, 0, VMR_TEXT_UNITS * sizeof(VmrChar16));
        if (!units.empty()) std::memcpy(out, units.data(), units.size() * sizeof(std::uint16_t));
    }

  private:
    std::string where_;
};

int channelNumberOf(const Reader& r, const Value& o) {
    const Value* n = o.find("channel");
    if (!n) r.fail("every channel needs its \"channel\" number");
    const auto v = n->asInteger();
    if (!v || *v < 1 || *v > 999) r.fail("\"channel\" must be a channel number");
    return static_cast<int>(*v);
}

void readSourceList(const Reader& r, const Value& v, std::byte* at) {
    if (!v.isArray()) r.fail("expected a list of channel numbers");
    for (const auto& item : v.items()) {
        const auto n = item.asInteger();
        if (!n || *n < 101 || *n > 532 || (*n - 101) % 100 > 31)
            r.fail("a source channel must be one of 101-132, 201-232, ... 501-532");
        const auto k = (*n - 101) / 100, b = (*n - 101) % 100;
        std::byte* word = at + 4 * k;
        store(word, load<std::uint32_t>(word) | 1u << b);
    }
}

std::uint32_t readFlags(const Reader& r, const Value& v) {
    if (!v.isObject()) return r.word(v);
    std::uint32_t out = 0;
    Value rest = Value::object();
    for (const auto& [key, item] : v.members()) {
        if (key == "rate") {
            const std::uint32_t rate = r.field("rate").code(kRates, item);
            if (rate > kRateMask) r.field("rate").fail("a rate code is 0 to 7");
            out |= rate;
        } else {
            rest.set(key, item);
        }
    }
    const std::uint32_t bits = r.bits(kInstrumentFlags, rest);
    if (bits & kRateMask) r.field("otherBits").fail("bits 0-2 are the rate; give them as \"rate\"");
    return out | bits;
}

void readField(const Reader& r, const Field& f, const Value& v, std::byte* record) {
    std::byte* at = record + f.offset;
    switch (f.kind) {
    case Kind::Word:
        return store(at, r.word(v));
    case Kind::Code:
        return store(at, r.code(*f.names, v));
    case Kind::Range:
        return store(at, r.code(rangeNamesOf(record), v));
    case Kind::Switch:
        return store(at, r.switchWord(v));
    case Kind::Bits:
        return store(at, r.bits(*f.names, v));
    case Kind::Flags:
        return store(at, readFlags(r, v));
    case Kind::Real:
        return store(at, r.real(v));
    case Kind::Reals: {
        std::vector<double> values(f.size / sizeof(double));
        std::memcpy(values.data(), at, f.size);
        r.reals(v, values.data(), values.size());
        std::memcpy(at, values.data(), f.size);
        return;
    }
    case Kind::Text: {
        VmrChar16 text[VMR_TEXT_UNITS];
        r.text(v, text);
        std::memcpy(at, text, sizeof text);
        return;
    }
    case Kind::Sources:
        return readSourceList(r, v, at);
    case Kind::Words: {
        const std::size_t count = f.size / 4;
        if (!v.isArray() || v.items().size() != count)
            r.fail("expected a list of " + std::to_string(count) + " numbers");
        for (std::size_t i = 0; i < count; ++i)
            store(at + 4 * i, r.word(v.items()[i]));
        return;
    }
    case Kind::Bytes:
        return r.bytes(v, reinterpret_cast<std::uint8_t*>(at), f.size);
    }
}

// Reads the members of o (checked with onlyKeys) into the record, in their
// order; a member that is none of the fields goes to other(key, value, r).
// The names of a range follow the function, so the function comes first.
template <class Other>
void readFields(const Reader& r, const Value& o, Fields fields, void* record, Other&& other) {
    auto* bytes = static_cast<std::byte*>(record);
    const auto named = [&](const std::string& key) -> const Field* {
        for (const Field& f : fields)
            if (key == f.name) return &f;
        return nullptr;
    };
    const bool functionFirst = std::any_of(fields.begin(), fields.end(),
                                           [](const Field& f) { return f.kind == Kind::Range; });
    const Value* function = functionFirst ? o.find("function") : nullptr;
    if (function) readField(r.field("function"), *named("function"), *function, bytes);
    for (const auto& [key, v] : o.members()) {
        const Reader f = r.field(key.c_str());
        if (function && key == "function") continue;
        if (const Field* field = named(key))
            readField(f, *field, v, bytes);
        else
            other(key, v, f);
    }
}

// A channel record: its number, which the caller has read, and its fields.
void readChannel(const Reader& r, const Value& o, Fields fields, void* record) {
    r.onlyKeys(o, fields, {"channel"});
    readFields(r, o, fields, record, [](const std::string&, const Value&, const Reader&) {});
}

void readModule(const Reader& r, const Value& o, VmrInstConfig& config, std::vector<bool>& seen) {
    r.onlyKeys(o, kModuleFields, {"slot", "channels"});
    const Value* slotValue = o.find("slot");
    const auto slot = slotValue ? slotValue->asInteger() : std::nullopt;
    if (!slot || *slot < 1 || *slot > VMR_MODULE_AREAS)
        r.fail("every module needs its \"slot\", 1 to " + std::to_string(VMR_MODULE_AREAS));
    const int m = static_cast<int>(*slot) - 1;
    const Reader here("slot " + std::to_string(*slot));
    if (seen[static_cast<std::size_t>(m)]) here.fail("given twice");
    seen[static_cast<std::size_t>(m)] = true;
    ModuleArea& area = config.modules[m];
    readFields(here, o, kModuleFields, &area,
               [&](const std::string& key, const Value& list, const Reader& f) {
                   if (key != "channels") return;
                   if (!list.isArray()) f.fail("expected a list of channels");
                   std::vector<bool> given(VMR_CHANNELS_PER_AREA, false);
                   for (const auto& ch : list.items()) {
                       const int n = channelNumberOf(here, ch);
                       const int c = n - (100 * m + 101);
                       if (c < 0 || c >= VMR_CHANNELS_PER_AREA)
                           here.fail("channel " + std::to_string(n) + " is not in this slot (" +
                                     std::to_string(100 * m + 101) + " to " +
                                     std::to_string(100 * m + 100 + VMR_CHANNELS_PER_AREA) + ")");
                       const Reader cr("channel " + std::to_string(n));
                       if (given[static_cast<std::size_t>(c)]) cr.fail("given twice");
                       given[static_cast<std::size_t>(c)] = true;
                       readChannel(cr, ch, kAnalogFields, &area.channels[c]);
                   }
               });
}

} // namespace

std::string textToUtf8(const VmrChar16* text) {
    std::string out;
    for (std::size_t i = 0; i < VMR_TEXT_UNITS && text[i] != 0; ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < VMR_TEXT_UNITS && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        json::appendUtf8(out, cp);
    }
    return out;
}

json::Value configToJson(const VmrInstConfig& c) {
    Value o = Value::object();
    writeFields(o, kConfigFields, &c);
    o.set("channel1", channelValue(kAnalogFields, &c.channel1, 0));
    Value computed = Value::array();
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
        if (!allZero(&c.computed[i], sizeof c.computed[i]))
            computed.push(channelValue(kComputedFields, &c.computed[i], 501 + i));
    o.set("computed", std::move(computed));
    Value modules = Value::array();
    for (int m = 0; m < VMR_MODULE_AREAS; ++m) {
        const ModuleArea& area = c.modules[m];
        if (allZero(&area, sizeof area)) continue;
        Value mo = Value::object();
        mo.set("slot", Value::integer(m + 1));
        writeFields(mo, kModuleFields, &area);
        Value channels = Value::array();
        for (int k = 0; k < VMR_CHANNELS_PER_AREA; ++k)
            if (!allZero(&area.channels[k], sizeof area.channels[k]))
                channels.push(channelValue(kAnalogFields, &area.channels[k], 100 * m + 101 + k));
        mo.set("channels", std::move(channels));
        modules.push(std::move(mo));
    }
    o.set("modules", std::move(modules));
    return o;
}

void configFromJson(const json::Value& d, VmrInstConfig& c) {
    std::memset(&c, 0, sizeof c);
    const Reader r("");
    r.onlyKeys(d, kConfigFields, {"channel1", "computed", "modules"});
    readFields(r, d, kConfigFields, &c,
               [&](const std::string& key, const Value& v, const Reader& f) {
                   if (key == "channel1") {
                       const Reader cr("channel 1");
                       if (const Value* n = v.find("channel"); n && n->asInteger() != 1)
                           cr.fail("\"channel1\" is channel 1");
                       readChannel(cr, v, kAnalogFields, &c.channel1);
                   } else if (key == "computed") {
                       if (!v.isArray()) f.fail("expected a list of computed channels");
                       std::vector<bool> given(VMR_COMPUTED_CHANNELS, false);
                       for (const auto& ch : v.items()) {
                           const int n = channelNumberOf(f, ch);
                           const Reader cr("channel " + std::to_string(n));
                           if (n < 501 || n >= 501 + VMR_COMPUTED_CHANNELS)
                               cr.fail("computed channels are 501 to 520");
                           if (given[static_cast<std::size_t>(n - 501)]) cr.fail("given twice");
                           given[static_cast<std::size_t>(n - 501)] = true;
                           readChannel(cr, ch, kComputedFields, &c.computed[n - 501]);
                       }
                   } else if (key == "modules") {
                       if (!v.isArray()) f.fail("expected a list of modules");
                       std::vector<bool> seen(VMR_MODULE_AREAS, false);
                       for (const auto& mo : v.items())
                           readModule(f, mo, c, seen);
                   }
               });
}

namespace {

void setText(VmrChar16* out, const char* text) {
    for (std::size_t i = 0; text[i] && i + 1 < VMR_TEXT_UNITS; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
}

// An analog channel of the example. The 5129A integrates over nplc power-line
// cycles (1 from its reset; the rate "NPLC" sends another); the 7043A has no
// such setting.
ChannelRecord& analog(VmrInstConfig& c, int model, int number, std::uint32_t function,
                      std::uint32_t range, const char* name, const char* unit) {
    ChannelRecord& ch =
        number == 1 ? c.channel1 : c.modules[number / 100 - 1].channels[number % 100 - 1];
    ch.function = function;
    ch.range = range;
    ch.scaleM = 1; // no scaling
    ch.nplc = model == DLXVMR_MODEL_5129A ? 1 : 0;
    setText(ch.name, name);
    setText(ch.unit, unit);
    if (number != 1) c.modules[number / 100 - 1].moduleState = 1; // holds a channel
    return ch;
}

} // namespace

// The example holds what the instrument holds once it is configured, so that
// the record read back from it is the same record: a module area shows as
// present (1) through its channels and is otherwise left as it is after a
// reset; the automatic-trigger order stays 0 while the timer triggers (the
// instrument keeps "none chosen", which leaves the order read back as it is).
void exampleConfig(int model, VmrInstConfig& c) {
    std::memset(&c, 0, sizeof c);
    c.intervalSeconds = 1; // one scan a second, until stopped
    c.triggerCount = 0;

    static const char* const kPlaces[] = {"Oven top", "Oven middle", "Oven bottom", "Door",
                                          "Inlet",    "Outlet",      "Ambient",     "Bath"};
    for (int k = 0; k < 8; ++k)
        analog(c, model, 101 + k, VMR_FUNC_THERMOCOUPLE, VMR_TC_TYPE(0), kPlaces[k], "C")
            .openDetect = 1;
    ChannelRecord& top = c.modules[0].channels[0];
    top.alarmFlags = 0x04; // alarm 1 when above its limit
    top.alarm1Limit = 250;
    top.alarm1Output = 1;                                        // drives digital output 1
    analog(c, model, 201, VMR_FUNC_DC_VOLTS, 23, "Supply", "V"); // automatic range
    analog(c, model, 202, VMR_FUNC_RTD_4W, 81, "Reference PT100", "C").sensorCoef[0] = 100; // R0
    // A 4-20 mA loop on a current input (10 mA range), scaled to 0-100 %.
    ChannelRecord& loop = analog(c, model, 221, VMR_FUNC_DC_CURRENT, 51, "Flow", "%");
    loop.scaleM = 6250;
    loop.scaleB = -25;
    if (model == DLXVMR_MODEL_5129A) {
        c.flags = VMR_RATE_SLOW; // the best resolution
        for (int k = 0; k < 6; ++k)
            analog(c, model, 301 + k, VMR_FUNC_THERMOCOUPLE, VMR_TC_TYPE(4),
                   ("Kiln " + std::to_string(k + 1)).c_str(), "C")
                .openDetect = 1;
    }
    ComputedChannelRecord& mean = c.computed[0];
    mean.function = VMR_MATH_AVERAGE; // of the three oven thermocouples
    mean.sourceList[0] = 0x7;
    mean.scaleM = 1;
    setText(mean.name, "Oven mean");
    setText(mean.unit, "C");
}

} // namespace korda::tool
