// A libpq connection as the PostgreSQL store and reader use it: connected
// with korda's limits (a connection attempt takes 5 s at most, a TCP link
// that stops acknowledging is given up), its failures thrown as StoreError
// naming the place without its password, results freed by their owners.
#pragma once

#include "Store.h"

#include <libpq-fe.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace korda::tool::store {

class PostgresResult {
  public:
    explicit PostgresResult(PGresult* r) : r_(r) {}
    ~PostgresResult() { PQclear(r_); }
    PostgresResult(PostgresResult&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    PostgresResult(const PostgresResult&) = delete;
    PostgresResult& operator=(const PostgresResult&) = delete;
    PostgresResult& operator=(PostgresResult&& other) noexcept;
    PGresult* get() const { return r_; }
    int rows() const { return r_ ? PQntuples(r_) : 0; }
    bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    // Of a result in text form ("" for NULL).
    std::string text(int row, int col) const { return PQgetvalue(r_, row, col); }
    std::int64_t integer(int row, int col) const;

  private:
    PGresult* r_;
};

class PostgresConnection {
  public:
    // Connects. Throws StoreError, transient: the server down, unreachable
    // or refusing the login may all be over later.
    explicit PostgresConnection(const std::string& target);
    ~PostgresConnection();
    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    // "user@host:port/db", as postgresPlace() tells it.
    const std::string& place() const { return place_; }

    // Runs a statement, its results in text form (0) or binary (1); throws
    // StoreError when its status is not `want`.
    PostgresResult exec(const std::string& sql, const std::vector<std::string>& params,
                        ExecStatusType want, int resultFormat = 0);
    PostgresResult query(const std::string& sql, const std::vector<std::string>& params = {}) {
        return exec(sql, params, PGRES_TUPLES_OK);
    }
    void command(const std::string& sql, const std::vector<std::string>& params = {}) {
        exec(sql, params, PGRES_COMMAND_OK);
    }
    [[noreturn]] void fail(const std::string& doing, const PGresult* r);

    template <class F> void transaction(F body) {
        command("BEGIN");
        try {
            body();
            command("COMMIT");
        } catch (...) {
            if (PQtransactionStatus(conn) != PQTRANS_IDLE) PostgresResult(PQexec(conn, "ROLLBACK"));
            throw;
        }
    }

    // Breaks the connection from another thread: a call waiting on a
    // silent server fails at once.
    void interrupt();

    PGconn* conn = nullptr;
    std::string lastState; // the SQLSTATE of the last failure

  private:
    std::string place_;
    std::mutex socketLock_; // guards socket_ against interrupt() from another thread
    int socket_ = -1;
};

} // namespace korda::tool::store
