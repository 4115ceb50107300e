// The configuration that belongs to a log file of the instrument's log memory:
// the instrument returns it in the setup-file format, and parsing it fills a
// configuration record the way a setup file from a USB drive does.
#pragma once

#include "config/IProcessor.h"

namespace korda32ex {

class LogDataFetchProcessor : public IProcessor {
  public:
    // "MEM:LOG:STOR".
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    // An empty reply returns false and leaves errorText and errorCode alone;
    // any other text goes to the setup-file parser (which changes only the
    // fields its rows carry) and true is returned.
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    // "MEM:LOG:READ:CONF?": the configuration of the newest log file.
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
};

} // namespace korda32ex
