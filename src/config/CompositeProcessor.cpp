#include "config/IProcessor.h"

namespace korda32ex {

bool invalidResponse(const std::string& reply, std::string& errorText, int& errorCode) {
    errorText = "Invalid response: " + reply;
    errorCode = -1;
    return false;
}

std::string takeReplyLines(const std::string& text, std::size_t& cursor, int n) {
    std::string out;
    for (int i = 0; i < n && cursor < text.size(); ++i) {
        std::size_t end = cursor;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const bool ended = end < text.size();
        if (n == 1) {
            out.append(text, cursor, end - cursor);
        } else {
            out.append(text, cursor, end - cursor);
            if (ended) out += "\r\n";
        }
        cursor = end;
        if (!ended) break;
        // One line ending: CR, LF, CR LF or LF CR.
        const char first = text[cursor++];
        if (cursor < text.size() && (text[cursor] == '\r' || text[cursor] == '\n') &&
            text[cursor] != first)
            ++cursor;
    }
    return out;
}

bool CompositeProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                       std::string& errorText, int& errorCode) {
    for (const auto& child : children_)
        if (!child->buildCommands(record, commands, errorText, errorCode)) return false;
    return true;
}

bool CompositeProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    for (const auto& child : children_)
        if (!child->buildQueries(queries, handler)) return false;
    return true;
}

// A skipped child takes no reply line, so it adds nothing: a composite nested
// in another one then hands on exactly the lines its own queries produced.
int CompositeProcessor::responseCount() {
    int sum = 0;
    for (const auto& child : children_)
        if (!child->isSkipped()) sum += child->responseCount();
    return sum;
}

bool CompositeProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                       std::string& errorText, int& errorCode) {
    std::size_t cursor = 0;
    for (const auto& child : children_) {
        if (child->isSkipped()) continue;
        std::size_t next = cursor;
        const std::string lines = takeReplyLines(reply, next, child->responseCount());
        if (!child->parseResponse(lines, record, errorText, errorCode)) return false;
        cursor = next;
    }
    return true;
}

} // namespace korda32ex
