#include "SqliteStore.h"

#include "Schema.h"
#include "Times.h"

#include <sqlite3.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace korda::tool::store {

namespace {

static_assert(std::endian::native == std::endian::little,
              "readings are stored as little-endian float32: add a byte swap for this machine");

// Waiting this long for another writer is cheap; a lock held longer makes
// the append fail at once, and the recorder holds its scans in memory.
constexpr int kBusyWaitMs = 20;

bool transientCode(int code) {
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_PROTOCOL:
    case SQLITE_CANTOPEN:
        return true;
    default:
        return false;
    }
}

class Statement;

// One connection, closed with the object.
class Database {
  public:
    Database(const std::string& path, bool readOnly) : path_(path) {
        const int flags =
            readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) fail("cannot open", rc);
        sqlite3_busy_timeout(db_, kBusyWaitMs);
        sqlite3_extended_result_codes(db_, 1);
    }
    ~Database() { sqlite3_close_v2(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }

    // Throws StoreError with SQLite's message for the result code.
    [[noreturn]] void fail(const std::string& doing, int rc) const {
        std::string text = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        if ((rc & 0xFF) == SQLITE_NOTADB) text = "not an SQLite database";
        throw StoreError(path_ + ": " + doing + ": " + text, transientCode(rc));
    }

    void exec(const std::string& sql) {
        char* error = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
        sqlite3_free(error);
        if (rc != SQLITE_OK) fail("running " + sql.substr(0, sql.find(' ', 8)), rc);
    }

    // Rolls back an open transaction, if any (after a failure).
    void rollback() {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

  private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement(Database& db, const char* sql) : db_(db) {
        const int rc =
            sqlite3_prepare_v3(db.handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &s_, nullptr);
        if (rc != SQLITE_OK) db.fail("preparing a statement", rc);
        // SQLite numbers "$1", "$2"... in the order they first appear: the
        // shared queries must name them in that order.
        for (int i = 1; i <= sqlite3_bind_parameter_count(s_); ++i) {
            const char* name = sqlite3_bind_parameter_name(s_, i);
            if (name && name[0] == '$' && std::atoi(name + 1) != i) {
                sqlite3_finalize(s_);
                throw StoreError(std::string("parameters out of order in: ") + sql, false);
            }
        }
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindNull(int i) {
        sqlite3_bind_null(s_, i);
        return *this;
    }
    Statement& bindBlob(int i, const void* data, std::size_t size) {
        sqlite3_bind_blob(s_, i, data, static_cast<int>(size), SQLITE_STATIC);
        return *this;
    }
    // True while a row is there.
    bool step() {
        const int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        sqlite3_reset(s_);
        db_.fail("writing", rc);
    }
    // Ready for the next row; the bindings stay.
    void rewind() { sqlite3_reset(s_); }
    void run() {
        step();
        reset();
    }
    void reset() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    std::int64_t integer(int c) const { return sqlite3_column_int64(s_, c); }
    bool isNull(int c) const { return sqlite3_column_type(s_, c) == SQLITE_NULL; }
    std::string text(int c) const {
        const auto* p = sqlite3_column_text(s_, c);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(s_, c)))
                 : std::string();
    }
    const void* blob(int c, int& size) const {
        const void* p = sqlite3_column_blob(s_, c);
        size = sqlite3_column_bytes(s_, c);
        return p;
    }

  private:
    Database& db_;
    sqlite3_stmt* s_ = nullptr;
};

// Checks that the file holds a recording of a version this build reads;
// makes the schema in an empty file when allowed.
void prepareSchema(Database& db, bool create) {
    // The first read of the file tells whether it is a database at all.
    int tables = 0;
    {
        Statement count(db, "SELECT count(*) FROM sqlite_schema WHERE name = 'schema_version'");
        if (count.step()) tables = static_cast<int>(count.integer(0));
    }
    if (tables == 0) {
        bool empty = true;
        {
            Statement any(db, "SELECT count(*) FROM sqlite_schema");
            empty = !any.step() || any.integer(0) == 0;
        }
        if (!empty || !create)
            throw StoreError(sqlite3_db_filename(db.handle(), "main") +
                                 std::string(": not a recording of korda"),
                             false);
        db.exec("BEGIN IMMEDIATE");
        try {
            for (const auto& s : createStatements(Dialect::Sqlite))
                db.exec(s);
            db.exec("INSERT INTO schema_version (version) VALUES (" +
                    std::to_string(kSchemaVersion) + ")");
            db.exec("COMMIT");
        } catch (...) {
            db.rollback();
            throw;
        }
        return;
    }
    Statement version(db, "SELECT max(version) FROM schema_version");
    const std::int64_t v = version.step() ? version.integer(0) : 0;
    if (v != kSchemaVersion)
        throw StoreError(std::string(sqlite3_db_filename(db.handle(), "main")) +
                             ": a recording of schema version " + std::to_string(v) +
                             "; this korda reads version " + std::to_string(kSchemaVersion),
                         false);
}

