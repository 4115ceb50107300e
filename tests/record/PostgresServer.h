// A private PostgreSQL server for the recorder's tests and benchmarks: a
// data directory made by initdb in a temporary directory, its Unix socket
// there and TCP on a free loopback port, run as nobody when this process is
// root, stopped (and its directory removed) with the object. Logins over TCP need a password (role
// "recorder", password "secret", database "korda").
#pragma once

#include "Child.h"
#include "TempDir.h"

#include <memory>
#include <string>

namespace korda::test {

class PostgresServer {
  public:
    PostgresServer();
    ~PostgresServer();
    // Empty while the server runs; otherwise why it does not.
    const std::string& problem() const { return problem_; }
    int port() const { return port_; }
    bool start();
    void stop();

    // korda's target for the database through a TCP port (the server's own or a proxy's).
    std::string target(int port, const std::string& password = "secret") const;
    // Runs a statement as the administrator; the first column of the first
    // row, "" when none, "ERROR: ..." when it failed.
    std::string sql(const std::string& statement) const;
    long long scans(const std::string& address) const;
    // Copies the recording into an SQLite file of the same schema, where the
    // recorder harness reconciles it.
    bool copyTo(const std::string& sqlitePath) const;

  private:
    TempDir tmp_;
    std::string dir_ = tmp_.path().string(), bin_, problem_;
    int port_ = 0;
    std::unique_ptr<Child> server_;
};

// Skips the test when no server can run, saying why, or fails it when
// KORDA_REQUIRE_POSTGRES=1.
#define KORDA_NEED_POSTGRES(server)                                                                \
    do {                                                                                           \
        if (!(server).problem().empty()) {                                                         \
            const char* required = std::getenv("KORDA_REQUIRE_POSTGRES");                          \
            if (required && std::string(required) == "1") FAIL() << (server).problem();            \
            GTEST_SKIP() << (server).problem();                                                    \
        }                                                                                          \
    } while (false)

} // namespace korda::test
