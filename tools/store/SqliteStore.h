// The SQLite backend: a recording in one file, written in WAL mode, every
// append one transaction; and the reading side that `korda export` uses.
// Built only when SQLite is found (KORDA_HAVE_SQLITE).
#pragma once

#include "Store.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korda::tool::store {

// Opens (making it when absent) a recording file. Throws StoreError.
std::unique_ptr<Store> openSqliteStore(const std::string& path);

// A recording opened for reading.
class SqliteReader {
  public:
    struct Instrument {
        std::int64_t id = 0;
        std::string address;
        std::string model;
        std::vector<ChannelInfo> channels;
    };
    struct Run {
        std::int64_t id = 0;
        std::string started;
        std::string ended; // empty while unfinished
        std::string commandLine;
    };
    // One scan as stored.
    struct Scan {
        std::int64_t instrument = 0;
        std::int64_t sequence = 0;
        std::int64_t timeMs = 0;
        int utcOffsetMinutes = 0;
        const float* readings = nullptr; // valid during the callback only
        int readingCount = 0;
    };

    // Throws StoreError when the file is no recording (or a newer one).
    explicit SqliteReader(const std::string& path);
    ~SqliteReader();
    SqliteReader(const SqliteReader&) = delete;
    SqliteReader& operator=(const SqliteReader&) = delete;

    std::vector<Run> runs();
    std::vector<Instrument> instruments(std::int64_t run);
    // Calls each with the scans of the instruments whose time lies in
    // [fromMs, untilMs), in the order of their time stamps (scans of one
    // instant in the order of instrument and sequence). Stops when each
    // returns false.
    void scans(const std::vector<std::int64_t>& instruments, std::int64_t fromMs,
               std::int64_t untilMs, const std::function<bool(const Scan&)>& each);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::tool::store
