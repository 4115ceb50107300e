// Fetches readings: the count query, one "DATA:READ?" per scan, and the
// parse of each reply into the caller's scan record.
#pragma once

#include "core/Status.h"
#include "scan/IScanProcessor.h"

#include <string_view>

namespace korda32ex {

class ScansProcessor final : public IScanProcessor {
  public:
    // Appends nothing.
    bool buildCommands(std::vector<std::string>& commands, std::string& errorText,
                       int& errorCode) override;
    // Takes one reply into the record's next entry; see scan::storeScanLine. Rejections give code
    // -1 with "Invalid response: " and the reply, or "Invalid response received".
    bool parseResponse(const std::string& reply, ScanRecord* record, std::string& errorText,
                       int& errorCode) override;
    // parseResponse for a reply line viewed where it arrived.
    bool parseLine(std::string_view reply, ScanRecord* record, std::string& errorText,
                   int& errorCode);
    // Asks "DATA:POIN?", sets entrySize, scanCount and scansRemaining, and
    // appends one "DATA:READ?" per scan to fetch (at most requested). False,
    // with the record untouched, when the count could not be had; see
    // countFailure.
    bool buildQueries(ScanRecord* record, unsigned requested, std::vector<std::string>& queries,
                      SCPIHandler& handler) override;

    // The status of a failed count step: -1012 when the query failed, -2035
    // when its reply was not a count.
    int countFailure() const { return countFailure_; }

  private:
    int countFailure_ = status::kSocketRead;
};

} // namespace korda32ex
