// The analog channel composite; its children in the order in which their
// commands are built and their replies parsed.
#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"

#include <memory>

namespace korda32ex {

ChannelProcessor::ChannelProcessor(int slot, int index) {
    addSettings<ChannelFunctionProcessor, ChannelRangeProcessor, FirstAlarmFunctionProcessor,
                SecondAlarmFunctionProcessor, ThermoDetectionProcessor, FactorMProcessor,
                FactorBProcessor, CustomSampleRateProcessor, ChannelDelayProcessor,
                FirstAlarmLimitProcessor, SecondAlarmLimitProcessor, FirstAlarmIOProcessor,
                SecondAlarmIOProcessor, ChannelAlarmTriggerProcessor, ChannelNameProcessor,
                ChannelUnitProcessor>(*this, slot, index);
}

const ChannelRecord* ChannelSetting::presentChannel(const VmrInstConfig& record) const {
    if (!modulePresent(record, slot())) return nullptr;
    return channelRecord(record, slot(), index());
}

ChannelRecord* ChannelSetting::channelFor(VmrInstConfig& record) const {
    return channelRecord(record, slot(), index());
}

const ChannelRecord* ChannelSetting::onRecord(const VmrInstConfig& record) const {
    const ChannelRecord* c = presentChannel(record);
    return c != nullptr && isOn(*c) ? c : nullptr;
}

ChannelRecord* ChannelSetting::replyRecord(VmrInstConfig& record) const {
    return skipped() ? nullptr : channelFor(record);
}

bool ChannelSetting::isOn(const ChannelRecord& channel) {
    return channel.function != 0 && channel.function != VMR_CHANNEL_OFF;
}

bool ChannelSetting::thermocoupleGate(SCPIHandler* handler) {
    const auto reply = immediateQuery(handler, "CONF? " + list());
    if (reply && reply->find("TEMP TC") != std::string::npos) return true;
    markSkipped();
    return false;
}

} // namespace korda32ex
