// The backends this build has: CSV always, SQLite when it was found.
#include "CsvStore.h"
#include "Store.h"

#include <cctype>
#if defined(KORDA_HAVE_SQLITE)
#include "SqliteStore.h"
#endif

namespace korda::tool::store {

namespace {

bool endsWith(const std::string& s, const char* tail) {
    const std::string t = tail;
    if (s.size() < t.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - t.size() + i])) != t[i])
            return false;
    return true;
}

} // namespace

bool isCsvTarget(const std::string& target) {
    return endsWith(target, ".csv");
}

bool isPostgresTarget(const std::string& target) {
    return target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0;
}

bool haveSqlite() {
#if defined(KORDA_HAVE_SQLITE)
    return true;
#else
    return false;
#endif
}

std::unique_ptr<Store> openStore(const std::string& target) {
    if (isPostgresTarget(target))
        throw UnsupportedTarget(target + ": this korda has no PostgreSQL store yet; record to an "
                                         "SQLite file and export from it");
    if (isCsvTarget(target)) return openCsvStore(target);
#if defined(KORDA_HAVE_SQLITE)
    return openSqliteStore(target);
#else
    throw UnsupportedTarget(target +
                            ": this korda was built without SQLite; record to a .csv file");
#endif
}

} // namespace korda::tool::store