class SqliteStore final : public Store {
  public:
    explicit SqliteStore(const std::string& path) : db_(path, false) {
        // WAL: readers (an export, a look with sqlite3) never block the
        // recorder; NORMAL: a commit survives the process being killed
        // (a power loss may take the last commits).
        {
            Statement wal(db_, "PRAGMA journal_mode=WAL");
            if (!wal.step() || wal.text(0) != "wal")
                throw StoreError(path + ": cannot switch to WAL mode", false);
        }
        db_.exec("PRAGMA synchronous=NORMAL");
        // The pages a run keeps changing (the ends of the scan indexes) are
        // kept in memory, and copied from the log into the file once per
        // 40 MB of log rather than every 4 MB.
        db_.exec("PRAGMA cache_size=-16384");
        db_.exec("PRAGMA wal_autocheckpoint=10000");
        prepareSchema(db_, true);
        insertScan_ = std::make_unique<Statement>(
            db_, "INSERT INTO scans (instrument_id, sequence, time_ms, utc_offset_min, alarms, "
                 "readings) VALUES (?, ?, ?, ?, ?, ?)");
    }

    int schemaVersion() const override { return kSchemaVersion; }

    RunStart beginRun(const RunInfo& run) override {
        RunStart out;
        {
            Statement last(db_, "SELECT id, ended IS NULL, command_line, started_ms FROM runs "
                                "ORDER BY id DESC LIMIT 1");
            if (last.step() && last.integer(1) == 1 && last.text(2) == run.commandLine) {
                out.id = last.integer(0);
                out.continued = true;
                out.startedMs = last.integer(3);
            }
        }
        if (!out.continued) {
            Statement add(db_, "INSERT INTO runs (started, started_ms, korda_version, "
                               "library_version, command_line) VALUES (?, ?, ?, ?, ?)");
            add.bind(1, run.started)
                .bind(2, run.startedMs)
                .bind(3, run.kordaVersion)
                .bind(4, run.libraryVersion)
                .bind(5, run.commandLine)
                .run();
            out.id = sqlite3_last_insert_rowid(db_.handle());
            out.startedMs = run.startedMs;
        }
        run_ = out.id;
        return out;
    }

    InstrumentStart instrument(const InstrumentInfo& info) override {
        InstrumentStart out;
        transaction([&] {
            {
                Statement find(db_, "SELECT id FROM instruments WHERE run_id = ? AND host = ? "
                                    "AND address = ?");
                find.bind(1, run_).bind(2, info.host).bind(3, info.address);
                if (find.step()) {
                    out.id = find.integer(0);
                    out.known = true;
                }
            }
            if (out.known) {
                Statement update(db_, "UPDATE instruments SET model = ?, identity = ?, "
                                      "config_json = ? WHERE id = ?");
                bindDetails(update, info).bind(4, out.id).run();
                Statement drop(db_, "DELETE FROM channels WHERE instrument_id = ?");
                drop.bind(1, out.id).run();
                Statement last(db_, "SELECT sequence, time_ms, utc_offset_min FROM scans "
                                    "WHERE instrument_id = ? ORDER BY sequence DESC LIMIT 1");
                last.bind(1, out.id);
                if (last.step()) {
                    out.lastSequence = last.integer(0);
                    out.lastTime =
                        isoText(last.integer(1), static_cast<int>(last.integer(2)), true);
                }
            } else {
                Statement add(db_, "INSERT INTO instruments (model, identity, config_json, "
                                   "run_id, host, address) VALUES (?, ?, ?, ?, ?, ?)");
                bindDetails(add, info).bind(4, run_).bind(5, info.host).bind(6, info.address).run();
                out.id = sqlite3_last_insert_rowid(db_.handle());
            }
            Statement channel(db_, "INSERT INTO channels (instrument_id, position, number, name, "
                                   "unit, function, range) VALUES (?, ?, ?, ?, ?, ?, ?)");
            for (std::size_t i = 0; i < info.channels.size(); ++i) {
                const ChannelInfo& c = info.channels[i];
                channel.bind(1, out.id)
                    .bind(2, static_cast<std::int64_t>(i))
                    .bind(3, c.number)
                    .bind(4, c.name)
                    .bind(5, c.unit)
                    .bind(6, c.function)
                    .bind(7, c.range)
                    .run();
            }
        });
        return out;
    }

