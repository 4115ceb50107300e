// The virtual instrument's USB virtual COM port: a pseudo-terminal whose
// other side (the slave device) an application opens as a serial port. It
// answers with the same command table and transport faults as the TCP server.
// Pseudo-terminals exist on Linux only; elsewhere ready() is false.
#pragma once

#include "state/Instrument.h"

#include <memory>
#include <string>

namespace korda::sim {

class PtyServer {
  public:
    // Opens a pseudo-terminal and starts serving at once. When linkPath is
    // not empty, a symbolic link of that name is made to the slave device
    // (replacing what was there) and removed again by stop().
    explicit PtyServer(Instrument& instrument, const std::string& linkPath = "");
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    bool ready() const;
    // Why the pseudo-terminal could not be set up (empty when ready).
    std::string error() const;
    // The slave device the application opens, e.g. /dev/pts/3.
    std::string path() const;
    // A stalled instrument reads nothing: what the application writes stays
    // in the terminal, and writes block once its buffer is full.
    void setReading(bool reading);
    void stop();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::sim
