// Reading the configuration an instrument runs back into a configuration
// record. The instrument has no query for a whole configuration, so it is made
// to log one short scan (the capture); the configuration that belongs to that
// log comes back in the setup-file format, live queries complete what the
// setup text does not carry, and the restore puts back what the capture
// changed.
#pragma once

#include "korda32ext.h"

#include <cstdint>
#include <string>

namespace korda32ex {

class SCPIHandler;

// What the capture changed beyond the fields it saves into the record.
struct CaptureState {
    // The instrument had a scan list (the capture gave it channel 1 otherwise).
    bool hadScanList = true;
    // Logging was off and the destination was switched to the log memory.
    bool destinationSwitched = false;
};

// Makes the instrument log one short scan into its log memory: saves trigger
// count, interval, source (and alarm channel) and the logging settings into
// the record, switches to logging into the memory with a timer trigger of
// count 2, starts, and waits for the end of the scan ("*OPC?", allowed the
// larger of 1 s per scanned channel and 60 s). The first failing status; -1
// when "*OPC?" answers anything but "1".
int captureConfiguration(SCPIHandler& handler, VmrInstConfig& record, CaptureState& state);

// The "*OPC?" wait of the capture for a "ROUT:SCAN?" reply: 1 s per channel
// in it, at least 60 s.
std::uint32_t captureWaitMs(const std::string& scanListReply);

// Fills what the setup text does not carry with live queries: temperature
// unit, resume and totalizer settings, the alarm outputs of the configured
// analog channels of module areas 0-3, and the alarm settings, scaling and
// operands of the configured computed channels. A failed parse records its
// text through the handler and returns its code.
int readBackLiveSettings(SCPIHandler& handler, VmrInstConfig& record);

// Undoes the capture from the values saved in the record: deletes the
// captured log, puts logging, interval, trigger source and count back, and
// switches channel 1 off again when the capture added it.
int restoreConfiguration(SCPIHandler& handler, VmrInstConfig& record, const CaptureState& state);

} // namespace korda32ex
