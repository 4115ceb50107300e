// Starts or stops scanning.
#pragma once

#include "scan/IScanProcessor.h"

#include <cstdint>

namespace korda32ex {

class EnableScansProcessor final : public IScanProcessor {
  public:
    explicit EnableScansProcessor(int enableScans) : enable(enableScans) {}

    // Start: readings with time stamp and alarm state, keys locked, "INIT".
    // Stop: keys unlocked, "ABORt". Never fails.
    bool buildCommands(std::vector<std::string>& commands, std::string& errorText,
                       int& errorCode) override;
    // Accepts a "STAT:OPER?" reply with the scanning bit (256) set.
    bool parseResponse(const std::string& reply, ScanRecord* record, std::string& errorText,
                       int& errorCode) override;
    // Appends "STAT:OPER?".
    bool buildQueries(ScanRecord* record, unsigned requested, std::vector<std::string>& queries,
                      SCPIHandler& handler) override;

    std::int32_t enable;
};

} // namespace korda32ex
