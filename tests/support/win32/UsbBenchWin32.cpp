// The USB test bench on Windows (under Wine): the virtual instruments run
// natively on Linux behind Wine COM ports, set up by tests/wine/com-bench.sh
// before the test program starts.
#include "UsbBench.h"

#include <cstdlib>
#include <cstring>

namespace korda::test {

struct UsbBench::Impl {};

UsbBench::UsbBench() = default;
UsbBench::~UsbBench() = default;

bool UsbBench::ready() const {
    const char* v = std::getenv("KORDA_TEST_COM_BENCH");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

std::string UsbBench::reason() const {
    return "no COM port bench (configure the Windows build with -DKORDA_NATIVE_SIM=PATH)";
}

} // namespace korda::test
