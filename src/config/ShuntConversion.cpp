#include "config/ShuntConversion.h"

#include "config/RecordAccess.h"
#include "core/Models.h"
#include "core/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace korda32ex {

namespace {

constexpr int kShuntChannelsPerArea = 20;
constexpr std::size_t kPrefixStarLimit = 16;
constexpr std::uint32_t kAutoDcVolts = 23;
constexpr std::uint32_t kAutoAcVolts = 39;
// The range code a shunt channel read back on a fixed range gets.
constexpr std::uint32_t kShuntPercentRange = 113;
// The characters of a channel name the instrument keeps, as far as the way
// back reads it.
constexpr std::size_t kKeptNameUnits = 19;

constexpr double kSmallestNormalSingle = 1.1754943508222875e-38;
constexpr double kLargestSingle = 3.4028234663852886e+38;

// Rounds to single precision. Magnitudes beyond the single range become an
// infinity of the same sign (as the conversion hardware does, without relying
// on an out-of-range conversion).
float toSingle(double v) {
    if (v > kLargestSingle) return std::numeric_limits<float>::infinity();
    if (v < -kLargestSingle) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

// The voltage range code for the shunt's voltage at 20 mA; DC ranges stop at
// the model's limit for shunt channels.
std::uint32_t voltageRange(std::uint32_t function, double ohms, const ModelTraits& model) {
    const float volts = toSingle(ohms) * 0.02f;
    const bool ac = function == VMR_FUNC_AC_CURRENT;
    std::uint32_t range = 0;
    if (volts <= 0.1f)
        range = ac ? 32 : 16;
    else if (volts <= 1.0f)
        range = ac ? 33 : 17;
    else if (volts <= 10.0f)
        range = ac ? 34 : 18;
    else if (volts <= 100.0f)
        range = ac ? 36 : 20;
    else
        range = ac ? 38 : 22;
    return ac ? range : std::min<std::uint32_t>(range, model.shuntDcRangeLimit);
}

// "*" R "*" name: the resistance in fixed notation, the second star at
// position 16 at most, then the application's name; at most 255 units.
void writeShuntName(const ChannelRecord& application, double ohms, ChannelRecord& working) {
    const std::string resistance = wire::fixed6(ohms);
    const std::size_t beforeStar = std::min(resistance.size(), kPrefixStarLimit - 1);
    std::string prefix;
    prefix.reserve(resistance.size() + 2);
    prefix += '*';
    prefix.append(resistance, 0, beforeStar);
    prefix += '*';
    prefix.append(resistance, beforeStar);
    std::memset(working.name, 0, sizeof working.name);
    std::size_t out = 0;
    for (std::size_t i = 0; i < prefix.size() && out + 1 < VMR_TEXT_UNITS; ++i)
        working.name[out++] = static_cast<unsigned char>(prefix[i]);
    for (std::size_t i = 0;
         i < VMR_TEXT_UNITS && application.name[i] != 0 && out + 1 < VMR_TEXT_UNITS; ++i)
        working.name[out++] = application.name[i];
}

// The scaling that turns the shunt's voltage into the application's reading;
// 0 or the detail code of the failure.
int convertScaling(const ChannelRecord& application, double ohms, ChannelRecord& working) {
    const double m = application.scaleM;
    const double b = application.scaleB;
    if (application.range == VMR_RANGE_SHUNT_CURRENT) {
        // Amperes = volts / R, then the application's gain.
        double scaled = m;
        if (m != 0) {
            scaled = m / ohms;
            if (std::fabs(scaled) < kSmallestNormalSingle) return kDetailScaleTooSmall;
            if (std::fabs(scaled) > kLargestSingle) return kDetailScaleTooLarge;
        }
        working.scaleM = toSingle(scaled);
        working.scaleB = b;
        return 0;
    }
    // Percent of 4-20 mA: 6250 / R per volt, less 25.
    const float perVolt = 6250.0f / toSingle(ohms);
    const double gain = perVolt * m;
    const double offset = b - 25 * m;
    if (std::fabs(gain) > kLargestSingle || std::fabs(offset) > kLargestSingle)
        return kDetailScaleTooLarge;
    working.scaleM = toSingle(gain);
    working.scaleB = toSingle(offset);
    return 0;
}

} // namespace

ShuntConversionResult convertShuntChannels(VmrInstConfig& application, VmrInstConfig& working,
                                           int model) {
    std::memcpy(&working, &application, sizeof working);
    for (int area = 0; area < VMR_MODULE_AREAS; ++area) {
        for (int index = 0; index < kShuntChannelsPerArea; ++index) {
            ChannelRecord& app = application.modules[area].channels[index];
            ChannelRecord& work = working.modules[area].channels[index];
            const std::uint32_t function = app.function;
            if (function != VMR_FUNC_DC_CURRENT && function != VMR_FUNC_AC_CURRENT) continue;
            if (!(app.shuntOhms > kMinimumShuntOhms)) app.shuntOhms = kMinimumShuntOhms;
            const double ohms = app.shuntOhms;
            work.shuntOhms = ohms;
            writeShuntName(app, ohms, work);
            work.range = app.range == VMR_RANGE_SHUNT_CURRENT
                             ? (function == VMR_FUNC_DC_CURRENT ? kAutoDcVolts : kAutoAcVolts)
                             : voltageRange(function, ohms, modelTraits(model));
            if (const int detail = convertScaling(app, ohms, work); detail != 0)
                return {detail, channelNumber(area, index)};
            work.function = function == VMR_FUNC_DC_CURRENT ? VMR_FUNC_DC_VOLTS : VMR_FUNC_AC_VOLTS;
        }
    }
    return {};
}

const char* shuntDetailText(int detail) {
    switch (detail) {
    case kDetailScaleTooSmall:
        return "the scale factor of a shunt channel divided by its resistance is too small";
    case kDetailScaleTooLarge:
        return "the scale factor or offset of a shunt channel is too large";
    default:
        return "";
    }
}

void restoreShuntChannels(VmrInstConfig& working, VmrInstConfig& application) {
    application = working;
    for (int area = 0; area < VMR_MODULE_AREAS; ++area) {
        for (int index = 0; index < kShuntChannelsPerArea; ++index) {
            ChannelRecord& from = working.modules[area].channels[index];
            ChannelRecord& to = application.modules[area].channels[index];
            // The name as the instrument keeps it: its first 19 characters.
            std::size_t length = 0;
            while (length < kKeptNameUnits && from.name[length] != 0)
                ++length;
            if (length == 0 || from.name[0] != '*') continue;
            std::size_t second = 1;
            while (second < length && from.name[second] != '*')
                ++second;
            std::string number;
            for (std::size_t i = 1; i < second; ++i)
                number.push_back(from.name[i] < 0x80 ? static_cast<char>(from.name[i]) : '?');
            const auto ohms = readLeadingReal(number);
            if (!ohms || !(*ohms > 0)) continue;
            const double r = *ohms;
            from.shuntOhms = r;
            to.shuntOhms = r;
            std::memset(to.name, 0, sizeof to.name);
            for (std::size_t i = second + 1, out = 0; i < length; ++i)
                to.name[out++] = from.name[i];
            if (from.function != VMR_FUNC_DC_VOLTS && from.function != VMR_FUNC_AC_VOLTS) continue;
            to.function =
                from.function == VMR_FUNC_DC_VOLTS ? VMR_FUNC_DC_CURRENT : VMR_FUNC_AC_CURRENT;
            if (from.range == kAutoDcVolts || from.range == kAutoAcVolts) {
                to.range = VMR_RANGE_SHUNT_CURRENT;
                to.scaleM = r * from.scaleM;
                to.scaleB = from.scaleB;
            } else {
                to.range = kShuntPercentRange;
                const float k = static_cast<float>(6250.0 / r);
                to.scaleM = from.scaleM / k;
                to.scaleB = from.scaleB + 25 * to.scaleM;
            }
        }
    }
}

} // namespace korda32ex
