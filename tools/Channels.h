// The channels behind the columns of a CSV: which channels a record scans,
// their names and units, and the records and buffers the library fills.
#pragma once

#include "Output.h"
#include "korda32ext.h"

#include <memory>
#include <string>
#include <vector>

namespace korda::tool {

// Scans fetched or read per library call.
constexpr int kFetchChunk = 1000;

// Name and unit of a channel in a record; empty when not configured there.
void describeChannel(const VmrInstConfig& config, Column& column);
// The channels a record scans, in the instrument's order: channel 1, the
// channels of the present modules, the computed channels.
std::vector<int> scannedChannels(const VmrInstConfig& config);
// Channel numbers of a "(@101,102,105:107)" reply; empty when it is not one.
std::vector<int> parseChannelList(const std::string& reply);
// The columns of readings of the channels, named from the record when given;
// columns by position when the channels do not match the readings.
std::vector<Column> columnsFor(const std::vector<int>& channels, int readings,
                               const VmrInstConfig* config);

// The columns of the channels with the names and units the instrument holds,
// asked of it channel by channel (what it cannot tell stays empty).
class Connection;
std::vector<Column> instrumentColumns(Connection& connection, const std::vector<int>& channels);
// The text of a quoted reply ("\"Oven\"" -> Oven, a doubled mark inside
// standing for one); other replies as they stand.
std::string unquote(const std::string& reply);

// A cleared configuration record.
std::unique_ptr<VmrInstConfig> newRecord();
// A buffer for a scan record of up to scans scans of the most readings.
std::vector<unsigned char> scanBuffer(int scans);

} // namespace korda::tool
