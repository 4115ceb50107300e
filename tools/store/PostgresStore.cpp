#include "PostgresStore.h"

#include "Schema.h"
#include "Times.h"

#include <libpq-fe.h>

#include <sys/socket.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace korda::tool::store {

namespace {

static_assert(std::endian::native == std::endian::little,
              "readings are stored as little-endian float32: add a byte swap for this machine");

// Taken for the whole of making the schema, so that recorders starting at
// once make it one after the other (the later ones find it made).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7043512901)";

constexpr const char* kScanColumns =
    "instrument_id, sequence, time_ms, utc_offset_min, alarms, readings";

// libpq's messages end with a line end and may span lines: one line.
std::string oneLine(const char* text) {
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    for (std::size_t at; (at = s.find('\n')) != std::string::npos;) {
        std::size_t next = at + 1;
        while (next < s.size() && (s[next] == '\t' || s[next] == ' '))
            ++next;
        s.replace(at, next - at, "; ");
    }
    return s;
}

class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(Result&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    PGresult* get() const { return r_; }
    int rows() const { return PQntuples(r_); }
    bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    std::string text(int row, int col) const { return PQgetvalue(r_, row, col); }
    std::int64_t integer(int row, int col) const {
        return std::strtoll(PQgetvalue(r_, row, col), nullptr, 10);
    }

  private:
    PGresult* r_;
};

void putBigEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putInteger(std::string& out, std::int64_t v) {
    putBigEndian(out, 8, 4);
    putBigEndian(out, static_cast<std::uint64_t>(v), 8);
}

} // namespace

std::string postgresPlace(const std::string& target) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(target.c_str(), &error);
    if (!options) {
        const std::string why = oneLine(error ? error : "out of memory");
        PQfreemem(error);
        throw StoreError(target + ": " + why, false);
    }
    std::string user, host, port, db;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        const std::string key = o->keyword;
        const std::string value = o->val ? o->val : "";
        if (key == "user") user = value;
        if (key == "host") host = value;
        if (key == "port") port = value;
        if (key == "dbname") db = value;
    }
    PQconninfoFree(options);
    return user + "@" + host + ":" + port + "/" + db;
}

struct PostgresStore::Impl {
    PGconn* conn = nullptr;
    std::string place;
    std::mutex socketLock; // guards socket against interrupt() from another thread
    int socket = -1;
    std::int64_t run = 0;
    std::string copy; // the COPY data of one batch, kept for its capacity
    // The highest sequence each instrument is known to hold, from
    // instrument() and the batches committed since.
    std::map<std::int64_t, std::int64_t> last;
    std::string lastState; // the SQLSTATE of the last failure

    [[noreturn]] void fail(const std::string& doing, const PGresult* r) {
        const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        const std::string code = state ? state : "";
        lastState = code;
        const char* text = r ? PQresultErrorMessage(r) : nullptr;
        if (!text || !*text) text = PQerrorMessage(conn);
        // A lost connection, a server shutting down or out of resources, a
        // refused login or a missing database may all be over later.
        const bool transient = PQstatus(conn) != CONNECTION_OK || code.empty() ||
                               code.rfind("08", 0) == 0 || code.rfind("53", 0) == 0 ||
                               code.rfind("57", 0) == 0 || code.rfind("40", 0) == 0 ||
                               code.rfind("28", 0) == 0 || code == "3D000";
        throw StoreError(place + ": " + doing + ": " + oneLine(text), transient);
    }

    Result exec(const std::string& sql, const std::vector<std::string>& params,
                ExecStatusType want) {
        std::vector<const char*> values;
        for (const auto& p : params)
            values.push_back(p.c_str());
        Result r(params.empty() ? PQexec(conn, sql.c_str())
                                : PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()),
                                               nullptr, values.data(), nullptr, nullptr, 0));
        if (PQresultStatus(r.get()) != want) fail(sql.substr(0, sql.find(' ', 7)), r.get());
        return r;
    }
    Result query(const std::string& sql, const std::vector<std::string>& params = {}) {
        return exec(sql, params, PGRES_TUPLES_OK);
    }
    void command(const std::string& sql, const std::vector<std::string>& params = {}) {
        exec(sql, params, PGRES_COMMAND_OK);
    }

    template <class F> void transaction(F body) {
        command("BEGIN");
        try {
            body();
            command("COMMIT");
        } catch (...) {
            if (PQtransactionStatus(conn) != PQTRANS_IDLE) Result(PQexec(conn, "ROLLBACK"));
            throw;
        }
    }

    void prepareSchema() {
        transaction([&] {
            query(kSchemaLock);
            if (query("SELECT to_regclass('schema_version') IS NULL").text(0, 0) == "t") {
                for (const auto& s : createStatements(Dialect::Postgresql))
                    command(s);
                command("INSERT INTO schema_version (version) VALUES (" +
                        std::to_string(kSchemaVersion) + ")");
                return;
            }
            const std::int64_t v = query("SELECT max(version) FROM schema_version").integer(0, 0);
            if (v != kSchemaVersion)
                throw StoreError(place + ": a recording of schema version " + std::to_string(v) +
                                     "; this korda writes version " +
                                     std::to_string(kSchemaVersion),
                                 false);
        });
        // Each batch is copied here, then added to the scans it is not in yet.
        command("CREATE TEMPORARY TABLE incoming (LIKE scans) ON COMMIT DELETE ROWS");
    }
};

