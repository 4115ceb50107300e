// The processor interface of the scan operations: each produces its SCPI
// commands and queries and parses the instrument's replies.
#pragma once

#include "korda32ext.h"

#include <string>
#include <vector>

namespace korda32ex {

class SCPIHandler;

class IScanProcessor {
  public:
    virtual ~IScanProcessor() = default;
    // Appends setting commands; on failure sets the error outputs and returns false.
    virtual bool buildCommands(std::vector<std::string>& commands, std::string& errorText,
                               int& errorCode) = 0;
    // Takes one reply apart (into record, when the processor fills one); on
    // failure sets the error outputs and returns false.
    virtual bool parseResponse(const std::string& reply, ScanRecord* record, std::string& errorText,
                               int& errorCode) = 0;
    // Appends the queries whose replies parseResponse takes.
    virtual bool buildQueries(ScanRecord* record, unsigned requested,
                              std::vector<std::string>& queries, SCPIHandler& handler) = 0;
    virtual int responseCount() const { return 1; }
};

} // namespace korda32ex
