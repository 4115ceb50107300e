#include "config/ProcessorSupport.h"

#include "comm/SCPIHandler.h"
#include "config/IProcessor.h"

namespace korda32ex {

const TokenCode* findToken(std::string_view reply, std::span<const TokenCode> table) {
    for (const auto& entry : table)
        if (equalsIgnoringCase(reply, entry.token)) return &entry;
    return nullptr;
}

const TokenCode* findCode(std::uint32_t code, std::span<const TokenCode> table) {
    for (const auto& entry : table)
        if (entry.code == code) return &entry;
    return nullptr;
}

std::string channelList(std::int64_t number) {
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
    return reply && equalsIgnoringCase(*reply, expected);
}

bool parseTokenField(const std::string& reply, std::span<const TokenCode> table,
                     std::uint32_t& field, std::string& errorText, int& errorCode) {
    const TokenCode* entry = findToken(reply, table);
    if (entry == nullptr) return invalidResponse(reply, errorText, errorCode);
    field = entry->code;
    return true;
}

} // namespace korda32ex
