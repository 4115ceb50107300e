// record: scans of one or more instruments into a store, for a duration, a
// count or until stopped.
#include "Channels.h"
#include "Commands.h"
#include "ConfigJson.h"
#include "Output.h"
#include "Recorder.h"
#include "store/Store.h"
#if defined(KORDA_HAVE_POSTGRES)
#include "store/PostgresStore.h"
#endif

#include <cstdlib>

namespace korda::tool {

namespace {

constexpr long long kMostScans = 1000000000;   // a count beyond this is a typing error
constexpr long long kLongestInterval = 359999; // 99:59:59, the instrument's longest
constexpr long long kLongestDays = 3650;

// A test hook: a whole number from the environment, or the default.
long long fromEnvironment(const char* name, long long lowest, long long highest, long long dflt) {
    const char* text = std::getenv(name);
    if (!text) return dflt;
    const auto n = parseWholeNumber(text, lowest, highest);
    return n ? *n : dflt;
}

} // namespace

long long parseDuration(const std::string& text) {
    static const struct {
        char unit;
        long long ms;
    } kUnits[] = {{'s', 1000}, {'m', 60000}, {'h', 3600000}, {'d', 86400000}};
    long long unitMs = 1000;
    std::string digits = text;
    for (const auto& u : kUnits)
        if (!text.empty() && text.back() == u.unit) {
            unitMs = u.ms;
            digits.pop_back();
        }
    const auto n = parseWholeNumber(digits, 1, kLongestDays * 86400000 / unitMs);
    if (!n)
        throw UsageError("record --for: a duration in seconds or with a unit (90, 15m, 2h, 7d), "
                         "up to " +
                         std::to_string(kLongestDays) + "d, not '" + text + "'");
    return *n * unitMs;
}

Step parseRecord(Args& args) {
    RecordOptions o;
    bool forGiven = false;
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--config") {
            o.configPath = args.value("record --config: the JSON file");
            ConfigDocument d = readConfigDocument(o.configPath);
            o.config = d.record;
            o.configDocument = d.document;
        } else if (opt == "--force") {
            o.force = true;
        } else if (opt == "--to") {
            o.target = args.value("record --to: the file");
            if (o.target.empty()) throw UsageError("record --to: the file is missing");
        } else if (opt == "--interval") {
            o.interval = number(args.value("record --interval"), 0, kLongestInterval,
                                "record --interval (seconds)");
        } else if (opt == "--for") {
            o.forMs = parseDuration(args.value("record --for"));
            forGiven = true;
        } else if (opt == "--count") {
            o.count = number(args.value("record --count"), 1, kMostScans, "record --count");
        } else {
            throw UsageError("record: unknown option '" + opt + "'");
        }
    }
    if (forGiven && o.count > 0) throw UsageError("record: --for or --count, not both");
    if (o.target.empty()) o.target = defaultTarget();
    const bool csv = store::isCsvTarget(o.target);
    const bool postgres = store::isPostgresTarget(o.target);
    if (postgres && !store::havePostgres())
        throw UsageError("record --to " + o.target +
                         ": this korda was built without PostgreSQL (an SQLite file or a .csv "
                         "file)");
#if defined(KORDA_HAVE_POSTGRES)
    if (postgres) {
        try {
            store::postgresPlace(o.target);
        } catch (const store::StoreError& e) {
            throw UsageError(std::string("record --to ") + e.what());
        }
    }
#endif
    if (!csv && !postgres && !store::haveSqlite())
        throw UsageError("record --to " + o.target +
                         ": this korda was built without SQLite; record to a .csv file");
    o.pollMs = static_cast<int>(fromEnvironment("KORDA_TEST_POLL_MS", 1, 10000, o.pollMs));
    o.holdBound = fromEnvironment("KORDA_TEST_HOLD_SCANS", 1, kMostScans, o.holdBound);
    return Step{"record", [o](Run& run) mutable {
                    o.addresses =
                        run.addresses.empty() ? std::vector<Address>{run.address} : run.addresses;
                    o.model = run.model;
                    o.commandLine = run.commandLine;
                    o.naming = run.config;
                    if (store::isCsvTarget(o.target) && o.addresses.size() > 1) {
                        message("record --to " + o.target +
                                ": a CSV file takes one instrument; record several into SQLite");
                        return kExitUsage;
                    }
                    // The recorder opens its own connections.
                    run.connection.close();
                    return runRecorder(o);
                }};
}

} // namespace korda::tool
