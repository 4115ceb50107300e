#include "PostgresStore.h"

#include "PostgresConnection.h"
#include "Schema.h"
#include "Times.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>

namespace korda::tool::store {

namespace {

static_assert(std::endian::native == std::endian::little,
              "readings are stored as little-endian float32: add a byte swap for this machine");

// Taken for the whole of making the schema, so that recorders starting at
// once make it one after the other (the later ones find it made).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7043512901)";

constexpr const char* kScanColumns =
    "instrument_id, sequence, time_ms, utc_offset_min, alarms, readings";

void putBigEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putInteger(std::string& out, std::int64_t v) {
    putBigEndian(out, 8, 4);
    putBigEndian(out, static_cast<std::uint64_t>(v), 8);
}

} // namespace

struct PostgresStore::Impl : PostgresConnection {
    explicit Impl(const std::string& target) : PostgresConnection(target) {}
    std::int64_t run = 0;
    std::string copy; // the COPY data of one batch, kept for its capacity
    // The highest sequence each instrument is known to hold, from
    // instrument() and the batches committed since.
    std::map<std::int64_t, std::int64_t> last;

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
                throw StoreError(place() + ": a recording of schema version " + std::to_string(v) +
                                     "; this korda writes version " +
                                     std::to_string(kSchemaVersion),
                                 false);
        });
        // Each batch is copied here, then added to the scans it is not in yet.
        command("CREATE TEMPORARY TABLE incoming (LIKE scans) ON COMMIT DELETE ROWS");
    }
};

PostgresStore::PostgresStore(const std::string& target) : impl_(std::make_unique<Impl>(target)) {
    impl_->prepareSchema();
}

PostgresStore::~PostgresStore() = default;

void PostgresStore::interrupt() {
    impl_->interrupt();
}

int PostgresStore::schemaVersion() const {
    return kSchemaVersion;
}

RunStart PostgresStore::beginRun(const RunInfo& run) {
    Impl& m = *impl_;
    RunStart out;
    out.startedMs = run.startedMs;
    const std::string ms = std::to_string(run.startedMs);
    const PostgresResult found =
        m.query("SELECT id FROM runs WHERE started_ms = $1 AND command_line = $2 "
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
        const PostgresResult found =
            m.query("SELECT id FROM instruments WHERE run_id = $1 AND host = $2 AND address = $3",
                    {run, info.host, info.address});
        const char* config = info.configJson.empty() ? nullptr : info.configJson.c_str();
        if (found.rows() > 0) {
            out.id = found.integer(0, 0);
            out.known = true;
            const std::string id = std::to_string(out.id);
            const char* values[] = {info.model.c_str(), info.identity.c_str(), config, id.c_str()};
            PostgresResult r(PQexecParams(m.conn,
                                          "UPDATE instruments SET model = $1, identity = $2, "
                                          "config_json = $3 WHERE id = $4",
                                          4, nullptr, values, nullptr, nullptr, 0));
            if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) m.fail("UPDATE", r.get());
            m.command("DELETE FROM channels WHERE instrument_id = $1", {id});
            const PostgresResult last =
                m.query("SELECT sequence, time_ms, utc_offset_min FROM scans WHERE "
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
            PostgresResult r(
                PQexecParams(m.conn,
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
                PostgresResult start(
                    PQexec(m.conn, (std::string("COPY ") + (direct ? "scans (" : "incoming (") +
                                    kScanColumns + ") FROM STDIN (FORMAT binary)")
                                       .c_str()));
                if (PQresultStatus(start.get()) != PGRES_COPY_IN) m.fail("COPY", start.get());
            }
            if (PQputCopyData(m.conn, d.data(), static_cast<int>(d.size())) != 1 ||
                PQputCopyEnd(m.conn, nullptr) != 1)
                m.fail("COPY", nullptr);
            for (PGresult* r; (r = PQgetResult(m.conn)) != nullptr;) {
                PostgresResult done(r);
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
