#include "config/ProcessorSupport.h"

#include "comm/SCPIHandler.h"

#include <cctype>

namespace korda32ex {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const TokenCode* findToken(std::string_view reply, std::span<const TokenCode> table) {
    for (const auto& entry : table)
        if (equalsIgnoreCase(reply, entry.token)) return &entry;
    return nullptr;
}

const TokenCode* findCode(std::uint32_t code, std::span<const TokenCode> table) {
    for (const auto& entry : table)
        if (entry.code == code) return &entry;
    return nullptr;
}

std::string channelList(int number) {
    return "(@" + std::to_string(number) + ")";
}

std::optional<std::string> immediateQuery(SCPIHandler* handler, const std::string& query) {
    if (handler == nullptr) return std::nullopt;
    std::string reply;
    if (handler->query(query, reply) != 1) return std::nullopt;
    return reply;
}

bool immediateReplyIs(SCPIHandler* handler, const std::string& query, std::string_view expected) {
    const auto reply = immediateQuery(handler, query);
    return reply && equalsIgnoreCase(*reply, expected);
}

} // namespace korda32ex
