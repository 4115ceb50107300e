// The instrument settings, one row each: the query that reads a setting back,
// and either the two commands and two reply words of a two-state setting or
// the functions of a setting with more to it.
#include "config/InstrumentSettingProcessors.h"

#include "config/ProcessorSupport.h"
#include "core/Numbers.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace korda32ex {

namespace {

constexpr std::uint32_t kFahrenheit = 0x10;
constexpr std::uint32_t kDataSecurity = 0x20;
constexpr std::uint32_t kAutoContinuous = 0x40;
constexpr std::uint32_t kResumeScan = 0x80;
constexpr std::uint32_t kExternalSource = 1;
constexpr std::uint32_t kAutomaticSource = 3;
constexpr std::int64_t kMostScansPerTrigger = 99999;

constexpr std::array<TokenCode, 4> kSources{{{"TIM", 0}, {"EXT", 1}, {"ALAR", 2}, {"AUTO", 3}}};
constexpr std::array<TokenCode, 4> kAutoOrders{{{"LIN", 0}, {"ALT", 1}, {"REV", 2}, {"000", 3}}};
constexpr std::array<TokenCode, 2> kDestinations{{{"MEM", 1}, {"MMEM", 2}}};
// Reading-rate bits (0-2 of flags) as the reply words set them.
constexpr std::array<TokenCode, 4> kRateReplies{
    {{"FAST", 0}, {"MED", 1}, {"SLOW", 3}, {"NPLC", 6}}};

using Build = void (*)(const VmrInstConfig&, CommandList&);
using Parse = bool (*)(const std::string& reply, VmrInstConfig&, std::string& errorText,
                       int& errorCode);

// A setting with two states: one bit of a field, or a whole field that is on
// when it is not 0 and is read back as 1 or 0.
struct TwoState {
    std::uint32_t VmrInstConfig::*field = nullptr;
    std::uint32_t bit = 0; // 0: the whole field
    std::string_view onCommand, offCommand;
    std::string_view onReply, offReply;
};

// ---- Settings with more than two states ----

// The destination command is preceded by switching recording on; without a
// destination recording is switched off.
void buildDestination(const VmrInstConfig& record, CommandList& commands) {
    const TokenCode* destination = findCode(record.recordDestination, kDestinations);
    if (destination == nullptr) {
        commands.push_back("DATA:LOG:AUTO 0");
        return;
    }
    commands.push_back("DATA:LOG:AUTO 1");
    commands.push_back("DATA:LOG:DEST " + std::string(destination->token));
}

// "MEM" and "MMEM" give the destination code; flags are not touched.
bool parseDestination(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                      int& errorCode) {
    return parseTokenField(reply, kDestinations, record.recordDestination, errorText, errorCode);
}

void buildSampleRate(const VmrInstConfig& record, CommandList& commands) {
    const std::uint32_t f = record.flags;
    if ((f & 3) == 3)
        commands.push_back("RATE SLOW");
    else if ((f & 1) != 0)
        commands.push_back("RATE MEDIUM");
    else if ((f & 6) == 6)
        commands.push_back("RATE NPLC");
    else
        commands.push_back("RATE FAST");
}

// The parse only sets bits: it expects them clear (a read-back starts from a
// zeroed record).
bool parseSampleRate(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                     int& errorCode) {
    const TokenCode* rate = findToken(reply, kRateReplies);
    if (rate == nullptr) return invalidResponse(reply, errorText, errorCode);
    record.flags |= rate->code;
    return true;
}

void buildScanCount(const VmrInstConfig& record, CommandList& commands) {
    commands.push_back("TRIG:COUN " + std::to_string(record.triggerCount));
}

// A reply that is no number reads 0; a count above 99999 (or below 0) is
// invalid.
bool parseScanCount(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                    int& errorCode) {
    bool outOfRange = false;
    const std::int64_t count = readLeadingInteger(reply, &outOfRange).value_or(0);
    if (outOfRange || count < 0 || count > kMostScansPerTrigger)
        return invalidResponse(reply, errorText, errorCode);
    record.triggerCount = static_cast<std::uint32_t>(count);
    return true;
}

void buildTriggerSource(const VmrInstConfig& record, CommandList& commands) {
    const TokenCode* source = findCode(record.triggerSource, kSources);
    commands.push_back("TRIG:SOUR " + std::string(source != nullptr ? source->token : "AUTO"));
}

bool parseTriggerSource(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                        int& errorCode) {
    return parseTokenField(reply, kSources, record.triggerSource, errorText, errorCode);
}

void buildAutoOrder(const VmrInstConfig& record, CommandList& commands) {
    const char* order = record.autoTriggerOrder == 0   ? "LIN"
                        : record.autoTriggerOrder == 1 ? "ALT"
                                                       : "REV";
    commands.push_back(std::string("TRIG:AUTO:ORD ") + order);
}

bool parseAutoOrder(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                    int& errorCode) {
    return parseTokenField(reply, kAutoOrders, record.autoTriggerOrder, errorText, errorCode);
}

// The interval in seconds is computed in 64 bits, so large hour counts are
// sent as they are rather than wrapped.
void buildScanInterval(const VmrInstConfig& record, CommandList& commands) {
    if (record.triggerSource == kExternalSource) {
        commands.push_back("TRIG:TIM INF");
        return;
    }
    const std::uint64_t seconds = std::uint64_t{record.intervalHours} * 3600 +
                                  std::uint64_t{record.intervalMinutes} * 60 +
                                  record.intervalSeconds;
    commands.push_back("TRIG:TIM " + std::to_string(seconds));
}

bool parseScanInterval(const std::string& reply, VmrInstConfig& record, std::string&, int&) {
    const std::uint32_t n = readUnsignedOrZero(reply);
    record.intervalHours = n / 3600;
    record.intervalMinutes = (n - record.intervalHours * 3600) / 60;
    record.intervalSeconds = n % 60;
    return true;
}

// The count is only ever read from the instrument.
void buildNothing(const VmrInstConfig&, CommandList&) {}

bool parseTotalizerCount(const std::string& reply, VmrInstConfig& record, std::string&, int&) {
    record.totalizerCount = readUnsignedOrZero(reply);
    return true;
}

} // namespace