    void appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) override {
        if (scans.empty()) return;
        transaction([&] {
            Statement& s = *insertScan_;
            for (const ScanRow& r : scans) {
                s.bind(1, instrument).bind(2, r.sequence).bind(3, r.timeMs);
                s.bind(4, static_cast<std::int64_t>(r.utcOffsetMinutes));
                if (r.alarms < 0)
                    s.bindNull(5);
                else
                    s.bind(5, r.alarms);
                s.bindBlob(6, r.readings.data(), r.readings.size() * sizeof(float));
                s.step();
                s.rewind();
            }
        });
    }

    void gap(std::int64_t instrument, const GapEvent& g) override {
        Statement add(db_, "INSERT INTO gaps (instrument_id, gap_from, gap_until, reason, "
                           "scans_lost) VALUES (?, ?, ?, ?, ?)");
        add.bind(1, instrument)
            .bind(2, g.from)
            .bind(3, g.until)
            .bind(4, g.reason)
            .bind(5, g.scansLost)
            .run();
    }

    void endRun(const std::string& ended) override {
        Statement end(db_, "UPDATE runs SET ended = ? WHERE id = ?");
        end.bind(1, ended).bind(2, run_).run();
    }

  private:
    static Statement& bindDetails(Statement& s, const InstrumentInfo& info) {
        s.bind(1, info.model).bind(2, info.identity);
        if (info.configJson.empty())
            s.bindNull(3);
        else
            s.bind(3, info.configJson);
        return s;
    }

    template <class F> void transaction(F body) {
        try {
            db_.exec("BEGIN IMMEDIATE");
            body();
            db_.exec("COMMIT");
        } catch (...) {
            insertScan_->reset();
            db_.rollback();
            throw;
        }
    }

  public:
    Database& database() { return db_; }
    template <class F> void inTransaction(F body) { transaction(body); }

  private:
    Database db_;
    std::unique_ptr<Statement> insertScan_;
    std::int64_t run_ = 0;
};

} // namespace

namespace {

// The scans of one instrument along its time index.
class Cursor final : public ScanCursor {
  public:
    Cursor(Database& db, std::int64_t instrument, std::int64_t fromMs, std::int64_t untilMs)
        : s_(db, ReadQueries::kScans) {
        s_.bind(1, instrument).bind(2, fromMs).bind(3, untilMs);
        scan_.instrument = instrument;
    }
    const RecordedScan* next() override {
        if (!s_.step()) return nullptr;
        scan_.sequence = s_.integer(0);
        scan_.timeMs = s_.integer(1);
        scan_.utcOffsetMinutes = static_cast<int>(s_.integer(2));
        scan_.alarms = s_.isNull(3) ? -1 : s_.integer(3);
        int bytes = 0;
        const void* p = s_.blob(4, bytes);
        readings_.resize(static_cast<std::size_t>(bytes) / sizeof(float));
        if (!readings_.empty()) std::memcpy(readings_.data(), p, readings_.size() * sizeof(float));
        scan_.readings = readings_.data();
        scan_.readingCount = static_cast<int>(readings_.size());
        return &scan_;
    }

  private:
    Statement s_;
    RecordedScan scan_;
    std::vector<float> readings_;
};

class SqliteReader final : public Reader {
  public:
    explicit SqliteReader(const std::string& path) : db_(path, true) { prepareSchema(db_, false); }