PostgresStore::PostgresStore(const std::string& target) : impl_(std::make_unique<Impl>()) {
    impl_->place = postgresPlace(target);
    // The target's own settings come after these and win: a connection
    // attempt takes 5 s at most, and a TCP link that stops acknowledging
    // (keepalives while idle, data unacknowledged for 20 s) is given up.
    const char* keys[] = {"connect_timeout",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          "tcp_user_timeout",
                          "application_name",
                          "dbname",
                          nullptr};
    const char* values[] = {"5", "10", "5", "3", "20000", "korda", target.c_str(), nullptr};
    impl_->conn = PQconnectdbParams(keys, values, 1);
    if (!impl_->conn) throw StoreError(impl_->place + ": out of memory", true);
    if (PQstatus(impl_->conn) != CONNECTION_OK) {
        const std::string why = oneLine(PQerrorMessage(impl_->conn));
        PQfinish(impl_->conn);
        impl_->conn = nullptr;
        throw StoreError(impl_->place + ": " + why, true);
    }
    {
        std::lock_guard<std::mutex> g(impl_->socketLock);
        impl_->socket = PQsocket(impl_->conn);
    }
    try {
        Result(PQexec(impl_->conn, "SET client_min_messages = warning"));
        impl_->prepareSchema();
    } catch (...) {
        std::lock_guard<std::mutex> g(impl_->socketLock);
        impl_->socket = -1;
        PQfinish(impl_->conn);
        impl_->conn = nullptr;
        throw;
    }
}

PostgresStore::~PostgresStore() {
    {
        std::lock_guard<std::mutex> g(impl_->socketLock);
        impl_->socket = -1;
    }
    PQfinish(impl_->conn);
}

void PostgresStore::interrupt() {
    std::lock_guard<std::mutex> g(impl_->socketLock);
    if (impl_->socket >= 0) ::shutdown(impl_->socket, SHUT_RDWR);
}

int PostgresStore::schemaVersion() const {
    return kSchemaVersion;
}

RunStart PostgresStore::beginRun(const RunInfo& run) {
    Impl& m = *impl_;
    RunStart out;
    out.startedMs = run.startedMs;
    const std::string ms = std::to_string(run.startedMs);
    const Result found = m.query("SELECT id FROM runs WHERE started_ms = $1 AND command_line = $2 "
                                 "ORDER BY id LIMIT 1",
                                 {ms, run.commandLine});
    if (found.rows() > 0) {
        out.id = found.integer(0, 0);
        out.continued = true;
    } else {
        out.id = m.query("INSERT INTO runs (started, started_ms, korda_version, library_version, "
                         "command_line) VALUES ($1, $2, $3, $4, $5) RETURNING id",
                         {run.started, ms, run.kordaVersion, run.libraryVersion, run.commandLine})
                     .integer(0, 0);
    }
    m.run = out.id;
    return out;
}

InstrumentStart PostgresStore::instrument(const InstrumentInfo& info) {
    Impl& m = *impl_;
    InstrumentStart out;
    const std::string run = std::to_string(m.run);
    m.transaction([&] {
        // Two connections adding the same instrument at once: one waits.
        m.query("SELECT pg_advisory_xact_lock(hashtext($1))", {run + info.host + info.address});
        const Result found =
            m.query("SELECT id FROM instruments WHERE run_id = $1 AND host = $2 AND address = $3",
                    {run, info.host, info.address});
        const char* config = info.configJson.empty() ? nullptr : info.configJson.c_str();
        if (found.rows() > 0) {
            out.id = found.integer(0, 0);
            out.known = true;
            const std::string id = std::to_string(out.id);
            const char* values[] = {info.model.c_str(), info.identity.c_str(), config, id.c_str()};
            Result r(PQexecParams(m.conn,
                                  "UPDATE instruments SET model = $1, identity = $2, "
                                  "config_json = $3 WHERE id = $4",
                                  4, nullptr, values, nullptr, nullptr, 0));
            if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) m.fail("UPDATE", r.get());
            m.command("DELETE FROM channels WHERE instrument_id = $1", {id});
            const Result last = m.query("SELECT sequence, time_ms, utc_offset_min FROM scans WHERE "
                                        "instrument_id = $1 ORDER BY sequence DESC LIMIT 1",
                                        {id});
            if (last.rows() > 0) {
                out.lastSequence = last.integer(0, 0);
                out.lastTime =
                    isoText(last.integer(0, 1), static_cast<int>(last.integer(0, 2)), true);
            }
        } else {
            const char* values[] = {info.model.c_str(), info.identity.c_str(), config, run.c_str(),
                                    info.host.c_str(),  info.address.c_str()};
            Result r(PQexecParams(m.conn,
                                  "INSERT INTO instruments (model, identity, config_json, run_id, "
                                  "host, address) VALUES ($1, $2, $3, $4, $5, $6) RETURNING id",
                                  6, nullptr, values, nullptr, nullptr, 0));
            if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) m.fail("INSERT", r.get());
            out.id = std::strtoll(PQgetvalue(r.get(), 0, 0), nullptr, 10);
        }
        m.last[out.id] = out.lastSequence;
        const std::string id = std::to_string(out.id);
        for (std::size_t i = 0; i < info.channels.size(); ++i) {
            const ChannelInfo& c = info.channels[i];
            m.command("INSERT INTO channels (instrument_id, position, number, name, unit, "
                      "function, range) VALUES ($1, $2, $3, $4, $5, $6, $7)",
                      {id, std::to_string(i), std::to_string(c.number), c.name, c.unit, c.function,
                       c.range});
        }
    });
    return out;
}

