#include "logdata/LogMemory.h"

#include "comm/ScpiText.h"
#include "platform/platform.h"

namespace korda32ex::logdata {

namespace {
constexpr std::size_t kLongestName = 1023;
} // namespace

std::string fileNameQuery(int number) {
    return "MEMory:LOG:NAME? " + std::to_string(number);
}

std::string fileCommand(std::string_view commandWord, const wchar_t* name) {
    const std::string narrow = platform::wideToNarrow(name);
    return fileCommand(commandWord, std::string_view(narrow).substr(0, kLongestName));
}

std::string fileCommand(std::string_view commandWord, std::string_view narrowName) {
    return std::string(commandWord) + scpitext::quoted(narrowName);
}

std::string nameOfReply(std::string_view reply) {
    return scpitext::unquotedReply(reply);
}

} // namespace korda32ex::logdata