    std::vector<RecordedRun> runs() override {
        std::vector<RecordedRun> out;
        Statement s(db_, ReadQueries::kRuns);
        while (s.step())
            out.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4)});
        return out;
    }

    std::vector<RecordedInstrument> instruments(std::int64_t run) override {
        std::vector<RecordedInstrument> out;
        Statement s(db_, ReadQueries::kInstruments);
        s.bind(1, run);
        while (s.step())
            out.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), {}});
        Statement c(db_, ReadQueries::kChannels);
        for (RecordedInstrument& i : out) {
            c.bind(1, i.id);
            while (c.step())
                i.channels.push_back(
                    {static_cast<int>(c.integer(0)), c.text(1), c.text(2), c.text(3), c.text(4)});
            c.reset();
        }
        return out;
    }

    std::vector<RecordedGap> gaps(std::int64_t instrument) override {
        std::vector<RecordedGap> out;
        Statement s(db_, ReadQueries::kGaps);
        s.bind(1, instrument);
        while (s.step())
            out.push_back({instrument, {s.text(0), s.text(1), s.text(2), s.integer(3)}});
        return out;
    }

    ScanSpan span(std::int64_t instrument, std::int64_t fromMs, std::int64_t untilMs) override {
        ScanSpan out;
        Statement s(db_, ReadQueries::kSpan);
        s.bind(1, instrument).bind(2, fromMs).bind(3, untilMs);
        if (s.step() && s.integer(0) > 0) out = {s.integer(0), s.integer(1), s.integer(2)};
        return out;
    }

    std::unique_ptr<ScanCursor> scansOf(std::int64_t instrument, std::int64_t fromMs,
                                        std::int64_t untilMs) override {
        return std::make_unique<Cursor>(db_, instrument, fromMs, untilMs);
    }

  private:
    Database db_;
};

} // namespace

std::unique_ptr<Reader> openSqliteReader(const std::string& path) {
    return std::make_unique<SqliteReader>(path);
}

// ---- SqliteSpool -------------------------------------------------------------

namespace {

// The spool's own table, beside the recording schema.
constexpr const char* kForwardedTable =
    "CREATE TABLE IF NOT EXISTS forwarded (instrument_id INTEGER PRIMARY KEY, sequence INTEGER "
    "NOT NULL)";

// The spool's writing side: the last sequence of an instrument is the
// highest stored or forwarded.
class SpoolStore final : public Store {
  public:
    explicit SpoolStore(const std::string& path) : s(path) {}
    int schemaVersion() const override { return kSchemaVersion; }
    RunStart beginRun(const RunInfo& run) override { return s.beginRun(run); }
    InstrumentStart instrument(const InstrumentInfo& info) override {
        InstrumentStart out = s.instrument(info);
        Statement f(s.database(), "SELECT sequence FROM forwarded WHERE instrument_id = ?");
        f.bind(1, out.id);
        if (f.step() && f.integer(0) > out.lastSequence) {
            out.lastSequence = f.integer(0);
            out.lastTime.clear();
        }
        return out;
    }
    void appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) override {
        s.appendScans(instrument, scans);
    }
    void gap(std::int64_t instrument, const GapEvent& g) override { s.gap(instrument, g); }
    void endRun(const std::string& ended) override { s.endRun(ended); }

    SqliteStore s;
};

} // namespace

struct SqliteSpool::Impl {
    explicit Impl(const std::string& path) : store(path) {
        store.s.database().exec(kForwardedTable);
    }
    Database& db() { return store.s.database(); }
    SpoolStore store;
};

SqliteSpool::SqliteSpool(const std::string& path) : impl_(std::make_unique<Impl>(path)) {}
SqliteSpool::~SqliteSpool() = default;

Store& SqliteSpool::store() {
    return impl_->store;
}