void PostgresStore::appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) {
    if (scans.empty()) return;
    Impl& m = *impl_;
    // COPY's binary form: a signature, flags and header extension, then per
    // row the field count and each field as its length and big-endian value.
    std::string& d = m.copy;
    d.assign("PGCOPY\n\377\r\n\0", 11);
    putBigEndian(d, 0, 8);
    for (const ScanRow& r : scans) {
        putBigEndian(d, 6, 2);
        putInteger(d, instrument);
        putInteger(d, r.sequence);
        putInteger(d, r.timeMs);
        putInteger(d, r.utcOffsetMinutes);
        if (r.alarms < 0)
            putBigEndian(d, 0xFFFFFFFF, 4);
        else
            putInteger(d, r.alarms);
        const std::size_t bytes = r.readings.size() * sizeof(float);
        putBigEndian(d, bytes, 4);
        d.append(reinterpret_cast<const char*>(r.readings.data()), bytes);
    }
    putBigEndian(d, 0xFFFF, 2);
    // Scans past the highest sequence the instrument holds go straight into
    // the table; a batch that may repeat some (sent again after a lost
    // answer, or meeting rows it did not expect) goes through a temporary
    // table and adds only the rows not there yet.
    const auto known = m.last.find(instrument);
    const bool fresh = known != m.last.end() && scans.front().sequence > known->second;
    const auto copy = [&](bool direct) {
        m.transaction([&] {
            {
                Result start(
                    PQexec(m.conn, (std::string("COPY ") + (direct ? "scans (" : "incoming (") +
                                    kScanColumns + ") FROM STDIN (FORMAT binary)")
                                       .c_str()));
                if (PQresultStatus(start.get()) != PGRES_COPY_IN) m.fail("COPY", start.get());
            }
            if (PQputCopyData(m.conn, d.data(), static_cast<int>(d.size())) != 1 ||
                PQputCopyEnd(m.conn, nullptr) != 1)
                m.fail("COPY", nullptr);
            for (PGresult* r; (r = PQgetResult(m.conn)) != nullptr;) {
                Result done(r);
                if (PQresultStatus(r) != PGRES_COMMAND_OK) m.fail("COPY", r);
            }
            if (!direct)
                m.command(std::string("INSERT INTO scans (") + kScanColumns + ") SELECT " +
                          kScanColumns + " FROM incoming ON CONFLICT DO NOTHING");
        });
    };
    try {
        copy(fresh);
    } catch (const StoreError&) {
        if (!fresh || m.lastState != "23505") throw; // 23505: a key already there
        copy(false);
    }
    std::int64_t& last = m.last[instrument];
    last = std::max(last, scans.back().sequence);
}

void PostgresStore::gap(std::int64_t instrument, const GapEvent& g) {
    impl_->command(
        "INSERT INTO gaps (instrument_id, gap_from, gap_until, reason, scans_lost) "
        "SELECT $1::bigint, $2::text, $3::text, $4::text, $5::bigint WHERE NOT EXISTS "
        "(SELECT 1 FROM gaps WHERE instrument_id = $1::bigint AND gap_from = $2 AND gap_until = $3 "
        "AND reason = $4)",
        {std::to_string(instrument), g.from, g.until, g.reason, std::to_string(g.scansLost)});
}

void PostgresStore::endRun(const std::string& ended) {
    impl_->command("UPDATE runs SET ended = $1 WHERE id = $2", {ended, std::to_string(impl_->run)});
}

} // namespace korda::tool::store
