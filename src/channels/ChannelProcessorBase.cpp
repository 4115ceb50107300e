#include "channels/ChannelProcessorBase.h"

#include "config/ProcessorSupport.h"
#include "config/RecordAccess.h"
#include "core/Numbers.h"

namespace korda32ex {

ChannelProcessor::ChannelProcessor(int slot, int index) : slot_(slot), index_(index) {
    appendChannelChildren(*this, slot, index);
}

int ChannelProcessor::responseCount() {
    if (children_.empty()) return 1;
    int sum = 0;
    for (const auto& child : children_)
        if (!child->isSkipped()) sum += child->responseCount();
    return sum;
}

int ChannelProcessor::number() const {
    return channelNumber(slot_, index_);
}

const ChannelRecord* ChannelProcessor::presentChannel(const VmrInstConfig& record) const {
    if (!modulePresent(record, slot_)) return nullptr;
    return channelRecord(record, slot_, index_);
}

ChannelRecord* ChannelProcessor::channelFor(VmrInstConfig& record) const {
    return channelRecord(record, slot_, index_);
}

std::string ChannelProcessor::list() const {
    return channelList(number());
}

bool ChannelProcessor::isOn(const ChannelRecord& channel) {
    return channel.function != 0 && channel.function != VMR_CHANNEL_OFF;
}

bool ChannelProcessor::channelStateGate(SCPIHandler* handler) {
    if (immediateReplyIs(handler, "ROUT:CHAN:STAT? " + list(), "1")) return true;
    markSkipped();
    return false;
}

bool ChannelProcessor::thermocoupleGate(SCPIHandler* handler) {
    const auto reply = immediateQuery(handler, "CONF? " + list());
    if (reply && reply->find("TEMP TC") != std::string::npos) return true;
    markSkipped();
    return false;
}

bool ChannelProcessor::readNonNegative(const std::string& reply, double& value,
                                       std::string& errorText, int& errorCode) {
    const double v = readLeadingReal(reply).value_or(0);
    if (v < 0) return invalidResponse(reply, errorText, errorCode);
    value = v;
    return true;
}

} // namespace korda32ex
