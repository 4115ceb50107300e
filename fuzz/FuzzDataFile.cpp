// The data-file reader and the line check on arbitrary text: the scans are
// counted, read into a record sized exactly for the scans asked for (at the
// most readings a scan can have), then read again as a continuation; every
// line goes through the check chain.
#include "FuzzSupport.h"
#include "core/Text.h"
#include "logdata/DataFileReader.h"
#include "logdata/LineCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t kMaxRequested = 8;

// A record with room for `scans` scans of the most readings, and nothing more.
std::vector<std::uint8_t> scanBuffer(std::size_t scans) {
    return std::vector<std::uint8_t>(DLXVMR_SCAN_BUFFER_SIZE(scans, DLXVMR_MAX_READINGS_PER_SCAN));
}

ScanRecord& freshRecord(std::vector<std::uint8_t>& buffer) {
    auto& record = *reinterpret_cast<ScanRecord*>(buffer.data());
    record.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
    record.scanCount = 0;
    record.scansRemaining = 0;
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korda::fuzz::InputReader in(data, size);
    const std::size_t requested = in.byte() % (kMaxRequested + 1);
    const std::uint8_t firstState = in.byte();
    const std::string_view text = in.rest();

    int count = 0;
    korda32ex::logdata::countScans(text, count);
    if (count < 0) std::abort();

    auto buffer = scanBuffer(requested);
    ScanRecord& record = freshRecord(buffer);
    const int stored =
        korda32ex::logdata::readDataText(text, 0, static_cast<int>(requested), record);
    if (stored < 0 || static_cast<std::size_t>(record.scanCount) > requested) std::abort();

    // A continuation from where the first read stopped, in a fresh record.
    const int remaining = record.scansRemaining;
    auto more = scanBuffer(requested);
    ScanRecord& next = freshRecord(more);
    next.scansRemaining = remaining;
    korda32ex::logdata::readDataText(text, record.scanCount, static_cast<int>(requested), next);
    if (static_cast<std::size_t>(next.scanCount) > requested) std::abort();

    std::uint8_t state = firstState;
    for (const std::string_view line : korda32ex::splitLines(text))
        korda32ex::logdata::checkLine(line, state);
    return 0;
}
