// The USB test bench: virtual instruments behind COM ports, in a fixed layout
//   COM1  an answering 5129A
//   COM2  no device
//   COM3  a silent instrument (reads commands, never answers)
//   COM4  an answering 7043A
//   COM5  a stalled instrument (reads nothing, so writes to it block)
//   COM6 to COM64  no device
// Natively the bench serves the instruments on pseudo-terminals in this
// process and maps COM k to them through KORDA_COM<k>. Under Wine the same
// layout is set up before the run by tests/wine/com-bench.sh with native
// virtual instruments behind Wine COM ports (KORDA_TEST_COM_BENCH=1).
#pragma once

#include "Instrument.h"

#include <memory>
#include <string>

namespace korda::test {

class UsbBench {
  public:
    static constexpr int kCom5129A = 1;
    static constexpr int kComAbsent = 2;
    static constexpr int kComSilent = 3;
    static constexpr int kCom7043A = 4;
    static constexpr int kComStalled = 5;

    UsbBench();
    ~UsbBench();
    UsbBench(const UsbBench&) = delete;
    UsbBench& operator=(const UsbBench&) = delete;

    bool ready() const;
    // Why the bench is not available (for the skip message).
    std::string reason() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace korda::test
