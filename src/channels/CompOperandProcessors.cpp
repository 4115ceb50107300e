// Function and operands of a computed channel: the function word, operand
// channels A and B, the polynomial coefficients and the channel list.
#include "channels/ChannelRules.h"
#include "channels/CompProcessors.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"
#include "core/Numbers.h"

#include <cctype>
#include <string_view>

namespace korda32ex {

namespace {

using namespace channelrules;

struct ComputedFunction {
    std::uint32_t code;
    const char* sent;   // word of the setting command
    const char* parsed; // word of the instrument's reply
};

// Subtraction is sent as "SUB" but answered as "SUBT".
constexpr ComputedFunction kFunctions[] = {
    {0x5000, "POLY", "POLY"}, {0x5001, "SRO", "SRO"},  {0x5002, "POW", "POW"},
    {0x5003, "EXP", "EXP"},   {0x5004, "LOG", "LOG"},  {0x5005, "ABS", "ABS"},
    {0x5006, "REC", "REC"},   {0x5007, "SUB", "SUBT"}, {0x5008, "ADD", "ADD"},
    {0x5009, "MULT", "MULT"}, {0x500A, "DIV", "DIV"},  {0x500B, "AVER", "AVER"},
    {0x500C, "MAX", "MAX"},   {0x500D, "MIN", "MIN"},  {0x500E, "SUM", "SUM"},
};

constexpr std::uint32_t kComputedModulePresent = 5;
constexpr int kSentCoefficients = 6;
constexpr int kListWords = 5;

template <char Operand> constexpr bool operandB = Operand == 'B';

} // namespace

// ---- Function ---------------------------------------------------------------

bool CompChannelFunctionProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                                 std::string&, int&) {
    const ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    for (const auto& f : kFunctions) {
        if (f.code == rec->function) {
            commands.push_back(std::string("CALC:MATH:FUNC ") + f.sent + ",(@" +
                               std::to_string(number()) + ")");
            break;
        }
    }
    return true;
}

bool CompChannelFunctionProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:MATH:FUNC? " + list());
    return true;
}

bool CompChannelFunctionProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                 std::string& errorText, int& errorCode) {
    record.modules[kComputedSlot].moduleState = kComputedModulePresent;
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    if (skipped()) {
        rec->function = VMR_CHANNEL_OFF;
        return true;
    }
    for (const auto& f : kFunctions) {
        if (equalsIgnoringCase(reply, f.parsed)) {
            rec->function = f.code;
            return true;
        }
    }
    return invalidResponse(reply, errorText, errorCode);
}

// ---- Operands A and B -------------------------------------------------------

template <char Operand>
bool CompOperandProcessor<Operand>::buildCommands(const VmrInstConfig& record,
                                                  CommandList& commands, std::string&, int&) {
    const ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    if (operandB<Operand> ? usesOperandB(rec->function) : usesOperandA(rec->function)) {
        const std::uint32_t source = operandB<Operand> ? rec->sourceB : rec->sourceA;
        commands.push_back(
            std::string(operandB<Operand> ? "CALC:MATH:SOUR:BCH " : "CALC:MATH:SOUR:ACH ") + "(@" +
            std::to_string(source) + ")," + list());
    }
    return true;
}

template <char Operand>
bool CompOperandProcessor<Operand>::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back(
        std::string(operandB<Operand> ? "CALC:MATH:SOUR:BCH? " : "CALC:MATH:SOUR:ACH? ") + list());
    return true;
}

template <char Operand>
bool CompOperandProcessor<Operand>::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                  std::string&, int&) {
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    // The instrument may answer a channel list: "(@101)" reads as 101.
    std::string_view t = reply;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
        t.remove_prefix(1);
    if (t.substr(0, 2) == "(@") t.remove_prefix(2);
    (operandB<Operand> ? rec->sourceB : rec->sourceA) = readUnsignedOrZero(t);
    return true;
}

// ---- Coefficients -----------------------------------------------------------

bool CompChannelPolyCoeffProcessor::buildCommands(const VmrInstConfig& record,
                                                  CommandList& commands, std::string&, int&) {
    const ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    if (rec->function == kComputedPolynomial) {
        std::string command = "CALC:MATH:COEF ";
        for (int i = 0; i < kSentCoefficients; ++i) {
            if (i > 0) command += ",";
            command += wire::general(rec->coefficients[i]);
        }
        commands.push_back(command + ", " + list());
    } else if (rec->function == kComputedPower) {
        commands.push_back("CALC:MATH:EXP " + wire::general(rec->coefficients[0]) + "," + list());
    }
    return true;
}

bool CompChannelPolyCoeffProcessor::buildQueries(CommandList& queries, SCPIHandler* handler) {
    if (channelStateGate(handler)) queries.push_back("CALC:MATH:COEF? " + list());
    return true;
}

bool CompChannelPolyCoeffProcessor::parseResponse(const std::string& reply, VmrInstConfig& record,
                                                  std::string& errorText, int& errorCode) {
    if (skipped()) return true;
    if (reply.empty()) return invalidResponse(reply, errorText, errorCode);
    ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr) return true;
    // Each value is ended by a comma; text after the last comma is not read.
    std::size_t start = 0;
    int stored = 0;
    constexpr int kSlots = static_cast<int>(sizeof rec->coefficients / sizeof rec->coefficients[0]);
    while (stored < kSlots) {
        const std::size_t comma = reply.find(',', start);
        if (comma == std::string::npos) break;
        rec->coefficients[stored++] =
            replyNumber(std::string_view(reply).substr(start, comma - start));
        start = comma + 1;
    }
    return true;
}

// ---- Channel list -----------------------------------------------------------

bool CompSelectedChannelsProcessor::buildCommands(const VmrInstConfig& record,
                                                  CommandList& commands, std::string&, int&) {
    const ComputedChannelRecord* rec = recordIn(record);
    if (rec == nullptr || !usesChannelList(rec->function)) return true;
    std::string members;
    for (int k = 0; k < kListWords; ++k)
        for (int b = 0; b < 32; ++b)
            if (rec->sourceList[k] & (1u << b)) members += std::to_string(101 + 100 * k + b) + ",";
    if (rec->listHasChannel1 == 1) members += "1,";
    if (members.empty()) return true; // a list without members is not sent
    members.pop_back();
    commands.push_back("CALC:MATH:SOUR:LIST (@" + members + "), " + list());
    return true;
}

bool CompSelectedChannelsProcessor::buildQueries(CommandList& queries, SCPIHandler*) {
    queries.push_back("CALC:MATH:SOUR:LIST? " + list());
    return true;
}

bool CompSelectedChannelsProcessor::parseResponse(const std::string&, VmrInstConfig&, std::string&,
                                                  int&) {
    return true; // the list is not read back
}

template class CompOperandProcessor<'A'>;
template class CompOperandProcessor<'B'>;

} // namespace korda32ex
