#include "logdata/SetupCells.h"

#include "core/Numbers.h"
#include "platform/platform.h"

#include <string>

namespace korda32ex::logdata {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<ChannelAddress> parseChannelAddress(std::string_view cell) {
    if (cell.size() < 5 || !isDigit(cell[2]) || !isDigit(cell[3]) || !isDigit(cell[4]))
        return std::nullopt;
    return ChannelAddress{cell[2] - '0', (cell[3] - '0') * 10 + (cell[4] - '0')};
}

double cellNumber(std::string_view cell) {
    return readLeadingReal(cell).value_or(0.0);
}

double cellNumberOr(std::string_view cell, double notApplicable) {
    return cell == kNotApplicable ? notApplicable : cellNumber(cell);
}

bool cellSwitch(std::string_view cell) {
    return cell == "ON" || cell == "USB" || cell == "1";
}

void storeCellText(std::string_view cell, VmrChar16 (&field)[VMR_TEXT_UNITS]) {
    if (cell == kNotApplicable) cell = {};
    // The conversion keeps at most 1023 characters, like the narrow-to-wide
    // conversion of every other text the library takes in.
    const std::string narrow(cell.substr(0, 4 * 1024));
    wchar_t wide[1024];
    platform::narrowToWide(narrow.c_str(), wide, std::size(wide));
    std::size_t n = 0;
    for (const wchar_t* p = wide; *p != L'\0'; ++p) {
        const auto c = static_cast<std::uint32_t>(*p);
        if (c > 0xFFFF) {
            if (c > 0x10FFFF || n + 2 > VMR_TEXT_UNITS - 1) break;
            const std::uint32_t v = c - 0x10000;
            field[n++] = static_cast<VmrChar16>(0xD800 + (v >> 10));
            field[n++] = static_cast<VmrChar16>(0xDC00 + (v & 0x3FF));
        } else {
            // A high surrogate (16-bit wide characters) needs room for its pair.
            const std::size_t units = c >= 0xD800 && c <= 0xDBFF ? 2 : 1;
            if (n + units > VMR_TEXT_UNITS - 1) break;
            field[n++] = static_cast<VmrChar16>(c);
        }
    }
    field[n] = 0;
}

} // namespace korda32ex::logdata
