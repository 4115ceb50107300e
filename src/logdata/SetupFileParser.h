// The setup file: the CSV description of a recording's configuration that the
// instrument writes as "setup.csv" next to its data files, and returns for a
// log file over the connection. Parsing fills a configuration record.
#pragma once

#include "korda32ext.h"

#include <string_view>

namespace korda32ex::logdata {

// "5129A" when the cell contains "5129", else "7043A" when it contains "7043",
// else the empty text.
std::string_view normalizeModel(std::string_view cell);

// Fills the record from a setup text, in place: only the fields that the
// text's rows carry change. False, with the record untouched, when the text
// has fewer than two lines.
bool parseSetupText(std::string_view text, VmrInstConfig& record);

} // namespace korda32ex::logdata
