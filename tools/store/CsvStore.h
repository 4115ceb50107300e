// The CSV backend: the scans of one instrument as `scan` writes them, a
// header row of channel numbers, names and units and one row per scan with
// the instrument's time stamp (local time, milliseconds included, with its
// UTC offset).
#pragma once

#include "Store.h"

#include <memory>
#include <string>

namespace korda::tool {
class OutputFile;
}

namespace korda::tool::store {

// Writes to an output the caller owns and finishes (standard output, or the
// file of `scan -o`).
std::unique_ptr<Store> csvStore(OutputFile& out);

// Writes to a file in place, made when absent; a file that already holds
// rows is continued (appended to, its rows counted for the sequence).
std::unique_ptr<Store> openCsvStore(const std::string& path);

} // namespace korda::tool::store
