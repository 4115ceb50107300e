// The virtual instrument's computed (math) channels: what one computes, and
// their commands.
#pragma once

#include "scpi/CommandTable.h"

#include <array>
#include <string>
#include <vector>

namespace korda::sim {

struct MathSettings {
    std::string function; // reply word ("POLY", "SUBT", ...); empty = not configured
    int sourceA = 0;
    int sourceB = 0;
    std::vector<int> list;
    std::array<double, 7> coefficients{};
};

// The computed-channel commands ("CALC:MATH:...").
void registerComputedCommands(CommandTable& table);

} // namespace korda::sim
