// A scan record buffer as an application allocates it.
#pragma once

#include "korda32ext.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
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
    // entrySize, scanCount and scansRemaining.
    std::tuple<int, int, int> counts() {
        return {record()->entrySize, record()->scanCount, record()->scansRemaining};
    }
    // Year (less 2000), month, day, hour, minute, second and fraction of entry n.
    std::tuple<int, int, int, int, int, int, int> stamp(std::size_t n) {
        const ScanEntry& e = entry(n);
        return {e.year, e.month, e.day, e.hour, e.minute, e.second, e.fraction};
    }
    // The readings of entry n.
    std::vector<float> readings(std::size_t n) {
        std::vector<float> out((record()->entrySize - 52) / 4);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = reading(n, i);
        return out;
    }
    // The record as text: "entrySize/scanCount/scansRemaining", then each scan
    // as " | yy-m-d h:m:s.fff reading,reading...".
    std::string text() {
        const auto [size, count, remaining] = counts();
        std::string out =
            std::to_string(size) + "/" + std::to_string(count) + "/" + std::to_string(remaining);
        for (std::size_t n = 0; n < static_cast<std::size_t>(std::max(count, 0)); ++n) {
            const ScanEntry& e = entry(n);
            char part[64];
            std::snprintf(part, sizeof part, " | %d-%d-%d %d:%d:%d.%03d", e.year, e.month, e.day,
                          e.hour, e.minute, e.second, e.fraction);
            out += part;
            for (std::size_t i = 0; i < readings(n).size(); ++i) {
                std::snprintf(part, sizeof part, "%s%g", i == 0 ? " " : ",", reading(n, i));
                out += part;
            }
        }
        return out;
    }
    std::vector<std::uint32_t> words;
};

} // namespace korda::test
