// The scan-reply parser on arbitrary lines: lines are stored one after the
// other into a record with room for exactly as many scans of the most readings
// as there are lines, so a write past an entry or the record is caught.
// Readings come two ways, read while the line is split and read field by
// field; both must give the same bits, and a reading in the usual form must
// have the value and length from_chars gives it.
#include "core/Numbers.h"
#include "core/Text.h"
#include "scan/ScanParser.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using korda32ex::scan::LineResult;

namespace {

// The usual form read at the start of field (after one sign) against
// from_chars on the same text.
void checkUsualForm(std::string_view field) {
    const char* p = field.data();
    const char* const end = p + field.size();
    if (p < end && (*p == '-' || *p == '+')) ++p;
    double fast = 0;
    const char* const stop = korda32ex::readFixedScientific(p, end, fast);
    if (stop == nullptr) return;
    double slow = 0;
    const auto r = std::from_chars(p, end, slow);
    if (r.ec != std::errc() || r.ptr != stop || std::memcmp(&fast, &slow, sizeof fast) != 0)
        std::abort();
}

} // namespace

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
        const auto fields = korda32ex::splitAt(line, ',');
        for (const std::string_view field : fields)
            checkUsualForm(field);
        if (korda32ex::scan::storeScanLine(line, record) == LineResult::Stored) {
            const int entrySize = record.entrySize;
            if (entrySize < static_cast<int>(DLXVMR_SCAN_ENTRY_HEADER_SIZE) ||
                entrySize > static_cast<int>(DLXVMR_SCAN_ENTRY_HEADER_SIZE +
                                             4 * DLXVMR_MAX_READINGS_PER_SCAN))
                std::abort();
            const std::size_t readings =
                (static_cast<std::size_t>(entrySize) - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
            const std::uint8_t* stored =
                buffer.data() + DLXVMR_SCAN_RECORD_HEADER_SIZE +
                static_cast<std::size_t>(entrySize) * static_cast<std::size_t>(record.scanCount) +
                DLXVMR_SCAN_ENTRY_HEADER_SIZE;
            for (std::size_t i = 0; i < readings; ++i) {
                const float one = korda32ex::scan::parseReading(fields[i]);
                if (std::memcmp(stored + 4 * i, &one, sizeof one) != 0) std::abort();
            }
            ++record.scanCount;
        }
    }

    // The same lines as a data file hands them over: the readings and the
    // further field as one text, the time stamp as six fields.
    for (const std::string& line : lines) {
        const auto fields = korda32ex::splitAt(line, ',');
        if (fields.size() < 7) continue;
        const std::size_t stampAt = fields.size() - 6;
        const std::string_view readings(
            line.data(), static_cast<std::size_t>(fields[stampAt].data() - 1 - line.data()));
        std::vector<std::uint8_t> one(DLXVMR_SCAN_BUFFER_SIZE(1, DLXVMR_MAX_READINGS_PER_SCAN));
        auto& single = *reinterpret_cast<ScanRecord*>(one.data());
        single.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        korda32ex::scan::storeScanLine(
            readings, std::span<const std::string_view, 6>(fields.data() + stampAt, 6), single);
    }
    return 0;
}
