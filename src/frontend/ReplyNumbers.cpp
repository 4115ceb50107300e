#include "frontend/ReplyNumbers.h"

#include "comm/WireNumbers.h"

#include <cmath>
#include <limits>

namespace korda32ex {

namespace {
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::optional<std::int64_t> readLeadingInteger(std::string_view text) {
    std::int64_t value = 0;
    if (!wire::readInt64(text, value)) return std::nullopt;
    return value;
}

std::optional<int> readLeadingInt(std::string_view text) {
    const auto v = readLeadingInteger(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<double> readLeadingReal(std::string_view text) {
    double value = 0;
    if (!wire::readDouble(text, value)) return std::nullopt;
    return value;
}

float toFloat(double value) {
    constexpr double maxFloat = std::numeric_limits<float>::max();
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    if (value > maxFloat) return std::numeric_limits<float>::infinity();
    if (value < -maxFloat) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.empty()) return true;
    if (word.size() > text.size()) return false;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (equalsIgnoringCase(text.substr(i, word.size()), word)) return true;
    return false;
}

} // namespace korda32ex
