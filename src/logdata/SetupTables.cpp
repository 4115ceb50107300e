#include "logdata/SetupTables.h"

#include <algorithm>
#include <array>

namespace korda32ex::logdata {

namespace {

struct Token {
    std::string_view text;
    std::uint32_t code;
};

constexpr Token kTokens[] = {
    // measurement functions
    {"VOLT", 1},
    {"VOLT:AC", 2},
    {"CURR", 3},
    {"CURR:AC", 4},
    {"RES", 5},
    {"FRES", 6},
    {"TEMP RTD", 7},
    {"TEMP TRTD", 8},
    {"TEMP FRTD", 9},
    {"TEMP THER", 10},
    {"TEMP FTH", 11},
    {"TEMP TC", 12},
    {"FREQ", 13},
    {"VDC", 17},
    {"VAC", 18},
    {"ADC", 19},
    {"AAC", 20},
    // trigger sources
    {"TIM", 0},
    {"EXT", 1},
    {"ALAR", 2},
    {"AUTO", 3},
    {"MAN", 288},
    // switches and destinations
    {"OFF", 0},
    {"ON", 1},
    {"INT", 1},
    {"USB", 2},
    // reading rates
    {"FAST", 0},
    {"MEDIUM", 1},
    {"SLOW", 3},
    {"NPLC", 6},
    // automatic trigger order
    {"LIN", 0},
    {"ALT", 1},
    {"REV", 2},
    // computed functions
    {"POLY", 0x5000},
    {"SRO", 0x5001},
    {"POW", 0x5002},
    {"EXP", 0x5003},
    {"LOG", 0x5004},
    {"ABS", 0x5005},
    {"REC", 0x5006},
    {"SUB", 0x5007},
    {"ADD", 0x5008},
    {"MULT", 0x5009},
    {"DIV", 0x500A},
    {"AVER", 0x500B},
    {"MAX", 0x500C},
    {"MIN", 0x500D},
    {"SUM", 0x500E},
    // no value
    {"(n/a)", 0},
    {"", 0},
    // resistance ranges
    {"100OHM", 1},
    {"1kOHM", 2},
    {"10kOHM", 3},
    {"100kOHM", 4},
    {"1MOHM", 5},
    {"10MOHM", 6},
    {"100MOHM", 7},
    // thermistor types
    {"R2K2", 96},
    {"R5K", 97},
    {"R10K", 99},
    {"RPOL", 100},
    // RTD types
    {"SPRT", 80},
    {"A385", 81},
    {"A392", 82},
    {"ABC", 83},
    // thermocouple types
    {"K", 0x6001},
    {"T", 0x6101},
    {"R", 0x6201},
    {"S", 0x6301},
    {"J", 0x6401},
    {"N", 0x6501},
    {"E", 0x6601},
    {"B", 0x6701},
    {"C", 0x6801},
    {"D", 0x6901},
    {"G", 0x6A01},
    {"L", 0x6B01},
    {"M", 0x6C01},
    {"U", 0x6D01},
    {"W", 0x6E01},
};

struct RangeToken {
    std::uint32_t function;
    std::string_view text;
    std::uint32_t code;
};

constexpr RangeToken kRanges[] = {
    {1, "100mV", 16}, {1, "1V", 17},    {1, "10V", 18},  {1, "50V", 19},       {1, "100V", 20},
    {1, "150V", 21},  {1, "300V", 22},  {1, "", 23},     {2, "100mV", 32},     {2, "1V", 33},
    {2, "10V", 34},   {2, "50V", 35},   {2, "100V", 36}, {2, "150V", 37},      {2, "300V", 38},
    {2, "", 39},      {3, "100uA", 48}, {3, "1mA", 49},  {3, "10mA", 51},      {3, "100mA", 52},
    {3, "", 53},      {4, "100uA", 64}, {4, "1mA", 65},  {4, "10mA", 66},      {4, "100mA", 67},
    {4, "", 68},      {5, "", 8},       {6, "", 8},      {12, "POLY", 0x6F01}, {12, "INT", 0},
    {12, "FIX", 1},   {12, "EXT", 2},
};

// The token table sorted by text once, for binary search.
struct SortedTokens {
    std::array<Token, std::size(kTokens)> entries;
    SortedTokens() {
        std::copy(std::begin(kTokens), std::end(kTokens), entries.begin());
        std::sort(entries.begin(), entries.end(),
                  [](const Token& a, const Token& b) { return a.text < b.text; });
    }
};

} // namespace

std::optional<std::uint32_t> setupTokenCode(std::string_view text) {
    static const SortedTokens sorted;
    const auto it = std::lower_bound(sorted.entries.begin(), sorted.entries.end(), text,
                                     [](const Token& t, std::string_view s) { return t.text < s; });
    if (it == sorted.entries.end() || it->text != text) return std::nullopt;
    return it->code;
}

std::optional<std::uint32_t> setupRangeCode(std::uint32_t function, std::string_view text) {
    for (const RangeToken& r : kRanges)
        if (r.function == function && r.text == text) return r.code;
    return std::nullopt;
}

} // namespace korda32ex::logdata
