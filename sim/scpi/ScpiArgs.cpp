#include "ScpiArgs.h"

#include "core/Numbers.h"
#include "core/Text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace korda::sim {

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool sameWord(std::string_view a, std::string_view b) {
    return korda32ex::equalsIgnoringCase(a, b);
}

std::string trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

namespace {

constexpr long long kLongestRange = 1000;

bool parseChannel(const std::string& text, int& number) {
    long long v = 0;
    if (!parseInteger(text, v) || v < 0 || v > 99999) return false;
    number = static_cast<int>(v);
    return true;
}

} // namespace

bool parseChannelArgs(const std::string& args, ChannelArgs& out) {
    out = ChannelArgs{};
    const std::size_t open = args.find("(@");
    if (open == std::string::npos) {
        out.params = trimmed(args);
        return true;
    }
    const std::size_t close = args.find(')', open);
    if (close == std::string::npos || !trimmed(args.substr(close + 1)).empty()) return false;
    out.hasList = true;
    std::string params = trimmed(args.substr(0, open));
    if (!params.empty() && params.back() == ',')
        params = trimmed(params.substr(0, params.size() - 1));
    out.params = params;
    for (const auto& piece : splitParams(args.substr(open + 2, close - open - 2))) {
        const std::size_t colon = piece.find(':');
        int first = 0, last = 0;
        if (colon == std::string::npos) {
            if (!parseChannel(piece, first)) return false;
            last = first;
        } else if (!parseChannel(trimmed(piece.substr(0, colon)), first) ||
                   !parseChannel(trimmed(piece.substr(colon + 1)), last) || last < first ||
                   last - first >= kLongestRange) {
            return false;
        }
        for (int n = first; n <= last; ++n)
            out.channels.push_back(n);
    }
    return true;
}

std::vector<std::string> splitParams(const std::string& params) {
    std::vector<std::string> out;
    if (trimmed(params).empty()) return out;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = params.find(',', start);
        out.push_back(trimmed(params.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool parseSwitch(const std::string& text, bool& on) {
    if (sameWord(text, "ON") || text == "1") {
        on = true;
        return true;
    }
    if (sameWord(text, "OFF") || text == "0") {
        on = false;
        return true;
    }
    return false;
}

bool parseReal(const std::string& text, double& value) {
    const std::string t = trimmed(text);
    if (t.empty()) return false;
    const auto parsed = korda32ex::readLeadingReal(t);
    if (!parsed || !std::isfinite(*parsed)) return false;
    const double v = *parsed;
    // The whole text must be the number: re-read its extent.
    std::size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    double ignored = 0;
    const auto r = std::from_chars(t.data() + i, t.data() + t.size(), ignored);
    if (r.ptr != t.data() + t.size()) return false;
    value = v;
    return true;
}

bool parseInteger(const std::string& text, long long& value) {
    const std::string t = trimmed(text);
    std::size_t i = (!t.empty() && t[0] == '+') ? 1 : 0;
    long long v = 0;
    const auto r = std::from_chars(t.data() + i, t.data() + t.size(), v);
    if (t.size() == i || r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
    value = v;
    return true;
}

std::string realReply(double value) {
    // "%+.8E": sign, one digit, eight decimals, exponent of at least two digits.
    char buf[64];
    auto r = std::to_chars(buf + 1, buf + sizeof buf, std::fabs(value),
                           std::chars_format::scientific, 8);
    buf[0] = std::signbit(value) ? '-' : '+';
    std::string out(buf, r.ptr);
    for (auto& c : out)
        if (c == 'e') c = 'E';
    return out;
}

} // namespace korda::sim
