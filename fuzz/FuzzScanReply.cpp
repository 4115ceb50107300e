// The scan-reply parser on arbitrary lines: lines are stored one after the
// other into a record with room for exactly as many scans of the most readings
// as there are lines, so a write past an entry or the record is caught.
#include "core/Text.h"
#include "scan/ScanParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using korda32ex::scan::LineResult;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A line handed over is valid only during its call: kept as copies.
    std::vector<std::string> lines;
    korda32ex::forEachLine(text, korda32ex::LineRule::Reply,
                           [&](std::string_view line) { lines.emplace_back(line); });

    std::vector<std::uint8_t> buffer(
        DLXVMR_SCAN_BUFFER_SIZE(lines.size(), DLXVMR_MAX_READINGS_PER_SCAN));
    auto& record = *reinterpret_cast<ScanRecord*>(buffer.data());
    record.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
    record.scanCount = 0;
    record.scansRemaining = 0;
    for (const std::string& line : lines) {
        korda32ex::scan::parseReading(line);
        if (korda32ex::scan::storeScanLine(line, record) == LineResult::Stored) {
            if (record.entrySize < static_cast<int>(DLXVMR_SCAN_ENTRY_HEADER_SIZE) ||
                record.entrySize > static_cast<int>(DLXVMR_SCAN_ENTRY_HEADER_SIZE +
                                                    4 * DLXVMR_MAX_READINGS_PER_SCAN))
                std::abort();
            ++record.scanCount;
        }
    }

    // The same lines split into fields, as a data file hands them over.
    for (const std::string& line : lines) {
        const auto fields = korda32ex::splitAt(line, ',');
        std::vector<std::uint8_t> one(DLXVMR_SCAN_BUFFER_SIZE(1, DLXVMR_MAX_READINGS_PER_SCAN));
        auto& single = *reinterpret_cast<ScanRecord*>(one.data());
        single.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        korda32ex::scan::storeScanFields(fields, single);
    }
    return 0;
}
