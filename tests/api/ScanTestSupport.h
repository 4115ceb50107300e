// Helpers for reading scan records in tests.
#pragma once

#include "korda32ext.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace korda::test {

// A zero-filled, suitably aligned scan buffer for `scans` scans of `readings` readings.
class ScanBuffer {
  public:
    ScanBuffer(std::size_t scans, std::size_t readings)
        : words_((DLXVMR_SCAN_BUFFER_SIZE(scans, readings) + 3) / 4) {}
    ScanRecord* record() { return reinterpret_cast<ScanRecord*>(words_.data()); }
    const ScanEntry& entry(std::size_t n) { return *DLXVMR_SCAN_ENTRY(record(), n); }
    float reading(std::size_t n, std::size_t i) {
        float v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&entry(n)) + 52 + 4 * i, 4);
        return v;
    }
    void fill(std::uint32_t word) {
        for (auto& w : words_)
            w = word;
    }

  private:
    std::vector<std::uint32_t> words_;
};

} // namespace korda::test
