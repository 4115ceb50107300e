// The analog channel composite; its children in the order in which their
// commands are built and their replies parsed.
#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"

#include <memory>

namespace korda32ex {

void appendChannelChildren(ChannelProcessor& composite, int slot, int index) {
    composite.addChild(std::make_shared<ChannelFunctionProcessor>(slot, index));
    composite.addChild(std::make_shared<ChannelRangeProcessor>(slot, index));
    composite.addChild(std::make_shared<FirstAlarmFunctionProcessor>(slot, index));
    composite.addChild(std::make_shared<SecondAlarmFunctionProcessor>(slot, index));
    composite.addChild(std::make_shared<ThermoDetectionProcessor>(slot, index));
    composite.addChild(std::make_shared<FactorMProcessor>(slot, index));
    composite.addChild(std::make_shared<FactorBProcessor>(slot, index));
    composite.addChild(std::make_shared<CustomSampleRateProcessor>(slot, index));
    composite.addChild(std::make_shared<ChannelDelayProcessor>(slot, index));
    composite.addChild(std::make_shared<FirstAlarmLimitProcessor>(slot, index));
    composite.addChild(std::make_shared<SecondAlarmLimitProcessor>(slot, index));
    composite.addChild(std::make_shared<FirstAlarmIOProcessor>(slot, index));
    composite.addChild(std::make_shared<SecondAlarmIOProcessor>(slot, index));
    composite.addChild(std::make_shared<ChannelAlarmTriggerProcessor>(slot, index));
    composite.addChild(std::make_shared<ChannelNameProcessor>(slot, index));
    composite.addChild(std::make_shared<ChannelUnitProcessor>(slot, index));
}

ChannelProcessor::ChannelProcessor(int slot, int index) : AddressedProcessor(slot, index) {
    appendChannelChildren(*this, slot, index);
}

const ChannelRecord* ChannelProcessor::presentChannel(const VmrInstConfig& record) const {
    if (!modulePresent(record, slot())) return nullptr;
    return channelRecord(record, slot(), index());
}

ChannelRecord* ChannelProcessor::channelFor(VmrInstConfig& record) const {
    return channelRecord(record, slot(), index());
}

bool ChannelProcessor::isOn(const ChannelRecord& channel) {
    return channel.function != 0 && channel.function != VMR_CHANNEL_OFF;
}

bool ChannelProcessor::thermocoupleGate(SCPIHandler* handler) {
    const auto reply = immediateQuery(handler, "CONF? " + list());
    if (reply && reply->find("TEMP TC") != std::string::npos) return true;
    markSkipped();
    return false;
}

} // namespace korda32ex
