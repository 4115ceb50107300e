// Computed (math) channels 501 to 520: the composite that translates one
// computed channel record to and from SCPI, and the base of its fifteen
// children.
#pragma once

#include "config/IProcessor.h"
#include "config/RecordAccess.h"

namespace korda32ex {

class ComputedChannelProcessor : public CompositeProcessor {
  public:
    // The composite of computed channel `index` (0..19) addressed as `slot`
    // (always 4), with its fifteen children in order.
    ComputedChannelProcessor(int slot, int index);

    // A child answers one line; the composite the lines of its children that
    // appended their query (a skipped child takes none).
    int responseCount() override;
    bool isSkipped() override { return skipped_; }

    int slot() const { return slot_; }
    int index() const { return index_; }
    // The SCPI channel number, 501 + index.
    int number() const { return channelNumber(slot_, index_); }

  protected:
    // A child: same addressing, no children of its own, one reply line.
    struct Child {};
    ComputedChannelProcessor(int slot, int index, Child);

    // The record of this computed channel; null when the index lies outside
    // the record.
    const ComputedChannelRecord* recordIn(const VmrInstConfig& r) const {
        return computedRecord(r, index_);
    }
    ComputedChannelRecord* recordIn(VmrInstConfig& r) const { return computedRecord(r, index_); }
    // True when the record exists and its channel is on.
    bool channelOn(const VmrInstConfig& r) const;
    // "(@" n ")" of this channel.
    std::string list() const;
    // Asks "ROUT:CHAN:STAT? (@n)" at once: true when the channel is on at the
    // instrument; otherwise (or when the query fails) marks this skipped.
    bool channelStateGate(SCPIHandler* handler);

    int slot_;
    int index_;
    bool skipped_ = false;
};

} // namespace korda32ex
