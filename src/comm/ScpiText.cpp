#include "comm/ScpiText.h"

namespace korda32ex::scpitext {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmedFront(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

} // namespace

std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) continue;
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::optional<std::string> readQuoted(std::string_view text, std::string_view& rest) {
    text = trimmedFront(text);
    if (text.empty() || (text.front() != '"' && text.front() != '\'')) return std::nullopt;
    const char mark = text.front();
    std::string out;
    std::size_t i = 1;
    for (;;) {
        const std::size_t next = text.find(mark, i);
        if (next == std::string_view::npos) return std::nullopt; // not closed
        out.append(text.substr(i, next - i));
        if (next + 1 < text.size() && text[next + 1] == mark) {
            out.push_back(mark);
            i = next + 2;
            continue;
        }
        rest = text.substr(next + 1);
        return out;
    }
}

std::string unquotedReply(std::string_view reply) {
    std::string_view rest;
    const auto text = readQuoted(reply, rest);
    if (text && trimmedFront(rest).empty()) return *text;
    return std::string(reply);
}

} // namespace korda32ex::scpitext
