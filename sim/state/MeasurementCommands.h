// The virtual instrument's function, range and sensor commands.
#pragma once

#include "scpi/CommandTable.h"

namespace korda::sim {

// Function, range and sensor commands ("CONF", "...:RANG", "TEMP:...").
void registerMeasurementCommands(CommandTable& table);

} // namespace korda::sim
