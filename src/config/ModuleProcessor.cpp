#include "config/ModuleProcessor.h"

#include "channels/ChannelProcessor.h"
#include "channels/ComputedChannelProcessor.h"
#include "config/RecordAccess.h"

#include <memory>

namespace korda32ex {

ModuleProcessor::ModuleProcessor(int slot) : slot_(slot) {
    if (slot == kComputedSlot) {
        for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
            addChild(std::make_shared<ComputedChannelProcessor>(slot, i));
    } else if (slot == kChannel1Slot) {
        addChild(std::make_shared<ChannelProcessor>(slot, 0));
    } else {
        for (int i = 0; i < VMR_CHANNELS_PER_AREA; ++i)
            addChild(std::make_shared<ChannelProcessor>(slot, i));
    }
}

} // namespace korda32ex
