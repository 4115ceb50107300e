// The setup file of a recording, written from a configuration record the way
// the instrument lays it out: four sections, each a title line, a line of
// column titles and data rows.
#include "SetupFileWriter.h"

#include "core/Numbers.h"
#include "platform/platform.h"

#include <cstdio>
#include <string>
#include <vector>

namespace korda::sim {

namespace {

using Cells = std::vector<std::string>;
const std::string kNa = "(n/a)";

std::string address(int channelNumber) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "Ch%03d", channelNumber % 1000);
    return buf;
}

std::string number(double v) {
    return korda32ex::wire::general(v);
}

// A record text as a cell: commas and control characters become blanks; an
// empty text is "(n/a)".
std::string textCell(const VmrChar16* units) {
    std::wstring wide;
    for (std::size_t i = 0; i < VMR_TEXT_UNITS && units[i] != 0; ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < VMR_TEXT_UNITS && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF && sizeof(wchar_t) == 4) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        wide.push_back(static_cast<wchar_t>(c));
    }
    std::string text = korda32ex::platform::wideToNarrow(wide.c_str());
    for (char& ch : text)
        if (ch == ',' || static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
    return text.empty() ? kNa : text;
}

void appendLine(std::string& out, const Cells& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out += ',';
        out += cells[i];
    }
    out += "\r\n";
}

// The title line of a section, padded with commas to the section's width.
void appendSection(std::string& out, const std::string& name, const Cells& titles) {
    Cells line(titles.size());
    line[0] = name;
    appendLine(out, line);
    appendLine(out, titles);
}

const char* rateToken(std::uint32_t flags) {
    if ((flags & 3) == 3) return "SLOW";
    if (flags & 1) return "MEDIUM";
    if ((flags & 6) == 6) return "NPLC";
    return "FAST";
}

const char* triggerToken(std::uint32_t source) {
    switch (source) {
    case 0:
        return "TIM";
    case 1:
        return "EXT";
    case 2:
        return "ALAR";
    default:
        return "AUTO";
    }
}

const char* orderToken(std::uint32_t order) {
    return order == 0 ? "LIN" : order == 1 ? "ALT" : order == 2 ? "REV" : "000";
}

std::string onOff(bool on) {
    return on ? "ON" : "OFF";
}

std::string channelCell(std::uint32_t number) {
    return number == 0 ? kNa : address(static_cast<int>(number));
}

// ---- Analog channels ---------------------------------------------------------

const char* functionToken(std::uint32_t f) {
    static const char* const names[] = {
        "",         "VOLT",      "VOLT:AC",   "CURR",      "CURR:AC",  "RES",     "FRES",
        "TEMP RTD", "TEMP TRTD", "TEMP FRTD", "TEMP THER", "TEMP FTH", "TEMP TC", "FREQ"};
    return f >= 1 && f <= 13 ? names[f] : "";
}

std::string wiring(std::uint32_t f) {
    switch (f) {
    case 5:
    case 7:
    case 10:
        return "WIRE2";
    case 8:
        return "WIRE3";
    case 6:
    case 9:
    case 11:
        return "WIRE4";
    default:
        return kNa;
    }
}

// The range cell of a non-temperature function ("" is the automatic range).
std::string rangeText(std::uint32_t f, std::uint32_t range) {
    static const char* const volts[] = {"100mV", "1V", "10V", "50V", "100V", "150V", "300V"};
    static const char* const amps[] = {"100uA", "1mA", "10mA", "100mA"};
    static const char* const ohms[] = {"100OHM", "1kOHM",  "10kOHM", "100kOHM",
                                       "1MOHM",  "10MOHM", "100MOHM"};
    switch (f) {
    case 1:
        return range >= 16 && range <= 22 ? volts[range - 16] : "";
    case 2:
        return range >= 32 && range <= 38 ? volts[range - 32] : "";
    case 3:
        return range == 48 || range == 49   ? amps[range - 48]
               : range == 51 || range == 52 ? amps[range - 49]
                                            : "";
    case 4:
        return range >= 64 && range <= 67 ? amps[range - 64] : "";
    case 5:
    case 6:
        return range >= 1 && range <= 7 ? ohms[range - 1] : "";
    default:
        return kNa;
    }
}

