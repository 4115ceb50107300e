#include "logdata/ConfigReadBack.h"

#include "channels/CompProcessors.h"
#include "comm/SCPIHandler.h"
#include "comm/ScpiText.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"
#include "core/Numbers.h"
#include "core/Status.h"
#include "core/Text.h"
#include "logdata/CsvProcessors.h"
#include "logdata/SetupCells.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace korda32ex {

namespace {

constexpr std::uint32_t kMinimumCaptureWaitMs = 60000;

// Queries, replies and parse of one read-back processor, handed its reply
// lines the way a parent composite hands them out.
int readBack(SCPIHandler& h, IProcessor& p, VmrInstConfig& record) {
    CompositeProcessor parent;
    parent.addChild(std::shared_ptr<IProcessor>(&p, [](IProcessor*) {}));
    CommandList queries;
    if (!parent.buildQueries(queries, &h)) return status::kInvalidRequest;
    std::string replies;
    if (!queries.empty()) {
        std::vector<std::string> lines;
        const int st = h.queryLines(queries, lines);
        if (st != status::kOk) return st;
        for (const auto& line : lines) {
            replies += line;
            replies += '\n';
        }
    }
    std::string errorText;
    int errorCode = 0;
    if (parent.parseResponse(replies, record, errorText, errorCode)) return status::kOk;
    h.recordError(errorCode, errorText);
    return errorCode;
}

// The unit of a computed channel is in no column of the setup text: the
// instrument is asked for it.
int readComputedUnit(SCPIHandler& h, int index, VmrInstConfig& record) {
    std::string reply;
    const int st = h.query("CALC:MATH:UNIT? (@" + std::to_string(501 + index) + ")", reply);
    if (st != status::kOk) return st;
    logdata::storeCellText(scpitext::unquotedReply(reply), record.computed[index].unit);
    return status::kOk;
}

bool analogConfigured(std::uint32_t function) {
    return function >= 1 && function <= 13;
}

// The interval in whole seconds of a "TRIG:TIM?" reply, within 32 bits.
std::uint32_t intervalSeconds(const std::string& reply) {
    const double v = readLeadingReal(reply).value_or(0.0);
    if (!(v > 0)) return 0;
    return v >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

} // namespace

std::uint32_t captureWaitMs(const std::string& scanListReply) {
    const std::uint64_t fields =
        static_cast<std::uint64_t>(std::count(scanListReply.begin(), scanListReply.end(), ',')) + 1;
    return static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(fields * 1000, kMinimumCaptureWaitMs, 0xFFFFFFFFu));
}

int captureConfiguration(SCPIHandler& h, VmrInstConfig& record, CaptureState& state) {
    state = CaptureState{};
    std::string reply;
    int st = h.query("DATA:LOG:AUTO?", reply);
    if (st != status::kOk) return st;
    if (reply == "0") {
        st = h.sendCommand("DATA:LOG:AUTO 1");
        if (st != status::kOk) return st;
        record.recordDestination = 0;
    } else {
        record.recordDestination = 1;
    }

    st = h.query("DATA:LOG:DEST?", reply);
    if (st != status::kOk) return st;
    if (!equalsIgnoringCase(reply, "MEM")) {
        st = h.sendCommand("DATA:LOG:DEST MEM");
        if (st != status::kOk) return st;
        if (record.recordDestination == 1)
            record.recordDestination = 2;
        else
            state.destinationSwitched = true;
    }

    // The instrument's own trigger count, so that the restore can put it back.
    st = h.query("TRIG:COUN?", reply);
    if (st != status::kOk) return st;
    const auto count = readLeadingInteger(reply);
    if (!count || *count < 0 || *count > std::numeric_limits<std::uint32_t>::max())
        return status::kInvalidResponse;
    record.triggerCount = static_cast<std::uint32_t>(*count);

    st = h.sendCommands({"ABOR", "TRIG:COUN 2"});
    if (st != status::kOk) return st;

    st = h.query("ROUT:SCAN?", reply);
    if (st != status::kOk) return st;
    if (reply.empty() || reply == "(@)") {
        state.hadScanList = false;
        h.sendCommand("ROUT:SCAN (@1)"); // a scan needs a channel; its status does not matter
    }

    st = h.query("TRIG:TIM?", reply);
    if (st != status::kOk) return st;
    const auto interval = readLeadingReal(reply);
    if (!(interval && *interval == 1.0)) {
        st = h.sendCommand("TRIG:TIM 0");
        if (st != status::kOk) return st;
    }
    if (!reply.empty()) {
        const std::uint32_t n = intervalSeconds(reply);
        record.intervalHours = n / 3600;
        record.intervalMinutes = (n - record.intervalHours * 3600) / 60;
        record.intervalSeconds = n % 60;
    }

    st = h.query("TRIG:SOUR?", reply);
    if (st != status::kOk) return st;
    if (!equalsIgnoringCase(reply, "TIM")) {
        st = h.sendCommand("TRIG:SOUR TIM");
        if (st != status::kOk) return st;
    }
    if (equalsIgnoringCase(reply, "TIM")) {
        record.triggerSource = 0;
    } else if (equalsIgnoringCase(reply, "EXT")) {
        record.triggerSource = 1;
    } else if (equalsIgnoringCase(reply, "AUTO")) {
        record.triggerSource = 3;
    } else if (equalsIgnoringCase(reply, "ALAR")) {
        record.triggerSource = 2;
        std::string channel;
        st = h.query("TRIG:ALAR:CHAN?", channel);
        if (st != status::kOk) return st;
        if (!channel.empty()) {
            const auto n = readLeadingInteger(channel);
            record.alarmTriggerChannel =
                n && *n > 0 && *n <= 0xFFFFFFFF ? static_cast<std::uint32_t>(*n) : 0;
        }
    }

    st = h.sendCommand("INIT");
    if (st != status::kOk) return st;

    // Wait for the scan with a time limit of this one query's own.
    std::string scanList;
    h.query("ROUT:SCAN?", scanList);
    st = h.query("*OPC?", reply, captureWaitMs(scanList));
    if (st != status::kOk) return st;
    return reply == "1" ? status::kOk : status::kInvalidRequest;
}

