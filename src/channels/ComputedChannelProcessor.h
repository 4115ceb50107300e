// Computed (math) channels 501 to 520: the composite that translates one
// computed channel record to and from SCPI, and ComputedSetting, the base of
// its fifteen children.
#pragma once

#include "channels/AddressedProcessor.h"
#include "config/RecordAccess.h"

namespace korda32ex {

class ComputedChannelProcessor : public CompositeProcessor {
  public:
    // The composite of computed channel `index` (0..19) addressed as `slot`
    // (always 4), with its fifteen children in order.
    ComputedChannelProcessor(int slot, int index);

  protected:
    // A composite of the channel that starts without children.
    ComputedChannelProcessor() = default;
};

// A setting of a computed channel.
class ComputedSetting : public AddressedProcessor {
  protected:
    ComputedSetting(int slot, int index) : AddressedProcessor(slot, index) {}

    // The record of this computed channel; null when the index lies outside
    // the record.
    const ComputedChannelRecord* recordIn(const VmrInstConfig& r) const {
        return computedRecord(r, index());
    }
    ComputedChannelRecord* recordIn(VmrInstConfig& r) const { return computedRecord(r, index()); }
    // True when the record exists and its channel is on.
    bool channelOn(const VmrInstConfig& r) const;

  public:
    using Record = ComputedChannelRecord;
    // The record to build from: present and on; else null.
    const ComputedChannelRecord* onRecord(const VmrInstConfig& r) const {
        return channelOn(r) ? recordIn(r) : nullptr;
    }
    // The record to store a reply in: null when outside the record.
    ComputedChannelRecord* replyRecord(VmrInstConfig& r) const { return recordIn(r); }
    // The settings of a computed channel are always asked.
    bool settingGate(SCPIHandler*) { return true; }
};

} // namespace korda32ex
