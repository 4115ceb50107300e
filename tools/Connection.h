// One open instrument, reached through the library at an address; for
// "sim:", the virtual instrument korda starts for the invocation.
#pragma once

#include "Address.h"
#include "SimHost.h"

#include <memory>
#include <string>

namespace korda::tool {

// The library, started for the life of the object.
class Library {
  public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    int status() const { return status_; }

  private:
    int status_;
};

class Connection {
  public:
    static constexpr int kBcn = 1;

    explicit Connection(int bcn = kBcn) : bcn_(bcn) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the instrument and learns its model: the model given (or named
    // in a sim: address) is checked; without one, the instrument's identity
    // decides. On failure prints what went wrong (unless quiet) and returns
    // the exit code; 0 when open.
    int open(const Address& address, int modelGiven, bool quiet = false);
    // What went wrong in the last open.
    const std::string& failure() const { return failure_; }
    bool isOpen() const { return open_; }
    void close();

    // The model of the open instrument (0 when it named neither model).
    int model() const { return model_; }
    // The address as the user gave it, with what it resolved to.
    const std::string& where() const { return where_; }

    // One SCPI command through the library: a query (holding '?') fills
    // reply. Returns the library's status.
    int raw(const std::string& command, std::string& reply);

  private:
    // The model the instrument identifies as, by the library's model check.
    int identify(int kind, int port, const unsigned char* ip, int& model);

    // Records (and, unless quiet, prints) a failure; returns the exit code.
    int fail(const std::string& text, int exitCode);
    int failStatus(const std::string& doing, int status);

    int bcn_;
    bool quiet_ = false;
    std::string failure_;
    std::unique_ptr<SimHost> sim_;
    bool open_ = false;
    int model_ = 0;
    std::string where_;
};

} // namespace korda::tool
