#include "PostgresConnection.h"

#include "PostgresStore.h"

#include <sys/socket.h>

#include <cstdlib>

namespace korda::tool::store {

namespace {

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

} // namespace

PostgresResult& PostgresResult::operator=(PostgresResult&& other) noexcept {
    if (this != &other) {
        PQclear(r_);
        r_ = other.r_;
        other.r_ = nullptr;
    }
    return *this;
}

std::int64_t PostgresResult::integer(int row, int col) const {
    return std::strtoll(PQgetvalue(r_, row, col), nullptr, 10);
}

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

PostgresConnection::PostgresConnection(const std::string& target) : place_(postgresPlace(target)) {
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
    conn = PQconnectdbParams(keys, values, 1);
    if (!conn) throw StoreError(place_ + ": out of memory", true);
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string why = oneLine(PQerrorMessage(conn));
        PQfinish(conn);
        conn = nullptr;
        throw StoreError(place_ + ": " + why, true);
    }
    {
        std::lock_guard<std::mutex> g(socketLock_);
        socket_ = PQsocket(conn);
    }
    PostgresResult(PQexec(conn, "SET client_min_messages = warning"));
}

PostgresConnection::~PostgresConnection() {
    {
        std::lock_guard<std::mutex> g(socketLock_);
        socket_ = -1;
    }
    PQfinish(conn);
}

void PostgresConnection::interrupt() {
    std::lock_guard<std::mutex> g(socketLock_);
    if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
}

void PostgresConnection::fail(const std::string& doing, const PGresult* r) {
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
    throw StoreError(place_ + ": " + doing + ": " + oneLine(text), transient);
}

PostgresResult PostgresConnection::exec(const std::string& sql,
                                        const std::vector<std::string>& params, ExecStatusType want,
                                        int resultFormat) {
    std::vector<const char*> values;
    for (const auto& p : params)
        values.push_back(p.c_str());
    PostgresResult r(params.empty() && resultFormat == 0
                         ? PQexec(conn, sql.c_str())
                         : PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                        values.data(), nullptr, nullptr, resultFormat));
    if (PQresultStatus(r.get()) != want) fail(sql.substr(0, sql.find(' ', 7)), r.get());
    return r;
}

} // namespace korda::tool::store