int readBackLiveSettings(SCPIHandler& h, VmrInstConfig& record) {
    InstConfigForCSVProcessor instrument;
    int st = readBack(h, instrument, record);
    if (st != status::kOk) return st;
    for (int slot = 0; slot < 4; ++slot) {
        for (int index = 0; index < VMR_CHANNELS_PER_AREA; ++index) {
            if (!analogConfigured(record.modules[slot].channels[index].function)) continue;
            ChannelForCSVProcessor channel(slot, index);
            st = readBack(h, channel, record);
            if (st != status::kOk) return st;
        }
    }
    for (int index = 0; index < VMR_COMPUTED_CHANNELS; ++index) {
        const std::uint32_t function = record.computed[index].function;
        if (!isKnownFunction(function)) continue;
        ComputedChannelForCSVProcessor computed(kComputedSlot, index);
        st = readBack(h, computed, record);
        if (st != status::kOk) return st;
        st = readComputedUnit(h, index, record);
        if (st != status::kOk) return st;
        if (usesOperandB(function)) {
            CompBChannelProcessor operandB(kComputedSlot, index);
            st = readBack(h, operandB, record);
            if (st != status::kOk) return st;
        }
        if (usesOperandA(function)) {
            CompAChannelProcessor operandA(kComputedSlot, index);
            st = readBack(h, operandA, record);
            if (st != status::kOk) return st;
        }
    }
    return status::kOk;
}

int restoreConfiguration(SCPIHandler& h, VmrInstConfig& record, const CaptureState& state) {
    int st = h.sendCommand("MEMory:LOG:DELete");
    if (st != status::kOk) return st;

    if (record.recordDestination == 0) {
        st = h.sendCommand("DATA:LOG:AUTO 0");
        if (st == status::kOk && state.destinationSwitched)
            st = h.sendCommand("DATA:LOG:DEST MMEM");
    } else if (record.recordDestination == 2) {
        st = h.sendCommand("DATA:LOG:DEST MMEM");
    }
    if (st != status::kOk) return st;

    const std::uint64_t seconds = std::uint64_t{record.intervalHours} * 3600 +
                                  std::uint64_t{record.intervalMinutes} * 60 +
                                  record.intervalSeconds;
    if (seconds != 1) {
        st = h.sendCommand("TRIG:TIM " + std::to_string(seconds));
        if (st != status::kOk) return st;
    }

    if (record.triggerSource != 0) {
        CommandList commands;
        if (record.triggerSource == 1) {
            commands.push_back("TRIG:SOUR EXT");
        } else if (record.triggerSource == 2) {
            commands.push_back("TRIG:SOUR ALAR");
            // No channel was set (the instrument answered 0): naming channel 0
            // would be refused and leave the rest of the capture in place.
            if (record.alarmTriggerChannel != 0)
                commands.push_back("TRIG:ALAR:CHAN " + channelList(record.alarmTriggerChannel));
        } else {
            commands.push_back("TRIG:SOUR AUTO");
        }
        st = h.sendCommands(commands);
        if (st != status::kOk) return st;
    }

    if (record.triggerCount != 1) {
        st = h.sendCommand("TRIG:COUN " + std::to_string(record.triggerCount));
        if (st != status::kOk) return st;
    }

    if (!state.hadScanList) {
        record.channel1.function = 0;
        st = h.sendCommand("ROUT:CHAN:STAT OFF,(@1)");
        if (st != status::kOk) return st;
    }
    return status::kOk;
}

} // namespace korda32ex
