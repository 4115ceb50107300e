// Reading a recording in a PostgreSQL database: the statements of
// ReadQueries in one read-only transaction (one snapshot, however the
// recorders write meanwhile), the scans through a cursor per instrument,
// fetched in batches in binary form.
#include "PostgresConnection.h"
#include "PostgresStore.h"
#include "Reader.h"
#include "Schema.h"

#include <bit>
#include <cstring>

namespace korda::tool::store {

namespace {

static_assert(std::endian::native == std::endian::little,
              "readings are stored as little-endian float32: add a byte swap for this machine");

// Scans fetched at once by a cursor.
constexpr int kBatch = 1000;

class PostgresCursor final : public ScanCursor {
  public:
    PostgresCursor(PostgresConnection& db, int number, std::int64_t instrument, std::int64_t fromMs,
                   std::int64_t untilMs)
        : db_(db), name_("scans_" + std::to_string(number)) {
        db_.command("DECLARE " + name_ + " NO SCROLL CURSOR FOR " + ReadQueries::kScans,
                    {std::to_string(instrument), std::to_string(fromMs), std::to_string(untilMs)});
        scan_.instrument = instrument;
    }
    ~PostgresCursor() override {
        if (PQtransactionStatus(db_.conn) == PQTRANS_INTRANS)
            PostgresResult(PQexec(db_.conn, ("CLOSE " + name_).c_str()));
    }
    PostgresCursor(const PostgresCursor&) = delete;
    PostgresCursor& operator=(const PostgresCursor&) = delete;

    const RecordedScan* next() override {
        if (row_ >= batch_.rows()) {
            if (done_) return nullptr;
            batch_ = db_.exec("FETCH " + std::to_string(kBatch) + " FROM " + name_, {},
                              PGRES_TUPLES_OK, 1);
            row_ = 0;
            done_ = batch_.rows() < kBatch;
            if (batch_.rows() == 0) return nullptr;
            if (PQnfields(batch_.get()) != 5) malformed("a scan is not 5 columns");
        }
        scan_.sequence = integer(0, 0);
        scan_.timeMs = integer(1, 0);
        scan_.utcOffsetMinutes = static_cast<int>(integer(2, 0));
        scan_.alarms = integer(3, -1);
        // Whole float32 values only: bytes past the last are no reading.
        const std::size_t count =
            batch_.isNull(row_, 4)
                ? 0
                : static_cast<std::size_t>(PQgetlength(batch_.get(), row_, 4)) / sizeof(float);
        readings_.resize(count);
        if (count > 0)
            std::memcpy(readings_.data(), PQgetvalue(batch_.get(), row_, 4), count * sizeof(float));
        scan_.readings = readings_.data();
        scan_.readingCount = static_cast<int>(count);
        ++row_;
        return &scan_;
    }

  private:
    [[noreturn]] void malformed(const std::string& what) {
        throw StoreError(db_.place() + ": " + what, false);
    }

    // A column of the current row, a big-endian integer of 2, 4 or 8 bytes.
    std::int64_t integer(int col, std::int64_t ifNull) {
        if (batch_.isNull(row_, col)) return ifNull;
        const int length = PQgetlength(batch_.get(), row_, col);
        if (length != 2 && length != 4 && length != 8)
            malformed("a scan's column " + std::to_string(col + 1) + " is no integer");
        const auto* p = reinterpret_cast<const unsigned char*>(PQgetvalue(batch_.get(), row_, col));
        std::uint64_t v = 0;
        for (int i = 0; i < length; ++i)
            v = (v << 8) | p[i];
        const int unused = 64 - 8 * length; // sign-extends the narrower ones
        return static_cast<std::int64_t>(v << unused) >> unused;
    }

    PostgresConnection& db_;
    std::string name_;
    PostgresResult batch_{nullptr};
    int row_ = 0;
    bool done_ = false;
    RecordedScan scan_;
    std::vector<float> readings_;
};

class PostgresReader final : public Reader {
  public:
    explicit PostgresReader(const std::string& source) : db_(source) {
        db_.command("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        if (db_.query("SELECT to_regclass('schema_version') IS NULL").text(0, 0) == "t")
            throw StoreError(db_.place() + ": not a recording of korda", false);
        const std::int64_t v = db_.query("SELECT max(version) FROM schema_version").integer(0, 0);
        if (v != kSchemaVersion)
            throw StoreError(db_.place() + ": a recording of schema version " + std::to_string(v) +
                                 "; this korda reads version " + std::to_string(kSchemaVersion),
                             false);
    }

    std::vector<RecordedRun> runs() override {
        std::vector<RecordedRun> out;
        const auto r = db_.query(ReadQueries::kRuns);
        for (int i = 0; i < r.rows(); ++i)
            out.push_back(
                {r.integer(i, 0), r.text(i, 1), r.text(i, 2), r.text(i, 3), r.text(i, 4)});
        return out;
    }

    std::vector<RecordedInstrument> instruments(std::int64_t run) override {
        std::vector<RecordedInstrument> out;
        const auto r = db_.query(ReadQueries::kInstruments, {std::to_string(run)});
        for (int i = 0; i < r.rows(); ++i)
            out.push_back(
                {r.integer(i, 0), r.text(i, 1), r.text(i, 2), r.text(i, 3), r.text(i, 4), {}});
        for (RecordedInstrument& in : out) {
            const auto c = db_.query(ReadQueries::kChannels, {std::to_string(in.id)});
            for (int i = 0; i < c.rows(); ++i)
                in.channels.push_back({static_cast<int>(c.integer(i, 0)), c.text(i, 1),
                                       c.text(i, 2), c.text(i, 3), c.text(i, 4)});
        }
        return out;
    }

    std::vector<RecordedGap> gaps(std::int64_t instrument) override {
        std::vector<RecordedGap> out;
        const auto r = db_.query(ReadQueries::kGaps, {std::to_string(instrument)});
        for (int i = 0; i < r.rows(); ++i)
            out.push_back(
                {instrument, {r.text(i, 0), r.text(i, 1), r.text(i, 2), r.integer(i, 3)}});
        return out;
    }

    ScanSpan span(std::int64_t instrument, std::int64_t fromMs, std::int64_t untilMs) override {
        const auto r =
            db_.query(ReadQueries::kSpan, {std::to_string(instrument), std::to_string(fromMs),
                                           std::to_string(untilMs)});
        if (r.rows() == 0 || r.integer(0, 0) <= 0) return {};
        return {r.integer(0, 0), r.integer(0, 1), r.integer(0, 2)};
    }

    std::unique_ptr<ScanCursor> scansOf(std::int64_t instrument, std::int64_t fromMs,
                                        std::int64_t untilMs) override {
        return std::make_unique<PostgresCursor>(db_, ++cursors_, instrument, fromMs, untilMs);
    }

  private:
    PostgresConnection db_;
    int cursors_ = 0; // cursors declared, for their names
};

} // namespace

std::unique_ptr<Reader> openPostgresReader(const std::string& source) {
    return std::make_unique<PostgresReader>(source);
}

} // namespace korda::tool::store
