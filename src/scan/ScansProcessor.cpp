#include "scan/ScansProcessor.h"

#include "comm/SCPIHandler.h"
#include "core/Text.h"
#include "scan/ScanParser.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace korda32ex {

bool ScansProcessor::buildCommands(std::vector<std::string>&, std::string&, int&) {
    return true;
}

bool ScansProcessor::parseResponse(const std::string& reply, ScanRecord* record,
                                   std::string& errorText, int& errorCode) {
    return parseLine(reply, record, errorText, errorCode);
}

bool ScansProcessor::parseLine(std::string_view line, ScanRecord* record, std::string& errorText,
                               int& errorCode) {
    errorCode = status::kInvalidRequest;
    if (record == nullptr) {
        errorText = "Invalid response received";
        return false;
    }
    switch (scan::storeScanLine(line, *record)) {
    case scan::LineResult::Stored:
        return true;
    case scan::LineResult::NotAScan:
        errorText = "Invalid response: " + std::string(line);
        return false;
    case scan::LineResult::Malformed:
        break;
    }
    errorText = "Invalid response received";
    return false;
}

bool ScansProcessor::buildQueries(ScanRecord* record, unsigned requested,
                                  std::vector<std::string>& queries, SCPIHandler& handler) {
    std::int64_t available = 0;
    const int st =
        handler.queryInt("DATA:POIN?", available, 0, std::numeric_limits<std::int32_t>::max());
    if (st != status::kOk || record == nullptr) {
        countFailure_ = st == status::kInvalidResponse && record != nullptr
                            ? status::kInvalidResponse
                            : status::kSocketRead;
        return false;
    }
    const auto held = static_cast<unsigned>(available);
    const unsigned n = held > requested ? requested : held;
    record->entrySize = static_cast<std::int32_t>(scan::kRecordHeaderSize);
    record->scanCount = 0;
    record->scansRemaining = static_cast<std::int32_t>(held > requested ? held - requested : 0);
    queries.reserve(queries.size() + n);
    for (unsigned i = 0; i < n; ++i)
        queries.emplace_back("DATA:READ?");
    return true;
}

} // namespace korda32ex