struct InstrumentSettingRow {
    InstrumentSetting setting;
    std::string_view query;
    TwoState twoState{}; // used when build and parse are null
    Build build = nullptr;
    Parse parse = nullptr;
    // Sent and read back only while the trigger source is automatic.
    bool automaticOnly = false;
};

namespace {

using S = InstrumentSetting;
using R = InstrumentSettingRow;
using C = VmrInstConfig;

// In the order of InstrumentSetting.
constexpr R kSettings[] = {
    {S::TempUnit, "UNIT:TEMP?", {&C::flags, kFahrenheit, "UNIT:TEMP F", "UNIT:TEMP C", "F", "C"}},
    {S::Destination, "DATA:LOG:DEST?", {}, buildDestination, parseDestination},
    {S::SampleRate, "RATE?", {}, buildSampleRate, parseSampleRate},
    {S::ScanCount, "TRIG:COUN?", {}, buildScanCount, parseScanCount},
    {S::TriggerType, "TRIG:SOUR?", {}, buildTriggerSource, parseTriggerSource},
    {S::TriggerAutoOrder, "TRIG:AUTO:ORD?", {}, buildAutoOrder, parseAutoOrder, true},
    {S::ResumeScanOnPower,
     "ROUT:SCAN:RES?",
     {&C::flags, kResumeScan, "ROUT:SCAN:RES 1", "ROUT:SCAN:RES 0", "1", "0"}},
    {S::DataSecurity,
     "MEM:LOG:SEC?",
     {&C::flags, kDataSecurity, "MEM:LOG:SEC 1", "MEM:LOG:SEC 0", "1", "0"}},
    {S::SourceControl,
     "TRIG:AUTO:CONT?",
     {&C::flags, kAutoContinuous, "TRIG:AUTO:CONT 1", "TRIG:AUTO:CONT 0", "1", "0"},
     nullptr,
     nullptr,
     true},
    {S::AutoRecording,
     "DATA:LOG:AUTO?",
     {&C::recordDestination, 0, "DATA:LOG:AUTO 1", "DATA:LOG:AUTO 0", "1", "0"}},
    {S::ScanInterval, "TRIG:TIM?", {}, buildScanInterval, parseScanInterval},
    {S::TotalizerDebounce,
     "TOT:DEB?",
     {&C::totalizerDebounce, 0, "TOT:DEB ON", "TOT:DEB OFF", "1", "0"}},
    {S::TotalizerStartCount, "TOT:DATA?", {}, buildNothing, parseTotalizerCount},
    {S::TotalizerMode,
     "TOT:TYPE?",
     {&C::totalizerType, 0, "TOT:TYPE RRES", "TOT:TYPE READ", "RRES", "READ"}},
    {S::TotalizerReset,
     "TOT:STAT?",
     {&C::totalizerState, 0, "TOT:STAT ON", "TOT:STAT OFF", "1", "0"}},
};

constexpr bool rowsInOrder() {
    for (std::size_t i = 0; i < std::size(kSettings); ++i)
        if (static_cast<std::size_t>(kSettings[i].setting) != i) return false;
    return true;
}
static_assert(rowsInOrder(), "one row per setting, in the order of InstrumentSetting");

bool isOn(const TwoState& s, const VmrInstConfig& record) {
    const std::uint32_t value = record.*s.field;
    return s.bit == 0 ? value != 0 : (value & s.bit) != 0;
}

bool parseTwoState(const TwoState& s, const std::string& reply, VmrInstConfig& record,
                   std::string& errorText, int& errorCode) {
    bool on = false;
    if (equalsIgnoringCase(reply, s.onReply))
        on = true;
    else if (!equalsIgnoringCase(reply, s.offReply))
        return invalidResponse(reply, errorText, errorCode);
    std::uint32_t& value = record.*s.field;
    if (s.bit == 0)
        value = on ? 1 : 0;
    else if (on)
        value |= s.bit;
    else
        value &= ~s.bit;
    return true;
}

// The automatic-trigger settings are read back only while the instrument's
// trigger source is automatic.
bool automaticSourceActive(SCPIHandler* handler) {
    return immediateReplyIs(handler, "TRIG:SOUR?", "AUTO");
}

} // namespace

InstrumentSettingProcessor::InstrumentSettingProcessor(InstrumentSetting setting)
    : row_(kSettings[static_cast<std::size_t>(setting)]) {}

bool InstrumentSettingProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                               std::string&, int&) {
    if (row_.automaticOnly && record.triggerSource != kAutomaticSource) return true;
    if (row_.build != nullptr)
        row_.build(record, commands);
    else
        commands.emplace_back(isOn(row_.twoState, record) ? row_.twoState.onCommand
                                                          : row_.twoState.offCommand);
    return true;
}

bool InstrumentSettingProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (row_.automaticOnly && !automaticSourceActive(handler))
        skipped_ = true;
    else
        queries.emplace_back(row_.query);
    return true;
}

bool InstrumentSettingProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                               std::string& errorText, int& errorCode) {
    if (skipped_) return true;
    if (row_.parse != nullptr) return row_.parse(reply, record, errorText, errorCode);
    return parseTwoState(row_.twoState, reply, record, errorText, errorCode);
}

} // namespace korda32ex
