// The data rows of the setup file's sections, one function per section.
#pragma once

#include "korda32ext.h"
#include "logdata/SetupCells.h"

#include <string_view>

namespace korda32ex::logdata {

// model is "7043A", "5129A" or empty (neither named by the file).
void applyTestSetupRow(const Row& row, std::string_view model, VmrInstConfig& record);
void applyAnalogRow(const Row& row, std::string_view model, VmrInstConfig& record);
void applyMathRow(const Row& row, VmrInstConfig& record);

} // namespace korda32ex::logdata
