#include "config/InstConfigProcessor.h"

#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "comm/SCPIHandler.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/ModuleProcessor.h"
#include "config/RecordAccess.h"

#include <memory>

namespace korda32ex {

namespace {

constexpr int kScanListAreas = 3;

bool isSet(std::uint32_t function) {
    return function != 0 && function != VMR_CHANNEL_OFF;
}

// The scan list of the record: configured analog channels of the areas that
// hold a module, then configured computed channels, then channel 1.
std::string scanListCommand(const VmrInstConfig& record, bool& any) {
    std::string list = "ROUT:SCAN (@";
    any = false;
    const auto add = [&](int number) {
        if (any) list += ',';
        list += std::to_string(number);
        any = true;
    };
    for (int area = 0; area < kScanListAreas; ++area) {
        if (!modulePresent(record, area)) continue;
        for (int c = 0; c < VMR_CHANNELS_PER_AREA; ++c) {
            const std::uint32_t f = record.modules[area].channels[c].function;
            if (isAnalogFunction(f)) add(channelNumber(area, c));
        }
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i) {
        const std::uint32_t f = record.computed[i].function;
        if (isKnownFunction(f)) add(channelNumber(kComputedSlot, i));
    }
    const std::uint32_t f1 = record.channel1.function;
    if (isKnownFunction(f1)) add(1);
    return list + ")";
}

} // namespace

std::uint32_t installedModuleMask(std::string_view optReply) {
    // Walks the fields in place: a reply of any length costs no memory.
    std::uint32_t result = 0;
    std::uint32_t bit = 1;
    std::size_t field = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = optReply.find(',', start);
        const std::string_view text = optReply.substr(start, comma - start);
        if (field % 2 == 0) {
            if (text != "NONE") result |= bit;
            bit = bit << 1 | bit >> 31;
        }
        if (comma == std::string_view::npos) return result;
        start = comma + 1;
        ++field;
    }
}

bool isValidTriggerChannel(std::uint32_t number, const VmrInstConfig& record) {
    if (number == 1) return isSet(record.channel1.function);
    int area = 0;
    int index = 0;
    if (number > 999 || !channelFromNumber(static_cast<int>(number), area, index) ||
        area >= kScanListAreas)
        return false;
    return isSet(record.modules[area].channels[index].function);
}

InstConfigProcessor::InstConfigProcessor(SCPIHandler& handler, int model) : model_(model) {
    addChild(std::make_shared<TempConfigProcessor>());
    addChild(std::make_shared<ChannelProcessor>(kChannel1Slot, 0));

    // A failed query counts as an empty reply here; its status is kept for
    // the caller, who must not send a configuration built on it.
    std::string modules;
    queryStatus_ = handler.query("*OPT?", modules);
    if (queryStatus_ != 1) modules.clear();
    const int scanListStatus = handler.query("ROUT:SCAN?", scanListAtStart_);
    if (scanListStatus != 1) {
        scanListAtStart_.clear();
        if (queryStatus_ == 1) queryStatus_ = scanListStatus;
    }

    const std::uint32_t installed = installedModuleMask(modules);
    for (int slot = 0; slot < currentModel().moduleSlots; ++slot) {
        if ((installed >> slot & 1u) == 0) continue;
        addChild(std::make_shared<ModuleProcessor>(slot));
        moduleSlots_.push_back(slot);
    }
    addChild(std::make_shared<ModuleProcessor>(kComputedSlot));

    addChild(std::make_shared<DestinationProcessor>());
    addChild(std::make_shared<SampleRateProcessor>());
    addChild(std::make_shared<ScanCountProcessor>());
    addChild(std::make_shared<TriggerTypeProcessor>());
    addChild(std::make_shared<TriggerAutoOrderProcessor>());
    addChild(std::make_shared<ResumeScanOnPowerProcessor>());
    addChild(std::make_shared<DataSecurityProcessor>());
    addChild(std::make_shared<SourceControlProcessor>());
    addChild(std::make_shared<AutoRecordingProcessor>());
    addChild(std::make_shared<ScanIntervalProcessor>());
    addChild(std::make_shared<TotalizerDebounceProcessor>());
    addChild(std::make_shared<TotalizerStartCountProcessor>());
    addChild(std::make_shared<TotalizerModeProcessor>());
    addChild(std::make_shared<TotalizerResetProcessor>());
}

bool InstConfigProcessor::buildCommands(const VmrInstConfig& record, CommandList& commands,
                                        std::string& errorText, int& errorCode) {
    commands.push_back("*RST");
    if (!CompositeProcessor::buildCommands(record, commands, errorText, errorCode)) return false;

    bool anyChannel = false;
    commands.push_back(scanListCommand(record, anyChannel));
    if (!anyChannel) {
        errorCode = kNoChannelConfigured;
        errorText = "No channel configured";
        return false;
    }

    // Reference junctions of the thermocouple channels; they cannot fail.
    std::string ignoredText;
    int ignoredCode = 0;
    for (int area = 0; area < kScanListAreas; ++area) {
        if (!modulePresent(record, area)) continue;
        for (int c = 0; c < VMR_CHANNELS_PER_AREA; ++c)
            if (record.modules[area].channels[c].function == VMR_FUNC_THERMOCOUPLE)
                ThermoColdJunctionProcessor(area, c).buildCommands(record, commands, ignoredText,
                                                                   ignoredCode);
    }
    ThermoColdJunctionProcessor(kChannel1Slot, 1)
        .buildCommands(record, commands, ignoredText, ignoredCode);

    // Trigger channels: a channel that is not configured is reported but the
    // command is still sent (the instrument has the last word).
    const auto triggerChannel = [&](std::uint32_t number, const char* command, int failureCode) {
        if (!isValidTriggerChannel(number, record)) {
            errorCode = failureCode;
            errorText = "Invalid alarm channel";
        }
        commands.push_back(std::string(command) + " (@" + std::to_string(number) + ")");
    };
    constexpr std::uint32_t kAlarmSource = 2;
    constexpr std::uint32_t kAutomaticSource = 3;
    if (record.alarmTriggerChannel != 0 && record.triggerSource == kAlarmSource)
        triggerChannel(record.alarmTriggerChannel, "TRIG:ALAR:CHAN", kInvalidAlarmChannel);
    if (record.autoReferenceChannel != 0 && record.triggerSource == kAutomaticSource)
        triggerChannel(record.autoReferenceChannel, "TRIG:AUTO:REF", kInvalidReferenceChannel);
    if (record.autoSecondReferenceChannel != 0 && record.triggerSource == kAutomaticSource)
        triggerChannel(record.autoSecondReferenceChannel, "TRIG:AUTO:SREF",
                       kInvalidReferenceChannel);
    return true;
}

} // namespace korda32ex
