// The readers this build has, and what export and report share of reading.
#include "Reader.h"

#include "Channels.h"
#if defined(KORDA_HAVE_POSTGRES)
#include "PostgresStore.h"
#endif
#if defined(KORDA_HAVE_SQLITE)
#include "SqliteStore.h"
#endif

namespace korda::tool {

namespace store {

std::unique_ptr<Reader> openReader(const std::string& source) {
    if (isPostgresTarget(source)) {
#if defined(KORDA_HAVE_POSTGRES)
        return openPostgresReader(source);
#else
        throw UnsupportedTarget(withoutPasswords(source) +
                                ": this korda was built without PostgreSQL (libpq)");
#endif
    }
#if defined(KORDA_HAVE_SQLITE)
    return openSqliteReader(source);
#else
    throw UnsupportedTarget(source + ": this korda was built without SQLite");
#endif
}

void Reader::scans(const std::vector<std::int64_t>& instruments, std::int64_t fromMs,
                   std::int64_t untilMs, const std::function<bool(const RecordedScan&)>& each) {
    struct Head {
        std::unique_ptr<ScanCursor> cursor;
        const RecordedScan* scan;
    };
    std::vector<Head> heads;
    for (const std::int64_t i : instruments) {
        auto c = scansOf(i, fromMs, untilMs);
        const RecordedScan* first = c->next();
        heads.push_back({std::move(c), first});
    }
    for (;;) {
        Head* first = nullptr;
        for (Head& h : heads)
            if (h.scan && (!first || h.scan->timeMs < first->scan->timeMs)) first = &h;
        if (!first) return;
        if (!each(*first->scan)) return;
        first->scan = first->cursor->next();
    }
}

int readRun(const std::string& source, std::int64_t wanted,
            const std::function<int(Reader&, const RecordedRun&)>& use) {
    try {
        const auto reader = openReader(source);
        const auto runs = reader->runs();
        for (const auto& r : runs)
            if (r.id == wanted || (wanted <= 0 && &r == &runs.back())) return use(*reader, r);
        message(withoutPasswords(source) + ": " +
                (wanted > 0 ? "no run " + std::to_string(wanted) : std::string("no run")));
        return kExitFailure;
    } catch (const StoreError& e) {
        message(e.what());
        return kExitFailure;
    } catch (const UnsupportedTarget& e) {
        message(e.what());
        return kExitUsage;
    }
}

} // namespace store

std::vector<Column> recordedColumns(store::Reader& reader, const store::RecordedInstrument& in,
                                    std::int64_t fromMs, std::int64_t untilMs) {
    std::vector<Column> out;
    for (const auto& c : in.channels)
        out.push_back({c.number, c.name, c.unit, {}});
    if (!out.empty()) return out;
    // No channel list was known: columns by position, as many as the first
    // scan has readings.
    int readings = 0;
    reader.scans({in.id}, fromMs, untilMs, [&](const store::RecordedScan& s) {
        readings = s.readingCount;
        return false;
    });
    return columnsFor({}, readings, nullptr);
}

} // namespace korda::tool
