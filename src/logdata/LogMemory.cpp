#include "logdata/LogMemory.h"

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
    std::string command(commandWord);
    command += '"';
    for (const char c : narrowName) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) continue;
        if (c == '"') command += '"';
        command += c;
    }
    command += '"';
    return command;
}

std::string nameOfReply(std::string_view reply) {
    while (!reply.empty() && (reply.back() == ' ' || reply.back() == '\r'))
        reply.remove_suffix(1);
    while (!reply.empty() && reply.front() == ' ')
        reply.remove_prefix(1);
    if (reply.size() < 2 || reply.front() != '"' || reply.back() != '"') return std::string(reply);
    std::string name;
    const std::string_view inner = reply.substr(1, reply.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        name += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return name;
}

} // namespace korda32ex::logdata
