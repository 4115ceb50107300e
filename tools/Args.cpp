#include "Args.h"

#include "Address.h"
#include "Commands.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace korda::tool {

std::string Args::value(const std::string& what) {
    if (!more()) throw UsageError(what + " is missing");
    return take();
}

bool Args::hasOperand() const {
    return more() && !isCommandName(peek()) && peek().rfind("--", 0) != 0;
}

bool Args::takeIf(const std::string& word) {
    if (!more() || peek() != word) return false;
    ++i_;
    return true;
}

long long number(const std::string& text, long long lowest, long long highest,
                 const std::string& what) {
    const auto n = parseWholeNumber(text, lowest, highest);
    if (!n)
        throw UsageError(what + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not '" + text + "'");
    return *n;
}

int byteArgument(const std::string& text, const std::string& what) {
    if (text.size() > 2 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
        const std::string hex = text.substr(2);
        if (hex.size() <= 2 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            return static_cast<int>(std::strtol(hex.c_str(), nullptr, 16));
        throw UsageError(what + " must be a byte, 0 to 255 or 0x00 to 0xFF, not '" + text + "'");
    }
    const auto n = parseWholeNumber(text, 0, 255);
    if (!n)
        throw UsageError(what + " must be a byte, 0 to 255 or 0x00 to 0xFF, not '" + text + "'");
    return static_cast<int>(*n);
}

std::string optionalOutput(Args& args) {
    if (args.takeIf("-o")) return args.value("-o: the output file");
    return {};
}

std::wstring widePath(const std::string& path) {
    std::wstring out(path.size() + 1, L'\0');
    const std::size_t n = std::mbstowcs(out.data(), path.c_str(), out.size());
    if (n == static_cast<std::size_t>(-1)) return std::wstring(path.begin(), path.end());
    out.resize(n);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError("cannot read " + path + ": " + std::strerror(errno), 1);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace korda::tool
