// A scan record buffer as an application allocates it.
#pragma once

#include "korda32ext.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace korda::test {

// Room for `scans` scans of `readings` readings, every word set to `fill` (a
// pattern shows any byte written that should not have been), suitably aligned.
class ScanBuffer {
  public:
    ScanBuffer(std::size_t scans, std::size_t readings, std::uint32_t fill = 0)
        : words((DLXVMR_SCAN_BUFFER_SIZE(scans, readings) + 3) / 4, fill) {}
    ScanRecord* record() { return reinterpret_cast<ScanRecord*>(words.data()); }
    const ScanEntry& entry(std::size_t n) { return *DLXVMR_SCAN_ENTRY(record(), n); }
    float reading(std::size_t n, std::size_t i) {
        float v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&entry(n)) + 52 + 4 * i, 4);
        return v;
    }
    std::vector<std::uint32_t> words;
};

} // namespace korda::test
