// The data rows of the setup file's sections, one function per section.
#pragma once

#include "core/Models.h"

#include "korda32ext.h"
#include "logdata/SetupCells.h"

#include <string_view>

namespace korda32ex::logdata {

// model is the one the file names (the unidentified row when none).
void applyTestSetupRow(const Row& row, const ModelTraits& model, VmrInstConfig& record);
void applyAnalogRow(const Row& row, const ModelTraits& model, VmrInstConfig& record);
void applyMathRow(const Row& row, VmrInstConfig& record);

} // namespace korda32ex::logdata