std::string sensorText(std::uint32_t f, std::uint32_t range) {
    if (f >= 7 && f <= 9) {
        static const char* const rtd[] = {"SPRT", "A385", "A392", "ABC"};
        return range >= 80 && range <= 83 ? rtd[range - 80] : "A385";
    }
    if (f == 10 || f == 11) {
        switch (range) {
        case 97:
            return "R5K";
        case 99:
            return "R10K";
        case 100:
            return "RPOL";
        default:
            return "R2K2";
        }
    }
    if (f == 12) {
        static const char* const tc = "KTRSJNEBCDGLMUW";
        if (range == 0x6F01) return "POLY";
        const std::uint32_t n = (range - 0x6001) >> 8;
        if (range >= 0x6001 && (range & 0xFF) == 0x01 && n < 15) return std::string(1, tc[n]);
        return "K";
    }
    return kNa;
}

std::string alarmState(std::uint32_t flags, std::uint32_t lowBit, std::uint32_t highBit) {
    if (flags & lowBit) return "LOW";
    if (flags & highBit) return "HIGH";
    return "OFF";
}

Cells analogRow(const ChannelRecord& ch, int channelNumber, const korda32ex::ModelTraits& model) {
    // The later columns sit further right in some models' rows.
    const std::size_t b = model.setupAnalogColumn;
    const std::uint32_t f = ch.function;
    Cells row(b + 23, kNa);
    row[0] = address(channelNumber);
    row[1] = textCell(ch.name);
    row[2] = functionToken(f);
    row[3] = number(ch.delay);
    const bool temperature = f >= 7 && f <= 12;
    if (!temperature) row[5] = rangeText(f, ch.range);
    if (model.integrationTime) row[6] = number(ch.nplc);
    row[b] = onOff(ch.openDetect != 0);
    row[b + 1] = wiring(f);
    if (temperature) row[b + 2] = sensorText(f, ch.range);
    if (f == 12) row[b + 3] = ch.refJunction == 1 ? "FIX" : ch.refJunction == 2 ? "EXT" : "INT";
    if (f >= 7 && f <= 9 && ch.range == 83) {
        for (std::size_t k = 0; k < 3; ++k)
            row[b + 7 + k] = number(ch.sensorCoef[k]);
    } else {
        for (std::size_t k = 0; k < 7; ++k)
            row[b + 6 + k] = number(ch.sensorCoef[k]);
    }
    if (!(ch.scaleM == 1.0 && ch.scaleB == 0.0)) {
        row[b + 14] = number(ch.scaleM);
        row[b + 15] = number(ch.scaleB);
    }
    row[b + 16] = textCell(ch.unit);
    row[b + 17] = alarmState(ch.alarmFlags, 0x02, 0x04);
    if (row[b + 17] != "OFF") row[b + 18] = number(ch.alarm1Limit);
    row[b + 19] = std::to_string(ch.alarm1Output);
    row[b + 20] = alarmState(ch.alarmFlags, 0x08, 0x10);
    if (row[b + 20] != "OFF") row[b + 21] = number(ch.alarm2Limit);
    row[b + 22] = std::to_string(ch.alarm2Output);
    return row;
}

Cells analogTitles(const korda32ex::ModelTraits& model) {
    Cells t = {"Channel", "Name", "Function", "Delay", "Resolution", "Range"};
    if (model.integrationTime)
        t.insert(t.end(), {"NPLC", "Filter", "Input"});
    else
        t.push_back("Input");
    const Cells rest = {"Open Detect", "Wiring",  "Sensor",  "Reference", "Fixed Temp",
                        "Ext Channel", "Coef 1",  "Coef 2",  "Coef 3",    "Coef 4",
                        "Coef 5",      "Coef 6",  "Coef 7",  "Scaling",   "Gain M",
                        "Offset B",    "Unit",    "Alarm 1", "Limit 1",   "Output 1",
                        "Alarm 2",     "Limit 2", "Output 2"};
    t.insert(t.end(), rest.begin(), rest.end());
    return t;
}

