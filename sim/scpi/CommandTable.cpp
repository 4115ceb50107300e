#include "CommandTable.h"
#include "ScpiArgs.h"

#include <cctype>

namespace korda::sim {

namespace {

std::vector<std::string> splitNodes(const std::string& header) {
    std::vector<std::string> parts;
    std::string current;
    for (const char c : header) {
        if (c == ':') {
            if (!current.empty()) parts.push_back(upperCase(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(upperCase(current));
    return parts;
}

} // namespace

Request parseRequest(const std::string& line) {
    Request r;
    r.line = line;
    std::size_t i = 0;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
        ++i;
    std::size_t end = i;
    while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
        ++end;
    r.header = line.substr(i, end - i);
    while (end < line.size() && std::isspace(static_cast<unsigned char>(line[end])))
        ++end;
    r.args = line.substr(end);
    while (!r.args.empty() && std::isspace(static_cast<unsigned char>(r.args.back())))
        r.args.pop_back();
    r.query = !r.header.empty() && r.header.back() == '?';
    return r;
}

void CommandTable::add(const std::string& pattern, Handler handler) {
    Entry e;
    std::string p = pattern;
    if (!p.empty() && p.back() == '?') {
        e.query = true;
        p.pop_back();
    }
    std::string current;
    auto flush = [&](bool optional) {
        if (current.empty()) return;
        Node n;
        n.optional = optional;
        for (const char c : current)
            if (std::isupper(static_cast<unsigned char>(c)) || c == '*' ||
                std::isdigit(static_cast<unsigned char>(c)))
                n.shortForm.push_back(c);
        n.longForm = upperCase(current);
        if (n.shortForm.empty()) n.shortForm = n.longForm;
        e.nodes.push_back(n);
        current.clear();
    };
    bool inOptional = false;
    for (const char c : p) {
        if (c == '[') {
            flush(false);
            inOptional = true;
        } else if (c == ']') {
            flush(true);
            inOptional = false;
        } else if (c == ':') {
            flush(inOptional);
        } else {
            current.push_back(c);
        }
    }
    flush(inOptional);
    e.handler = std::move(handler);
    entries_.push_back(std::move(e));
}

bool CommandTable::matches(const Entry& e, const std::vector<std::string>& parts, bool query) {
    if (e.query != query) return false;
    // Recursive match allowing optional nodes to be skipped.
    std::function<bool(std::size_t, std::size_t)> walk = [&](std::size_t ni, std::size_t pi) {
        if (ni == e.nodes.size()) return pi == parts.size();
        const Node& n = e.nodes[ni];
        if (pi < parts.size() && (parts[pi] == n.shortForm || parts[pi] == n.longForm) &&
            walk(ni + 1, pi + 1))
            return true;
        return n.optional && walk(ni + 1, pi);
    };
    return walk(0, 0);
}

const Handler* CommandTable::find(const std::string& header) const {
    std::string h = header;
    const bool query = !h.empty() && h.back() == '?';
    if (query) h.pop_back();
    const auto parts = splitNodes(h);
    for (const auto& e : entries_)
        if (matches(e, parts, query)) return &e.handler;
    return nullptr;
}

} // namespace korda::sim
