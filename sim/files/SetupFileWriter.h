// The setup file of a recording, written the way the instrument lays it out.
#pragma once

#include "korda32ext.h"
#include "state/ModelTable.h"

#include <string>

namespace korda::sim {

// The setup file text of a configuration (CR LF line ends).
std::string setupFileText(const VmrInstConfig& config, Model model);

} // namespace korda::sim
