// The virtual instrument's log memory: named log files kept across "*RST".
// While the instrument scans with logging on ("DATA:LOG:AUTO ON") and the
// memory as destination ("DATA:LOG:DEST MEM"), each run records its scans into
// a new log file in the data-file format, through the same writer as the
// recordings on a USB drive, and keeps the setup text of the configuration it
// ran with. The memory has a size; a scan that no longer fits is an
// instrument error and ends the recording of that run.
#pragma once

#include "files/DataFileWriter.h"
#include "korda32ext.h"
#include "scpi/CommandTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korda::sim {

class Instrument;
struct StoredScan;

struct LogFile {
    std::string name;      // "LOG00001.CSV"
    std::string setupText; // the configuration the run started with
    std::string dataText;  // header and one line per scan, CR LF line ends
    std::size_t bytes() const { return setupText.size() + dataText.size(); }
};

struct LogMemory {
    static constexpr std::size_t kDefaultCapacity = std::size_t(16) << 20;

    std::size_t capacity = kDefaultCapacity;
    std::vector<LogFile> files;
    std::uint32_t nextNumber = 1;
    // The file the present run records into (index into files), and its writer.
    std::optional<std::size_t> recording;
    std::optional<DataFileWriter> writer;

    std::size_t used() const;
    std::size_t freeBytes() const { return capacity - std::min(capacity, used()); }
};

// "MEMory:LOG:...", "MEMory:STATe:CLEar".
void registerLogCommands(CommandTable& table);

// The configuration the instrument runs, as a configuration record: what its
// setup text describes.
VmrInstConfig runningConfiguration(const Instrument& instrument);

// Hooks of the scanning run: a run starts (a new log file when logging to the
// memory), a sweep was taken, the run ended.
void beginLogRun(Instrument& instrument, const std::vector<int>& channels);
void logSweep(Instrument& instrument, const StoredScan& scan);
void endLogRun(Instrument& instrument);

// ---- Test control (each takes the instrument's lock) ----
void setLogMemoryCapacity(Instrument& instrument, std::size_t bytes);
std::vector<LogFile> logFiles(Instrument& instrument);

} // namespace korda::sim
