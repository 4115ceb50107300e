// The texts of the setup file and the record codes they stand for.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korda32ex::logdata {

// One table for every token cell of the setup file (functions, trigger
// sources, switches, reading rates, trigger orders, computed functions,
// resistance ranges, sensor types). Whole texts, case counts.
std::optional<std::uint32_t> setupTokenCode(std::string_view text);

// Ranges and reference junctions that depend on the channel's function code:
// the voltage and current ranges, the automatic range (empty text) of each
// function, the user polynomial and reference junctions of a thermocouple.
std::optional<std::uint32_t> setupRangeCode(std::uint32_t function, std::string_view text);

} // namespace korda32ex::logdata
