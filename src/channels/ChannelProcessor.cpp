// The children of a channel's composite, in the order in which their commands
// are built and their replies parsed.
#include "channels/ChannelProcessorBase.h"
#include "channels/ChannelSettingProcessors.h"

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

} // namespace korda32ex