std::vector<SqliteSpool::Run> SqliteSpool::runs() {
    std::vector<Run> out;
    Statement s(impl_->db(), "SELECT id, started, started_ms, korda_version, library_version, "
                             "command_line, ended FROM runs ORDER BY id");
    while (s.step()) {
        Run r;
        r.id = s.integer(0);
        r.info = {s.text(1), s.integer(2), s.text(3), s.text(4), s.text(5)};
        r.ended = s.text(6);
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<SqliteSpool::Instrument> SqliteSpool::instruments(std::int64_t run) {
    std::vector<Instrument> out;
    Statement s(impl_->db(), "SELECT id, host, address, model, identity, config_json FROM "
                             "instruments WHERE run_id = ? ORDER BY id");
    s.bind(1, run);
    while (s.step()) {
        Instrument i;
        i.id = s.integer(0);
        i.info = {s.text(1), s.text(2), s.text(3), s.text(4), s.text(5), {}};
        out.push_back(std::move(i));
    }
    Statement c(impl_->db(), "SELECT number, name, unit, function, range FROM channels "
                             "WHERE instrument_id = ? ORDER BY position");
    for (Instrument& i : out) {
        c.bind(1, i.id);
        while (c.step())
            i.info.channels.push_back(
                {static_cast<int>(c.integer(0)), c.text(1), c.text(2), c.text(3), c.text(4)});
        c.reset();
    }
    return out;
}

std::vector<ScanRow> SqliteSpool::scans(std::int64_t instrument, int most) {
    std::vector<ScanRow> out;
    Statement s(impl_->db(), "SELECT sequence, time_ms, utc_offset_min, alarms, readings FROM "
                             "scans WHERE instrument_id = ? ORDER BY sequence LIMIT ?");
    s.bind(1, instrument).bind(2, static_cast<std::int64_t>(most));
    while (s.step()) {
        ScanRow r;
        r.sequence = s.integer(0);
        r.timeMs = s.integer(1);
        r.utcOffsetMinutes = static_cast<std::int32_t>(s.integer(2));
        r.alarms = s.isNull(3) ? -1 : s.integer(3);
        int bytes = 0;
        const void* p = s.blob(4, bytes);
        r.readings.resize(static_cast<std::size_t>(bytes) / sizeof(float));
        if (!r.readings.empty())
            std::memcpy(r.readings.data(), p, r.readings.size() * sizeof(float));
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<std::pair<std::int64_t, GapEvent>> SqliteSpool::gaps(std::int64_t instrument) {
    std::vector<std::pair<std::int64_t, GapEvent>> out;
    Statement s(impl_->db(), "SELECT id, gap_from, gap_until, reason, scans_lost FROM gaps "
                             "WHERE instrument_id = ? ORDER BY id");
    s.bind(1, instrument);
    while (s.step())
        out.push_back({s.integer(0), {s.text(1), s.text(2), s.text(3), s.integer(4)}});
    return out;
}

void SqliteSpool::forwardedScans(std::int64_t instrument, std::int64_t sequence) {
    impl_->store.s.inTransaction([&] {
        Statement drop(impl_->db(), "DELETE FROM scans WHERE instrument_id = ? AND sequence <= ?");
        drop.bind(1, instrument).bind(2, sequence).run();
        Statement mark(impl_->db(), "INSERT OR REPLACE INTO forwarded (instrument_id, sequence) "
                                    "VALUES (?, ?)");
        mark.bind(1, instrument).bind(2, sequence).run();
    });
}

void SqliteSpool::forwardedGap(std::int64_t id) {
    Statement drop(impl_->db(), "DELETE FROM gaps WHERE id = ?");
    drop.bind(1, id).run();
}

void SqliteSpool::remove(std::int64_t run) {
    impl_->store.s.inTransaction([&] {
        for (const char* sql :
             {"DELETE FROM forwarded WHERE instrument_id IN (SELECT id FROM instruments WHERE "
              "run_id = ?1)",
              "DELETE FROM channels WHERE instrument_id IN (SELECT id FROM instruments WHERE "
              "run_id = ?1)",
              "DELETE FROM instruments WHERE run_id = ?1", "DELETE FROM runs WHERE id = ?1"}) {
            Statement s(impl_->db(), sql);
            s.bind(1, run).run();
        }
    });
}

std::map<std::int64_t, long long> SqliteSpool::waiting() {
    std::map<std::int64_t, long long> out;
    Statement s(impl_->db(), "SELECT instrument_id, count(*) FROM scans GROUP BY instrument_id");
    while (s.step())
        out[s.integer(0)] = s.integer(1);
    return out;
}

std::unique_ptr<Store> openSqliteStore(const std::string& path) {
    return std::make_unique<SqliteStore>(path);
}

} // namespace korda::tool::store
