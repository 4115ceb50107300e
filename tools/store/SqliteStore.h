// The SQLite backend: a recording in one file, written in WAL mode, every
// append one transaction; and the reading side that `export` and `report` use.
// Built only when SQLite is found (KORDA_HAVE_SQLITE).
#pragma once

#include "Reader.h"
#include "Store.h"

#include <memory>
#include <string>

namespace korda::tool::store {

// Opens (making it when absent) a recording file. Throws StoreError.
std::unique_ptr<Store> openSqliteStore(const std::string& path);

// Opens a recording file for reading. Throws StoreError when the file is no
// recording (or a newer one).
std::unique_ptr<Reader> openSqliteReader(const std::string& path);

} // namespace korda::tool::store
