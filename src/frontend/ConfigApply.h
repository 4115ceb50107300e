// Applying a whole configuration record to an instrument.
#pragma once

#include "korda32ext.h"

#include <cstdint>

namespace korda32ex {

class SCPIHandler;
class GlobalData;

// The pause after the last command of a configuration before the instrument
// is asked anything again, in milliseconds (1000). Tests shorten it.
std::uint32_t configSettlePauseMs();
void setConfigSettlePauseMs(std::uint32_t ms);

// dlxVmrConfigSet inside the instrument's frame: convert, fingerprint, skip
// or build, send, pause, store the fingerprint.
int applyConfiguration(SCPIHandler& handler, GlobalData& global, int model,
                       VmrInstConfig& application, int options, int* detail);

} // namespace korda32ex
