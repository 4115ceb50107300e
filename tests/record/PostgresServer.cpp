#include "PostgresServer.h"
#include "LoopbackSocket.h"
#include "RecordHarness.h"
#include "store/Schema.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <pwd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace korda::test {

namespace {

namespace store = korda::tool::store;

// The newest server installed (Debian: /usr/lib/postgresql/VERSION/bin), or KORDA_POSTGRES_BIN.
std::string serverPrograms() {
    if (const char* given = std::getenv("KORDA_POSTGRES_BIN"))
        return std::filesystem::exists(std::string(given) + "/postgres") ? given : "";
    std::string best;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const auto bin = e.path() / "bin";
        if (std::filesystem::exists(bin / "postgres") && bin.string() > best) best = bin.string();
    }
    return best;
}

// The command line run as nobody when this process is root (the server
// refuses to run as root).
std::vector<std::string> asServerUser(std::vector<std::string> argv) {
    if (::geteuid() != 0) return argv;
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"});
    return argv;
}

std::int64_t bigEndian(const char* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return static_cast<std::int64_t>(v);
}

} // namespace

PostgresServer::PostgresServer() : bin_(serverPrograms()) {
    if (bin_.empty()) {
        problem_ = "no PostgreSQL server programs (initdb, postgres) under /usr/lib/postgresql "
                   "or KORDA_POSTGRES_BIN: install the postgresql package to run the "
                   "PostgreSQL tests";
        return;
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && (!nobody || ::chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0))
        problem_ = "cannot hand " + dir_ + " to the user nobody";
    std::ofstream(dir_ + "/password") << "admin-only\n";
    Child initdb(
        asServerUser({bin_ + "/initdb", "-D", dir_ + "/data", "-U", "admin", "--auth-local=trust",
                      "--auth-host=scram-sha-256", "-N", "--pwfile=" + dir_ + "/password"}),
        {}, dir_ + "/initdb.log");
    if (problem_.empty() && initdb.wait(60000) != 0)
        problem_ = "initdb failed: see " + dir_ + "/initdb.log";
    int s = listenLoopback(1, port_);
    ::close(s);
    if (problem_.empty() && !start()) problem_ = "the server did not start: see " + dir_ + "/log";
    if (problem_.empty() && (!sql("CREATE ROLE recorder LOGIN PASSWORD 'secret'").empty() ||
                             !sql("CREATE DATABASE korda OWNER recorder").empty()))
        problem_ = "cannot make the test database";
}

PostgresServer::~PostgresServer() {
    stop();
}

bool PostgresServer::start() {
    // fsync off: the tests stop the server cleanly, and disks are slow.
    server_ =
        std::make_unique<Child>(asServerUser({bin_ + "/postgres", "-D", dir_ + "/data", "-k", dir_,
                                              "-p", std::to_string(port_), "-c",
                                              "listen_addresses=127.0.0.1", "-c", "fsync=off"}),
                                std::vector<std::string>{}, dir_ + "/log");
    const std::string ping = "host=" + dir_ + " port=" + std::to_string(port_) + " user=admin";
    return waitFor([&] { return PQping(ping.c_str()) == PQPING_OK; }, 30000);
}

void PostgresServer::stop() {
    if (!server_) return;
    server_->signal(SIGINT); // a fast shutdown
    server_->wait(30000);
    server_.reset();
}

std::string PostgresServer::target(int port, const std::string& password) const {
    return "postgresql://recorder:" + password + "@127.0.0.1:" + std::to_string(port) + "/korda";
}

namespace {

struct Connection {
    Connection(const std::string& dir, int port, const char* db = "korda")
        : c(PQconnectdb(
              ("host=" + dir + " port=" + std::to_string(port) + " user=admin dbname=" + db)
                  .c_str())) {}
    ~Connection() { PQfinish(c); }
    PGconn* c;
};

} // namespace

std::string PostgresServer::sql(const std::string& statement) const {
    // Roles and databases are made before the test database is there.
    Connection db(dir_, port_, statement.rfind("CREATE", 0) == 0 ? "postgres" : "korda");
    PGresult* r = PQexec(db.c, statement.c_str());
    std::string out;
    const auto status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        out = std::string("ERROR: ") + PQerrorMessage(db.c);
    else if (status == PGRES_TUPLES_OK && PQntuples(r) > 0)
        out = PQgetvalue(r, 0, 0);
    PQclear(r);
    return out;
}

long long PostgresServer::scans(const std::string& address) const {
    return std::atoll(sql("SELECT count(*) FROM scans JOIN instruments ON instruments.id = "
                          "scans.instrument_id WHERE address = '" +
                          address + "'")
                          .c_str());
}

bool PostgresServer::copyTo(const std::string& sqlitePath) const {
    Connection pg(dir_, port_);
    sqlite3* db = nullptr;
    std::filesystem::remove(sqlitePath);
    if (sqlite3_open(sqlitePath.c_str(), &db) != SQLITE_OK) return false;
    bool ok = sqlite3_exec(db, ("BEGIN;" + store::createScript(store::Dialect::Sqlite)).c_str(),
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const auto& t : store::tables()) {
        std::string columns, marks;
        for (const auto& c : t.columns) {
            columns += std::string(columns.empty() ? "" : ", ") + c.name;
            marks += marks.empty() ? "?" : ", ?";
        }
        // Binary results: integers as 8 big-endian bytes, text and bytes as they are.
        PGresult* r = PQexecParams(pg.c, ("SELECT " + columns + " FROM " + t.name).c_str(), 0,
                                   nullptr, nullptr, nullptr, nullptr, 1);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(
            db,
            ("INSERT INTO " + std::string(t.name) + " (" + columns + ") VALUES (" + marks + ")")
                .c_str(),
            -1, &s, nullptr);
        ok = ok && PQresultStatus(r) == PGRES_TUPLES_OK && s;
        for (int row = 0; ok && row < PQntuples(r); ++row) {
            for (int c = 0; c < static_cast<int>(t.columns.size()); ++c) {
                const char* v = PQgetvalue(r, row, c);
                const int n = PQgetlength(r, row, c);
                const auto type = t.columns[static_cast<std::size_t>(c)].type;
                if (PQgetisnull(r, row, c))
                    sqlite3_bind_null(s, c + 1);
                else if (type == store::ColumnType::Id || type == store::ColumnType::Integer)
                    sqlite3_bind_int64(s, c + 1, bigEndian(v));
                else if (type == store::ColumnType::Text)
                    sqlite3_bind_text(s, c + 1, v, n, SQLITE_TRANSIENT);
                else
                    sqlite3_bind_blob(s, c + 1, v, n, SQLITE_TRANSIENT);
            }
            ok = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        PQclear(r);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace korda::test
