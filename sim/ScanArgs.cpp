#include "ScanArgs.h"

#include <charconv>
#include <cmath>

namespace korda::sim::args {

namespace {

constexpr double kOverload = 9.9e37;

std::string_view trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return t;
}

bool equalsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

} // namespace

std::optional<bool> boolean(std::string_view text) {
    text = trim(text);
    if (text == "1" || equalsUpper(text, "ON")) return true;
    if (text == "0" || equalsUpper(text, "OFF")) return false;
    return std::nullopt;
}

std::optional<long long> integer(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<double> real(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(trim(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

std::optional<std::vector<int>> channelList(std::string_view text) {
    text = trim(text);
    if (text.size() < 3 || text.substr(0, 2) != "(@" || text.back() != ')') return std::nullopt;
    text = trim(text.substr(2, text.size() - 3));
    std::vector<int> channels;
    if (text.empty()) return channels;
    for (const auto piece : split(text)) {
        const auto colon = piece.find(':');
        const auto first = integer(piece.substr(0, colon));
        if (!first) return std::nullopt;
        auto last = first;
        if (colon != std::string_view::npos) last = integer(piece.substr(colon + 1));
        if (!last || *last < *first || *last - *first > 1000) return std::nullopt;
        for (long long c = *first; c <= *last; ++c)
            channels.push_back(static_cast<int>(c));
    }
    return channels;
}

std::string formatChannelList(const std::vector<int>& channels) {
    std::string out = "(@";
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) out += ",";
        out += std::to_string(channels[i]);
    }
    return out + ")";
}

std::optional<std::string> quotedString(std::string_view text, std::string_view& rest) {
    text = trim(text);
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
