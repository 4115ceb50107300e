#include "channels/ComputedChannelProcessor.h"

#include "channels/ChannelRules.h"
#include "channels/CompProcessors.h"
#include "config/ProcessorSupport.h"

#include <memory>

namespace korda32ex {

ComputedChannelProcessor::ComputedChannelProcessor(int slot, int index) {
    addChild(std::make_shared<CompChannelFunctionProcessor>(slot, index));
    addChild(std::make_shared<CompFirstAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<CompFactorMProcessor>(slot, index));
    addChild(std::make_shared<CompFactorBProcessor>(slot, index));
    addChild(std::make_shared<CompFirstAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<CompAChannelProcessor>(slot, index));
    addChild(std::make_shared<CompBChannelProcessor>(slot, index));
    addChild(std::make_shared<CompChannelPolyCoeffProcessor>(slot, index));
    addChild(std::make_shared<CompFirstAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<CompSelectedChannelsProcessor>(slot, index));
    addChild(std::make_shared<CompUnitProcessor>(slot, index));
    addChild(std::make_shared<CompNameProcessor>(slot, index));
}

bool ComputedSetting::channelOn(const VmrInstConfig& r) const {
    const ComputedChannelRecord* rec = recordIn(r);
    return rec != nullptr && channelrules::isOn(rec->function);
}

} // namespace korda32ex
