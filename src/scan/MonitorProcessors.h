// Monitoring of one channel: switching it on and off, and taking one reading.
#pragma once

#include <string>
#include <vector>

namespace korda32ex {

// Switches monitoring on or off.
class SpyEnableProcessor final {
  public:
    explicit SpyEnableProcessor(int enableMonitor) : enable(enableMonitor) {}
    // Appends "ROUT:MON:STAT ON" or "ROUT:MON:STAT OFF".
    bool buildCommands(std::vector<std::string>& commands, std::string& errorText,
                       int& errorCode) const;

    int enable;
};

// Selects the channel, one sweep, monitoring on, and starts.
bool buildMonitorReadingCommands(std::vector<std::string>& commands, unsigned channel);
// Appends "ROUT:MON:DATA?".
bool buildMonitorReadingQuery(std::vector<std::string>& queries);
// One monitor reading: the overload values give infinities, any other number
// is read as it stands, and a reply that is no number gives the instrument's
// not-a-number value 9.91e37. An empty reply is an invalid response (-1).
bool parseMonitorReading(const std::string& reply, float& reading, std::string& errorText,
                         int& errorCode);

} // namespace korda32ex
