#include "channels/ComputedChannelProcessor.h"

#include "channels/ChannelRules.h"
#include "channels/CompProcessors.h"
#include "config/ProcessorSupport.h"

#include <memory>

namespace korda32ex {

ComputedChannelProcessor::ComputedChannelProcessor(int slot, int index) {
    addSettings<CompChannelFunctionProcessor, CompFirstAlarmFunctionProcessor,
                CompSecondAlarmFunctionProcessor, CompFactorMProcessor, CompFactorBProcessor,
                CompFirstAlarmLimitProcessor, CompSecondAlarmLimitProcessor, CompAChannelProcessor,
                CompBChannelProcessor, CompChannelPolyCoeffProcessor, CompFirstAlarmIOProcessor,
                CompSecondAlarmIOProcessor, CompSelectedChannelsProcessor, CompUnitProcessor,
                CompNameProcessor>(*this, slot, index);
}

bool ComputedSetting::channelOn(const VmrInstConfig& r) const {
    const ComputedChannelRecord* rec = recordIn(r);
    return rec != nullptr && channelrules::isOn(rec->function);
}

} // namespace korda32ex
