#include "logdata/TextLines.h"

#include <cstring>

namespace korda32ex::logdata {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    const std::size_t n = text.size();
    while (start < n) {
        std::size_t end = start;
        while (end < n && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end == n) break; // no line end: the rest is not a line
        lines.push_back(text.substr(start, end - start));
        std::size_t next = end + 1;
        if (next < n && (text[next] == '\n' || text[next] == '\r')) ++next;
        start = next;
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