// ---- Computed channels -------------------------------------------------------

const char* computedToken(std::uint32_t f) {
    static const char* const names[] = {"POLY", "SRO",  "POW", "EXP",  "LOG", "ABS", "REC", "SUB",
                                        "ADD",  "MULT", "DIV", "AVER", "MAX", "MIN", "SUM"};
    return f >= 0x5000 && f <= 0x500E ? names[f - 0x5000] : "";
}

std::string sourceListCell(const ComputedChannelRecord& ch) {
    std::string list;
    auto add = [&](int number) {
        if (!list.empty()) list += ' ';
        list += address(number);
    };
    if (ch.listHasChannel1) add(1);
    for (int k = 0; k < 5; ++k)
        for (int bit = 0; bit < 32; ++bit)
            if (ch.sourceList[k] & (1u << bit)) add(100 * (k + 1) + bit + 1);
    return list.empty() ? kNa : list;
}

Cells mathRow(const ComputedChannelRecord& ch, int index) {
    Cells row(14, kNa);
    row[0] = address(501 + index);
    row[1] = textCell(ch.name);
    row[2] = channelCell(ch.sourceA);
    row[3] = computedToken(ch.function);
    row[4] = channelCell(ch.sourceB);
    for (std::size_t k = 0; k < 7; ++k)
        row[5 + k] = number(ch.coefficients[k]);
    row[12] = sourceListCell(ch);
    row[13] = textCell(ch.unit);
    return row;
}

} // namespace

std::string setupFileText(const VmrInstConfig& c, Model m) {
    std::string out;
    const korda32ex::ModelTraits& model = traitsOf(m);

    const Cells setupTitles = {
        "Test Name", "Start",       "Interval",        "Trigger",       "Rate",
        "Security",  "Destination", "Scan Count",      "Alarm Channel", "Continuous",
        "Order",     "Reference",   "Second Reference"};
    appendSection(out, "Test Setup", setupTitles);
    char interval[32];
    std::snprintf(interval, sizeof interval, "%02u:%02u:%02u", c.intervalHours, c.intervalMinutes,
                  c.intervalSeconds);
    appendLine(out,
               {"Recording", "IMM", interval, triggerToken(c.triggerSource), rateToken(c.flags),
                onOff(c.flags & 0x20), c.recordDestination == 1 ? "INT" : "USB",
                std::to_string(c.triggerCount), channelCell(c.alarmTriggerChannel),
                onOff(c.flags & 0x40), orderToken(c.autoTriggerOrder),
                model.referenceChannels ? channelCell(c.autoReferenceChannel) : kNa,
                model.referenceChannels ? channelCell(c.autoSecondReferenceChannel) : kNa});

    appendSection(out, "Instrument", {"Maker", "Model", "Serial Number", "Firmware"});
    appendLine(out, {"KORDA-SIM", std::string(model.name), "SIM00001", "1.00"});

    appendSection(out, "Analog Channels", analogTitles(model));
    if (c.channel1.function >= 1 && c.channel1.function <= 13)
        appendLine(out, analogRow(c.channel1, 1, model));
    for (int s = 0; s < model.moduleSlots; ++s) {
        if (c.modules[s].moduleState == VMR_MODULE_ABSENT) continue;
        for (int i = 0; i < VMR_CHANNELS_PER_AREA; ++i) {
            const ChannelRecord& ch = c.modules[s].channels[i];
            if (ch.function >= 1 && ch.function <= 13)
                appendLine(out, analogRow(ch, 100 * s + 101 + i, model));
        }
    }

    appendSection(out, "Math Channels",
                  {"Channel", "Name", "Channel A", "Function", "Channel B", "C0", "C1", "C2", "C3",
                   "C4", "C5", "C6", "Channel List", "Unit"});
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
        if (c.computed[i].function >= 0x5000 && c.computed[i].function <= 0x500E)
            appendLine(out, mathRow(c.computed[i], i));
    return out;
}

} // namespace korda::sim
