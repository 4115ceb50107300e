// Small pieces shared by the configuration processors: reply matching,
// token tables, channel lists and the immediate queries some processors make
// while they build their query lists.
#pragma once

#include "core/Text.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korda32ex {

class SCPIHandler;

// One entry of a token table: the word as it travels and the code it stands for.
struct TokenCode {
    std::string_view token;
    std::uint32_t code;
};

// The entry whose token equals the reply (ignoring case), or null.
const TokenCode* findToken(std::string_view reply, std::span<const TokenCode> table);
// The entry whose code equals code, or null.
const TokenCode* findCode(std::uint32_t code, std::span<const TokenCode> table);

// "(@" number ")" as every channel list of a command is written (channel
// numbers read from the instrument are unsigned 32-bit: written as read).
std::string channelList(std::int64_t number);

// Asks the instrument at once and returns its reply; nothing when there is no
// instrument or the exchange failed.
std::optional<std::string> immediateQuery(SCPIHandler* handler, const std::string& query);
// True when an immediate query answers expected (ignoring case); a failed
// query counts as any other reply.
bool immediateReplyIs(SCPIHandler* handler, const std::string& query, std::string_view expected);

// Parses a token reply into a field through a token table; a reply not in the
// table is invalid (field untouched).
bool parseTokenField(const std::string& reply, std::span<const TokenCode> table,
                     std::uint32_t& field, std::string& errorText, int& errorCode);

} // namespace korda32ex
