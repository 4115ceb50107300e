// The SQLite backend: a recording in one file, written in WAL mode, every
// append one transaction; and the reading side that `export` and `report` use.
// Built only when SQLite is found (KORDA_HAVE_SQLITE).
#pragma once

#include "Reader.h"
#include "Store.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace korda::tool::store {

// Opens (making it when absent) a recording file. Throws StoreError.
std::unique_ptr<Store> openSqliteStore(const std::string& path);

// Opens a recording file for reading. Throws StoreError when the file is no
// recording (or a newer one).
std::unique_ptr<Reader> openSqliteReader(const std::string& path);

// A spool in front of a remote store (`record --to postgresql://...`): a
// recording file of the same schema, written as any recording, whose scans
// and gap events leave it once the remote store holds them. It remembers the
// last sequence forwarded of each instrument, so that numbering goes on.
class SqliteSpool {
  public:
    struct Run {
        std::int64_t id = 0;
        RunInfo info;
        std::string ended; // empty while unfinished
    };
    struct Instrument {
        std::int64_t id = 0;
        InstrumentInfo info;
    };

    // Opens (making it when absent) a spool file. Throws StoreError.
    explicit SqliteSpool(const std::string& path);
    ~SqliteSpool();
    SqliteSpool(const SqliteSpool&) = delete;
    SqliteSpool& operator=(const SqliteSpool&) = delete;

    // The writing side. Its instrument() counts forwarded scans in lastSequence.
    Store& store();

    std::vector<Run> runs();
    std::vector<Instrument> instruments(std::int64_t run);
    // The oldest scans of an instrument, at most `most`, by sequence.
    std::vector<ScanRow> scans(std::int64_t instrument, int most);
    // The gap events of an instrument, with their ids.
    std::vector<std::pair<std::int64_t, GapEvent>> gaps(std::int64_t instrument);
    // Removes the scans of an instrument up to a sequence, in one transaction
    // with remembering it as forwarded.
    void forwardedScans(std::int64_t instrument, std::int64_t sequence);
    void forwardedGap(std::int64_t id);
    // Removes a run whose scans and gaps are all forwarded.
    void remove(std::int64_t run);
    // Scans waiting, per instrument.
    std::map<std::int64_t, long long> waiting();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::tool::store
