// The CSV backend: the scans of one instrument as `scan` writes them, a
// header row of channel numbers, names and units and one row per scan with
// the instrument's time stamp (local time, milliseconds included).
#pragma once

#include "Store.h"

#include <cstdio>
#include <memory>
#include <string>

namespace korda::tool::store {

// Writes to a stream the caller owns (standard output, or a file `scan`
// opened); nothing but the scans goes there.
std::unique_ptr<Store> csvStore(std::FILE* out);

// Writes to a file, made when absent; a file that already holds rows is
// continued (appended to, its rows counted for the sequence).
std::unique_ptr<Store> openCsvStore(const std::string& path);

} // namespace korda::tool::store
