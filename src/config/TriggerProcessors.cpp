// Trigger: source, scans per trigger, automatic-trigger order and
// continuation, and the timer's scan interval.
#include "config/InstrumentSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "core/Numbers.h"

#include <array>

namespace korda32ex {

namespace {

constexpr std::uint32_t kAutoContinuous = 0x40;
constexpr std::uint32_t kExternalSource = 1;
constexpr std::uint32_t kAutomaticSource = 3;
constexpr std::int64_t kMostScansPerTrigger = 99999;

constexpr std::array<TokenCode, 4> kSources{{{"TIM", 0}, {"EXT", 1}, {"ALAR", 2}, {"AUTO", 3}}};
constexpr std::array<TokenCode, 4> kAutoOrders{{{"LIN", 0}, {"ALT", 1}, {"REV", 2}, {"000", 3}}};

// The automatic-trigger settings are read back only while the instrument's
// trigger source is automatic.
bool automaticSourceActive(SCPIHandler* handler) {
    return immediateReplyIs(handler, "TRIG:SOUR?", "AUTO");
}

} // namespace

// ---- Scans per trigger ----

bool ScanCountProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                       std::string&, int&) {
    commands.push_back("TRIG:COUN " + std::to_string(record.triggerCount));
    return true;
}

bool ScanCountProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TRIG:COUN?");
    return true;
}

// A reply that is no number reads 0; a count above 99999 (or below 0) is
// invalid.
bool ScanCountProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                       std::string& errorText, int& errorCode) {
    bool outOfRange = false;
    const std::int64_t count = readLeadingInteger(reply, &outOfRange).value_or(0);
    if (outOfRange || count < 0 || count > kMostScansPerTrigger)
        return invalidResponse(reply, errorText, errorCode);
    record.triggerCount = static_cast<std::uint32_t>(count);
    return true;
}

// ---- Trigger source ----

bool TriggerTypeProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                         std::string&, int&) {
    const TokenCode* source = findCode(record.triggerSource, kSources);
    commands.push_back("TRIG:SOUR " + std::string(source != nullptr ? source->token : "AUTO"));
    return true;
}

bool TriggerTypeProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TRIG:SOUR?");
    return true;
}

bool TriggerTypeProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                         std::string& errorText, int& errorCode) {
    return parseTokenField(reply, kSources, record.triggerSource, errorText, errorCode);
}

// ---- Automatic trigger: order ----

bool TriggerAutoOrderProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                              std::string&, int&) {
    if (record.triggerSource != kAutomaticSource) return true;
    const char* order = record.autoTriggerOrder == 0   ? "LIN"
                        : record.autoTriggerOrder == 1 ? "ALT"
                                                       : "REV";
    commands.push_back(std::string("TRIG:AUTO:ORD ") + order);
    return true;
}

bool TriggerAutoOrderProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (automaticSourceActive(handler))
        queries.push_back("TRIG:AUTO:ORD?");
    else
        skipped_ = true;
    return true;
}

bool TriggerAutoOrderProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                              std::string& errorText, int& errorCode) {
    if (skipped_) return true;
    return parseTokenField(reply, kAutoOrders, record.autoTriggerOrder, errorText, errorCode);
}

// ---- Automatic trigger: continuous ----

bool SourceControlProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                           std::string&, int&) {
    if (record.triggerSource != kAutomaticSource) return true;
    commands.push_back((record.flags & kAutoContinuous) != 0 ? "TRIG:AUTO:CONT 1"
                                                             : "TRIG:AUTO:CONT 0");
    return true;
}

bool SourceControlProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (automaticSourceActive(handler))
        queries.push_back("TRIG:AUTO:CONT?");
    else
        skipped_ = true;
    return true;
}

bool SourceControlProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                           std::string& errorText, int& errorCode) {
    if (skipped_) return true;
    return parseFlagBit(reply, record.flags, kAutoContinuous, "1", "0", errorText, errorCode);
}

// ---- Scan interval ----

// The interval in seconds is computed in 64 bits, so large hour counts are
// sent as they are rather than wrapped.
bool ScanIntervalProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                          std::string&, int&) {
    if (record.triggerSource == kExternalSource) {
        commands.push_back("TRIG:TIM INF");
        return true;
    }
    const std::uint64_t seconds = std::uint64_t{record.intervalHours} * 3600 +
                                  std::uint64_t{record.intervalMinutes} * 60 +
                                  record.intervalSeconds;
    commands.push_back("TRIG:TIM " + std::to_string(seconds));
    return true;
}

bool ScanIntervalProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("TRIG:TIM?");
    return true;
}

bool ScanIntervalProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                          std::string&, int&) {
    const std::uint32_t n = readUnsignedOrZero(reply);
    record.intervalHours = n / 3600;
    record.intervalMinutes = (n - record.intervalHours * 3600) / 60;
    record.intervalSeconds = n % 60;
    return true;
}

} // namespace korda32ex
