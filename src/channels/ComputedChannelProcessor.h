// Computed (math) channels 501 to 520: the composite that translates one
// computed channel record to and from SCPI, and the base of its fifteen
// children.
#pragma once

#include "channels/AddressedProcessor.h"
#include "config/RecordAccess.h"

namespace korda32ex {

class ComputedChannelProcessor : public AddressedProcessor {
  public:
    // The composite of computed channel `index` (0..19) addressed as `slot`
    // (always 4), with its fifteen children in order.
    ComputedChannelProcessor(int slot, int index);

  protected:
    // A child: same addressing, no children of its own, one reply line.
    struct Child {};
    ComputedChannelProcessor(int slot, int index, Child);

    // The record of this computed channel; null when the index lies outside
    // the record.
    const ComputedChannelRecord* recordIn(const VmrInstConfig& r) const {
        return computedRecord(r, index());
    }
    ComputedChannelRecord* recordIn(VmrInstConfig& r) const { return computedRecord(r, index()); }
    // True when the record exists and its channel is on.
    bool channelOn(const VmrInstConfig& r) const;
};

} // namespace korda32ex
