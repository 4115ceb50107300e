#include "ChannelArgs.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace korda::sim {

namespace {

constexpr int kLargestRange = 1000; // a range never spans more channels than this

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool wholeNumber(const std::string& text, int& v) {
    const std::string t = trim(text);
    if (t.empty()) return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, 10);
    return r.ec == std::errc() && r.ptr == t.data() + t.size() && v >= 0;
}

} // namespace

bool parseChannelList(const std::string& text, std::vector<int>& channels) {
    const std::string t = trim(text);
    if (t.size() < 3 || t.compare(0, 2, "(@") != 0 || t.back() != ')') return false;
    const std::string body = t.substr(2, t.size() - 3);
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t comma = body.find(',', start);
        if (comma == std::string::npos) comma = body.size();
        const std::string piece = body.substr(start, comma - start);
        const std::size_t colon = piece.find(':');
        int first = 0, last = 0;
        if (colon == std::string::npos) {
            if (!wholeNumber(piece, first)) return false;
            last = first;
        } else if (!wholeNumber(piece.substr(0, colon), first) ||
                   !wholeNumber(piece.substr(colon + 1), last) || last < first ||
                   last - first > kLargestRange) {
            return false;
        }
        for (int n = first; n <= last; ++n)
            channels.push_back(n);
        start = comma + 1;
    }
    return !channels.empty();
}

bool splitChannelArgs(const std::string& args, ChannelArgs& out) {
    const std::size_t open = args.rfind("(@");
    if (open == std::string::npos) return false;
    const std::size_t close = args.find(')', open);
    if (close == std::string::npos || !trim(args.substr(close + 1)).empty()) return false;
    out.channels.clear();
    if (!parseChannelList(args.substr(open, close - open + 1), out.channels)) return false;
    std::string value = trim(args.substr(0, open));
    if (!value.empty() && value.back() == ',') value.pop_back();
    out.value = trim(value);
    return true;
}

bool quotedText(const std::string& value, std::string& text) {
    const std::size_t first = value.find('"');
    const std::size_t last = value.rfind('"');
    if (first == std::string::npos || last == first) return false;
    text = value.substr(first + 1, last - first - 1);
    return true;
}

std::string replyNumber(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 8);
    std::string s(buf, r.ptr);
    for (auto& c : s)
        if (c == 'e') c = 'E';
    if (s.front() != '-') s.insert(s.begin(), '+');
    return s;
}

bool argumentNumber(const std::string& text, double& v) {
    const std::string t = trim(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == t.size() || t[i] == '+' || t[i] == '-') return false;
    double parsed = 0;
    const auto r = std::from_chars(t.data() + i, t.data() + t.size(), parsed);
    // The whole argument must be one finite number.
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(parsed)) return false;
    v = t[0] == '-' ? -parsed : parsed;
    return true;
}

std::string upperCase(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace korda::sim
