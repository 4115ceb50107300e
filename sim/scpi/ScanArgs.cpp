#include "ScanArgs.h"

#include <charconv>
#include <cmath>

namespace korda::sim::args {

namespace {
constexpr double kOverload = 9.9e37;
}

std::string formatChannelList(const std::vector<int>& channels) {
    std::string out = "(@";
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) out += ",";
        out += std::to_string(channels[i]);
    }
    return out + ")";
}

std::string formatReading(double value) {
    if (std::isnan(value)) return "9.910000E+37";
    if (value >= kOverload) return "9.900000e+37";
    if (value <= -kOverload) return "-9.900000e+37";
    return scientificReading(value);
}

std::string scientificReading(double value) {
    const double magnitude = std::fabs(value);
    const bool wide = magnitude >= 1e7 && magnitude < 1e8 && magnitude == std::floor(magnitude);
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific, wide ? 7 : 6);
    return std::string(buffer, r.ptr);
}

} // namespace korda::sim::args
