#include "logdata/SetupRows.h"

#include "core/Text.h"
#include "logdata/SetupTables.h"

#include <vector>

namespace korda32ex::logdata {

namespace {

constexpr std::uint32_t kRateBits = 0x07;
constexpr std::uint32_t kDataSecurityBit = 0x20;
constexpr std::uint32_t kAutoContinuousBit = 0x40;

void setSwitchBit(std::uint32_t& flags, std::uint32_t bit, std::string_view cell) {
    if (cellSwitch(cell))
        flags |= bit;
    else
        flags &= ~bit;
}

// A reference channel cell: the channel number of its address, 0 for "(n/a)".
void setReferenceChannel(std::uint32_t& field, std::string_view cell) {
    if (cell == kNotApplicable) {
        field = 0;
        return;
    }
    if (const auto a = parseChannelAddress(cell)) field = static_cast<std::uint32_t>(a->number());
}

// The function after the wiring cell: 2, 3 or 4 wires of resistance, RTD and
// thermistor measurements.
std::uint32_t applyWiring(std::uint32_t function, std::string_view wiring) {
    const bool w2 = wiring == "WIRE2", w3 = wiring == "WIRE3", w4 = wiring == "WIRE4";
    if (function == 10 || function == 11) return w4 ? 11 : w2 ? 10 : function;
    if (function >= 7 && function <= 9) return w4 ? 9 : w3 ? 8 : w2 ? 7 : function;
    if (function == 5 || function == 6) return w4 ? 6 : w2 ? 5 : function;
    return function;
}

std::uint32_t rangeOrSensor(std::uint32_t function, std::string_view text) {
    if (const auto r = setupRangeCode(function, text)) return *r;
    if (const auto t = setupTokenCode(text)) return *t;
    return 0;
}

void setAlarmState(std::uint32_t& alarmFlags, std::string_view cell, std::uint32_t lowBit,
                   std::uint32_t highBit) {
    if (cell == "HIGH")
        alarmFlags |= highBit;
    else if (cell == "LOW")
        alarmFlags |= lowBit;
}

constexpr std::uint32_t kRtdAbc = 83;

} // namespace

void applyTestSetupRow(const Row& row, const ModelTraits& model, VmrInstConfig& record) {
    if (row.has(4)) {
        // Only reading-rate codes go into the rate bits; a code with other bits
        // would switch unrelated settings.
        if (const auto code = setupTokenCode(row[4]); code && (*code & ~kRateBits) == 0)
            record.flags |= *code;
    }
    if (row.has(5)) setSwitchBit(record.flags, kDataSecurityBit, row[5]);
    if (row.has(9)) setSwitchBit(record.flags, kAutoContinuousBit, row[9]);
    // The order cell takes the setup tokens alone: "000" (no order chosen)
    // is none, so it leaves the order as it is.
    if (row.has(10)) {
        if (const auto code = setupTokenCode(row[10])) record.autoTriggerOrder = *code;
    }
    if (model.referenceChannels) {
        if (row.has(11)) setReferenceChannel(record.autoReferenceChannel, row[11]);
        if (row.has(12)) setReferenceChannel(record.autoSecondReferenceChannel, row[12]);
    }
}

void applyAnalogRow(const Row& row, const ModelTraits& model, VmrInstConfig& record) {
    // The later columns sit further right in some models' rows.
    const std::size_t b = model.setupAnalogColumn;
    if (b == 0) return; // no model named: the column positions are unknown
    if (row.size() < b + 22) return;
    const auto address = parseChannelAddress(row[0]);
    if (!address || address->s > VMR_MODULE_AREAS || address->nn < 1 ||
        address->nn > VMR_CHANNELS_PER_AREA)
        return;
    ChannelRecord& ch = address->s == 0 ? record.channel1
                                        : record.modules[address->s - 1].channels[address->nn - 1];

    if (const auto f = setupTokenCode(row[2])) ch.function = *f;
    ch.function = applyWiring(ch.function, row[b + 1]);
    const std::uint32_t function = ch.function;
    ch.delay = cellNumber(row[3]);
    if (model.integrationTime) ch.nplc = cellNumberOr(row[6], 0.0);
    ch.scaleM = cellNumberOr(row[b + 14], 1.0);
    ch.scaleB = cellNumberOr(row[b + 15], 0.0);
    storeCellText(row[1], ch.name);
    storeCellText(row[b + 16], ch.unit);
    const bool temperature = function >= 7 && function <= 12;
    ch.range = rangeOrSensor(function, temperature ? row[b + 2] : row[5]);
    ch.alarm1Limit = cellNumberOr(row[b + 18], 0.0);
    ch.alarm2Limit = cellNumberOr(row[b + 21], 0.0);
    if (const auto open = setupTokenCode(row[b])) ch.openDetect = *open;
    // Only the three reference junctions go into refJunction.
    if (const auto junction = setupRangeCode(function, row[b + 3]); junction && *junction <= 2)
        ch.refJunction = *junction;
    setAlarmState(ch.alarmFlags, row[b + 17], 0x02, 0x04);
    setAlarmState(ch.alarmFlags, row[b + 20], 0x08, 0x10);
    if (ch.range == kRtdAbc) {
        for (std::size_t k = 0; k < 7; ++k)
            ch.sensorCoef[k] = k < 3 ? cellNumber(row[b + 7 + k]) : 0.0;
    } else {
        for (std::size_t k = 0; k < 7; ++k)
            ch.sensorCoef[k] = cellNumber(row[b + 6 + k]);
    }
    if (address->s >= 1) record.modules[address->s - 1].moduleState = 1;
}

void applyMathRow(const Row& row, VmrInstConfig& record) {
    if (row.size() < 13) return;
    const auto address = parseChannelAddress(row[0]);
    if (!address || address->nn < 1 || address->nn > VMR_COMPUTED_CHANNELS) return;
    ComputedChannelRecord& ch = record.computed[address->nn - 1];

    storeCellText(row[1], ch.name);
    if (const auto f = setupTokenCode(row[3])) ch.function = *f;
    for (std::size_t k = 0; k < 7; ++k)
        ch.coefficients[k] = cellNumber(row[5 + k]);

    // The source list: addresses separated by blanks, rebuilt word by word.
    std::uint32_t words[5] = {};
    for (const std::string_view piece : splitAt(row[12], ' ')) {
        const auto a = parseChannelAddress(piece);
        if (!a) continue;
        if (a->s == 0)
            ch.listHasChannel1 = 1;
        else if (a->s <= 5 && a->nn >= 1 && a->nn <= 32)
            words[a->s - 1] |= 1u << (a->nn - 1);
    }
    for (std::size_t k = 0; k < 5; ++k)
        ch.sourceList[k] = words[k];
}

} // namespace korda32ex::logdata
