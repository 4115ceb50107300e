#include "ScanArgs.h"

#include <charconv>
#include <cmath>

namespace korda::sim::args {

namespace {
constexpr double kOverload = 9.9e37;
}

std::optional<std::string> quotedString(std::string_view text, std::string_view& rest) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (text.empty() || (text.front() != '"' && text.front() != '\'')) return std::nullopt;
    const char quote = text.front();
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            out.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == quote) {
            out.push_back(quote);
            ++i;
        } else {
            rest = text.substr(i + 1);
            return out;
        }
    }
    return std::nullopt; // no closing quote
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
    char buffer[32];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
    return std::string(buffer, r.ptr);
}

} // namespace korda::sim::args
