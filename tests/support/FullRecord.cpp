#include "FullRecord.h"

#include <cstring>
#include <string>

namespace korda::test {

namespace {

void setName(VmrChar16* field, const std::string& text) {
    std::size_t i = 0;
    for (; i < text.size() && i + 1 < VMR_TEXT_UNITS; ++i)
        field[i] = static_cast<VmrChar16>(static_cast<unsigned char>(text[i]));
    field[i] = 0;
}

// Module channel c (0..21) of a module area: the same pattern in every area,
// with the model's own sensors.
void fillChannel(ChannelRecord& ch, int number, int c, bool is5129A) {
    ch.scaleM = 1;
    ch.nplc = 1 + c % 5;
    ch.delay = c % 4 == 0 ? 0.25 : 0;
    setName(ch.name, "In" + std::to_string(number));
    switch (c) {
    case 0: // DC volts 10 V, alarm 1 high at 5 driving output 1, scaled into bar
        ch.function = VMR_FUNC_DC_VOLTS;
        ch.range = 18;
        ch.alarmFlags = 0x4;
        ch.alarm1Limit = 5;
        ch.alarm1Output = 1;
        ch.scaleM = 2.5;
        ch.scaleB = 0.25;
        setName(ch.unit, "bar");
        break;
    case 1:
        ch.function = VMR_FUNC_DC_VOLTS;
        ch.range = 23;
        break;
    case 2:
        ch.function = is5129A ? VMR_FUNC_AC_VOLTS : VMR_FUNC_DC_VOLTS;
        ch.range = is5129A ? 33 : 16;
        break;
    case 3:
        ch.function = VMR_FUNC_RESISTANCE_2W;
        ch.range = 3;
        break;
    case 4:
        ch.function = VMR_FUNC_RESISTANCE_4W;
        ch.range = 8;
        break;
    case 5: // RTD alpha 0.00385 with its R0
        ch.function = VMR_FUNC_RTD_2W;
        ch.range = 81;
        ch.sensorCoef[0] = 100;
        break;
    case 6:
        ch.function = VMR_FUNC_RTD_3W;
        ch.range = 82;
        ch.sensorCoef[0] = 1000;
        break;
    case 7: // SPRT on a 7043A; alpha 0.00385 on a 5129A
        ch.function = VMR_FUNC_RTD_4W;
        if (is5129A) {
            ch.range = 81;
            ch.sensorCoef[0] = 100;
        } else {
            ch.range = 80;
            const double sprt[7] = {25.5, 1e-3, -2e-7, 1.5e-3, 100, 0.00385, 1};
            std::memcpy(ch.sensorCoef, sprt, sizeof sprt);
        }
        break;
    case 8:
        ch.function = VMR_FUNC_THERMISTOR_2W;
        ch.range = 97;
        break;
    case 9: // polynomial thermistor on a 7043A
        ch.function = VMR_FUNC_THERMISTOR_4W;
        ch.range = is5129A ? 99 : 100;
        if (!is5129A) {
            const double rpol[4] = {1.1e-3, 2.3e-4, 0, 9e-8};
            std::memcpy(ch.sensorCoef, rpol, sizeof rpol);
        }
        break;
    case 10: // thermocouple K, open detection, fixed reference junction
        ch.function = VMR_FUNC_THERMOCOUPLE;
        ch.range = VMR_TC_TYPE(0);
        ch.openDetect = 1;
        ch.refJunction = 1;
        setName(ch.unit, "degC");
        break;
    case 11:
        ch.function = VMR_FUNC_THERMOCOUPLE;
        ch.range = VMR_TC_TYPE(4); // J
        ch.refJunction = 2;
        break;
    case 12: // polynomial thermocouple on a 7043A, type T on a 5129A
        ch.function = VMR_FUNC_THERMOCOUPLE;
        ch.range = is5129A ? VMR_TC_TYPE(1) : VMR_TC_TYPE(15);
        if (!is5129A)
            for (int i = 0; i < 7; ++i)
                ch.sensorCoef[i] = 0.5 * i;
        break;
    case 13:
        ch.function = VMR_FUNC_FREQUENCY;
        break;
    case 14: // 4-20 mA through 250 ohms, in percent
        ch.function = VMR_FUNC_DC_CURRENT;
        ch.range = 0;
        ch.shuntOhms = 250;
        setName(ch.unit, "%");
        break;
    case 15: // current through 50 ohms in milliamperes
        ch.function = VMR_FUNC_DC_CURRENT;
        ch.range = VMR_RANGE_SHUNT_CURRENT;
        ch.shuntOhms = 50;
        ch.scaleM = 1000;
        setName(ch.unit, "mA");
        break;
    case 16: // AC current through a shunt on a 5129A; DC volts 1 V on a 7043A
        if (is5129A) {
            ch.function = VMR_FUNC_AC_CURRENT;
            ch.range = 0;
            ch.shuntOhms = 100;
        } else {
            ch.function = VMR_FUNC_DC_VOLTS;
            ch.range = 17;
        }
        break;
    case 17: // alarm 2 low at -1 on output 4, triggering a scan; alarm 1 low
        ch.function = VMR_FUNC_DC_VOLTS;
        ch.range = 19;
        ch.alarmFlags = 0x1 | 0x2 | 0x8;
        ch.alarm1Limit = 0.5;
        ch.alarm2Limit = -1;
        ch.alarm2Output = 8;
        break;
    case 18:
        ch.function = VMR_CHANNEL_OFF;
        break;
    case 19:
        ch.function = 0;
        break; // not configured
    case 20:
        ch.function = VMR_FUNC_DC_CURRENT;
        ch.range = 52;
        break;
    default:
        ch.function = is5129A ? VMR_FUNC_AC_CURRENT : VMR_FUNC_DC_CURRENT;
        ch.range = is5129A ? 67 : 53;
        break;
    }
}

void fillComputed(ComputedChannelRecord& m, int i) {
    static constexpr std::uint32_t kFunctions[] = {
        VMR_MATH_POLYNOMIAL, VMR_MATH_SQUARE_ROOT, VMR_MATH_POWER,      VMR_MATH_EXP,
        VMR_MATH_LOG,        VMR_MATH_ABS,         VMR_MATH_RECIPROCAL, VMR_MATH_SUBTRACT,
        VMR_MATH_ADD,        VMR_MATH_MULTIPLY,    VMR_MATH_DIVIDE,     VMR_MATH_AVERAGE,
        VMR_MATH_MAXIMUM,    VMR_MATH_MINIMUM,     VMR_MATH_SUM,        VMR_CHANNEL_OFF};
    if (i >= 16) return; // 517..520 not configured
    m.function = kFunctions[i];
    m.sourceA = 101 + i % 3;
    m.sourceB = 201 + i % 2;
    m.scaleM = 1;
    setName(m.name, "Math" + std::to_string(501 + i));
    if (m.function == VMR_MATH_POLYNOMIAL) {
        const double c[7] = {0, 1, 0.5, 0, 0, 0, 0};
        std::memcpy(m.coefficients, c, sizeof c);
        m.alarmFlags = 0x4 | 0x10;
        m.alarm1Limit = 10;
        m.alarm2Limit = 20;
        m.alarm1Output = 2;
        m.alarm2Output = 4;
        setName(m.unit, "kPa");
    }
    if (m.function == VMR_MATH_POWER) m.coefficients[0] = 2;
    if (m.function == VMR_MATH_ADD) {
        m.scaleM = 0.5;
        m.scaleB = -1;
    }
    if (m.function >= VMR_MATH_AVERAGE && m.function <= VMR_MATH_SUM) {
        m.sourceList[0] = 0x3;     // 101, 102
        m.sourceList[1] = 1u << 4; // 205
        m.listHasChannel1 = i % 2;
    }
}

} // namespace

std::unique_ptr<VmrInstConfig> fullRecord(int model) {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), 0, sizeof *r);
    const bool is5129A = model == DLXVMR_MODEL_5129A;
    const int areas = is5129A ? 3 : 2;

    if (is5129A) {
        r->flags = VMR_RATE_NPLC | VMR_FLAG_FAHRENHEIT | VMR_FLAG_RESUME_AFTER_POWER |
                   VMR_FLAG_AUTO_CONTINUOUS;
        r->recordDestination = 1;
        r->triggerCount = 10;
        r->triggerSource = 3;
        r->autoTriggerOrder = 1;
        r->autoReferenceChannel = 101;
        r->autoSecondReferenceChannel = 1;
        r->intervalMinutes = 1;
        r->intervalSeconds = 30;
        r->totalizerDebounce = 1;
        r->totalizerType = 1;
        r->totalizerState = 1;
    } else {
        r->flags = VMR_RATE_SLOW | VMR_FLAG_DATA_SECURITY;
        r->recordDestination = 2;
        r->triggerCount = 3;
        r->triggerSource = 2;
        r->alarmTriggerChannel = 118;
        r->intervalHours = 1;
        r->intervalSeconds = 5;
        r->totalizerState = 1;
    }

    ChannelRecord& one = r->channel1;
    one.function = VMR_FUNC_DC_CURRENT;
    one.range = 49;
    one.scaleM = 1;
    one.nplc = 2;
    setName(one.name, "Supply current");
    setName(one.unit, "A");

    for (int m = 0; m < VMR_MODULE_AREAS; ++m) {
        if (m >= areas) {
            r->modules[m].moduleState = VMR_MODULE_ABSENT;
            continue;
        }
        for (int c = 0; c < VMR_CHANNELS_PER_AREA; ++c)
            fillChannel(r->modules[m].channels[c], 100 * m + 101 + c, c, is5129A);
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
        fillComputed(r->computed[i], i);
    return r;
}

std::unique_ptr<VmrInstConfig> threeVoltageInputs() {
    auto r = std::make_unique<VmrInstConfig>();
    std::memset(r.get(), 0, sizeof *r);
    for (int c = 0; c < 3; ++c) {
        ChannelRecord& ch = r->modules[0].channels[c];
        ch.function = VMR_FUNC_DC_VOLTS;
        ch.range = 18;
        ch.scaleM = 1;
    }
    r->intervalSeconds = 1;
    return r;
}

} // namespace korda::test
