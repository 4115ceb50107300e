// The PostgreSQL backend over libpq, built only when libpq is found
// (KORDA_HAVE_POSTGRES). `korda record` never writes it from an instrument's
// thread: the scans go to a local spool first (ForwardingStore.h), and this
// store is how the spool is forwarded. So every write is idempotent, and a
// batch sent twice (the first commit's answer lost with the connection)
// stores nothing twice:
// - beginRun finds the run again by its start time and command line;
// - instrument finds the instrument of the run again by host and address;
// - appendScans skips the sequences the instrument already holds;
// - gap skips an event the instrument already holds word for word.
#pragma once

#include "Reader.h"
#include "Store.h"

#include <memory>
#include <string>

namespace korda::tool::store {

class PostgresStore final : public Store {
  public:
    // Connects and makes the schema when the database has none (several
    // recorders starting at once make it once). Throws StoreError:
    // transient when the server is down, unreachable or refuses the login.
    explicit PostgresStore(const std::string& target);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    int schemaVersion() const override;
    RunStart beginRun(const RunInfo& run) override;
    InstrumentStart instrument(const InstrumentInfo& info) override;
    void appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) override;
    void gap(std::int64_t instrument, const GapEvent& gap) override;
    void endRun(const std::string& ended) override;

    // Breaks the connection from another thread: a call waiting on a
    // silent server fails at once.
    void interrupt();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Where a connection text points, without its password: "user@host:port/db"
// (parts left to libpq's defaults are empty). Throws StoreError (not
// transient) for a text libpq cannot parse.
std::string postgresPlace(const std::string& target);

// Opens a recording in a database for reading. Throws StoreError.
std::unique_ptr<Reader> openPostgresReader(const std::string& source);

} // namespace korda::tool::store
