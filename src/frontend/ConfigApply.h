// Applying a whole configuration record to an instrument (dlxVmrConfigSet).
#pragma once

#include <cstdint>

namespace korda32ex {

// The pause after the last command of a configuration before the instrument
// is asked anything again, in milliseconds (1000). Tests shorten it (also
// through KORDA_TEST_SETTLE_MS at the library start).
std::uint32_t configSettlePauseMs();
void setConfigSettlePauseMs(std::uint32_t ms);

} // namespace korda32ex
