#include "logdata/TextLines.h"

#include <cstring>

namespace korda32ex::logdata {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    // The next line feed and carriage return at or after p (end when none),
    // searched again only once passed, so the whole split stays linear.
    auto find = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* nextLf = find(p, '\n');
    const char* nextCr = find(p, '\r');
    while (p < end) {
        if (nextLf < p) nextLf = find(p, '\n');
        if (nextCr < p) nextCr = find(p, '\r');
        const char* brk = nextLf < nextCr ? nextLf : nextCr;
        if (brk == end) break; // no line end: the rest is not a line
        lines.emplace_back(p, static_cast<std::size_t>(brk - p));
        const char* next = brk + 1;
        if (next < end && (*next == '\n' || *next == '\r')) ++next;
        p = next;
    }
    return lines;
}

void splitAt(std::string_view text, char separator, std::vector<std::string_view>& out) {
    out.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> out;
    splitAt(text, separator, out);
    return out;
}

} // namespace korda32ex::logdata
