// The recording schema, written once: tables described as data, from which
// each SQL dialect's statements are made. docs/recording.md explains it.
#pragma once

#include <string>
#include <vector>

namespace korda::tool::store {

// The version stores write and read; a store of a newer version is refused.
constexpr int kSchemaVersion = 1;

enum class Dialect { Sqlite, Postgresql };

enum class ColumnType {
    Id,      // the table's own key, numbered by the database
    Integer, // 64-bit
    Real,    // double precision
    Text,
    Bytes,
};

struct ColumnDef {
    const char* name;
    ColumnType type;
    bool notNull;
    const char* references; // "runs(id)", or nullptr
};

struct IndexDef {
    const char* name;
    std::vector<const char*> columns;
};

struct TableDef {
    const char* name;
    std::vector<ColumnDef> columns;
    std::vector<const char*> primaryKey; // empty: the Id column is the key
    std::vector<IndexDef> indexes;
    // Rows are kept in key order (SQLite WITHOUT ROWID): for tables that are
    // read by their key and never by a row id.
    bool keyOrdered = false;
};

// The tables, in the order they are made (a table after those it refers to).
const std::vector<TableDef>& tables();

// The statements that make the schema in a dialect, one per element,
// without a final semicolon.
std::vector<std::string> createStatements(Dialect dialect);

// The same statements as one script, each closed by ";" and a line end.
std::string createScript(Dialect dialect);

} // namespace korda::tool::store
