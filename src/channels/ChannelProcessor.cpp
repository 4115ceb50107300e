// The analog channel composite; its children in the order in which their
// commands are built and their replies parsed.
#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"

#include <memory>

namespace korda32ex {

ChannelProcessor::ChannelProcessor(int slot, int index) {
    addChild(std::make_shared<ChannelFunctionProcessor>(slot, index));
    addChild(std::make_shared<ChannelRangeProcessor>(slot, index));
    addChild(std::make_shared<FirstAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<SecondAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<ThermoDetectionProcessor>(slot, index));
    addChild(std::make_shared<FactorMProcessor>(slot, index));
    addChild(std::make_shared<FactorBProcessor>(slot, index));
    addChild(std::make_shared<CustomSampleRateProcessor>(slot, index));
    addChild(std::make_shared<ChannelDelayProcessor>(slot, index));
    addChild(std::make_shared<FirstAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<SecondAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<FirstAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<SecondAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<ChannelAlarmTriggerProcessor>(slot, index));
    addChild(std::make_shared<ChannelNameProcessor>(slot, index));
    addChild(std::make_shared<ChannelUnitProcessor>(slot, index));
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
