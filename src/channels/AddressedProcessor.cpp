#include "channels/AddressedProcessor.h"

#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"

namespace korda32ex {

int AddressedProcessor::number() const {
    return channelNumber(slot_, index_);
}

std::string AddressedProcessor::list() const {
    return channelList(number());
}

bool AddressedProcessor::channelStateGate(SCPIHandler* handler) {
    if (immediateReplyIs(handler, "ROUT:CHAN:STAT? " + list(), "1")) return true;
    markSkipped();
    return false;
}

} // namespace korda32ex
