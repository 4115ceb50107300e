#include "frontend/ReplyNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace korda32ex {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Skips leading blanks and one sign; negative tells whether it was '-'.
std::string_view skipBlanksAndSign(std::string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return text.substr(i);
}

} // namespace

std::optional<std::int64_t> readLeadingInteger(std::string_view text) {
    bool negative = false;
    const std::string_view rest = skipBlanksAndSign(text, negative);
    if (rest.empty() || !isDigit(rest.front())) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude);
    (void)end;
    if (ec != std::errc()) return std::nullopt;
    constexpr std::uint64_t maxPositive = std::numeric_limits<std::int64_t>::max();
    if (!negative) {
        if (magnitude > maxPositive) return std::nullopt;
        return static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > maxPositive + 1) return std::nullopt;
    return magnitude == maxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                        : -static_cast<std::int64_t>(magnitude);
}

std::optional<int> readLeadingInt(std::string_view text) {
    const auto v = readLeadingInteger(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<double> readLeadingReal(std::string_view text) {
    bool negative = false;
    const std::string_view rest = skipBlanksAndSign(text, negative);
    // A number starts with a digit, or with a point followed by a digit.
    const bool starts = !rest.empty() && (isDigit(rest[0]) ||
                                          (rest[0] == '.' && rest.size() > 1 && isDigit(rest[1])));
    if (!starts) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Beyond the double range: an underflow when the exponent is negative.
        const std::string_view mantissaAndExponent(rest.data(),
                                                   static_cast<std::size_t>(end - rest.data()));
        const auto e = mantissaAndExponent.find_first_of("eE");
        const bool underflow = e != std::string_view::npos && e + 1 < mantissaAndExponent.size() &&
                               mantissaAndExponent[e + 1] == '-';
        value = underflow ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        return std::nullopt;
    }
    return negative ? -value : value;
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
