// The virtual instrument inside korda ("sim:"): served on a loopback TCP
// port for as long as korda runs, and reached through the library like any
// other instrument.
#pragma once

#include <memory>

namespace korda::tool {

class SimHost {
  public:
    // model: DLXVMR_MODEL_7043A or DLXVMR_MODEL_5129A (the default: with its
    // three slots it takes the configurations of both). The instrument comes
    // up as one fresh from its box would be set up on a bench: channels 101
    // to 103 scanned once a second until stopped.
    explicit SimHost(int model);
    // An instrument to try a configuration on: modules only in the slots
    // whose bits are set in fittedSlots (bit k = slot k + 1), left as "*RST"
    // leaves it, and with a clock that jumps to the end of a timed run
    // instead of waiting it out.
    SimHost(int model, unsigned fittedSlots);
    ~SimHost();
    // The model code (DLXVMR_MODEL_...) of the virtual instrument's default
    // model, the one korda-sim is too.
    static int defaultModel();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // The loopback port, 0 when the server could not start.
    int port() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::tool
