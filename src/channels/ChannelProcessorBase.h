// The processor of one analog channel (channel 1 or a module channel): the
// composite that owns the sixteen setting processors of the channel, and the
// base class of each of them. Children are built with the same slot and
// channel index as their composite and have no children of their own.
#pragma once

#include "config/IProcessor.h"

#include <string>

namespace korda32ex {

class ChannelProcessor : public CompositeProcessor {
  public:
    // The composite of the channel at slot (-1 = channel 1, 0.. = module
    // area) and index (0..21; ignored for channel 1), with its sixteen
    // children in their fixed order.
    ChannelProcessor(int slot, int index);

    // A child passes its own count (one reply line); the composite the sum of
    // the children that still expect their line (a child that appended no
    // query is skipped and takes none).
    int responseCount() override;
    bool isSkipped() override { return skipped_; }

    int slot() const { return slot_; }
    int index() const { return index_; }
    // The SCPI channel number: 1, or 100 * slot + 101 + index.
    int number() const;

  protected:
    struct ChildTag {};
    // A child processor: same addressing, no children.
    ChannelProcessor(int slot, int index, ChildTag) : slot_(slot), index_(index) {}

    // The channel's record for building commands: null when the module area
    // is absent (nothing is built for its channels) or outside the record.
    const ChannelRecord* presentChannel(const VmrInstConfig& record) const;
    // The channel's record for storing a parsed reply: null only when the
    // address lies outside the record.
    ChannelRecord* channelFor(VmrInstConfig& record) const;

    // "(@n)" for this channel.
    std::string list() const;
    // A channel is on when its function is neither 0 nor switched off.
    static bool isOn(const ChannelRecord& channel);

    // Asks "ROUT:CHAN:STAT? (@n)" at once: true when the channel is on at the
    // instrument. When it is not (or the query fails) the processor marks
    // itself skipped.
    bool channelStateGate(SCPIHandler* handler);
    // Asks "CONF? (@n)" at once: true when the reply names a thermocouple
    // ("TEMP TC" anywhere in it); otherwise the processor marks itself skipped.
    bool thermocoupleGate(SCPIHandler* handler);
    // Reads a reply as a number that must not be negative (a reply that is no
    // number reads 0). A negative value is an invalid reply.
    static bool readNonNegative(const std::string& reply, double& value, std::string& errorText,
                                int& errorCode);

    void markSkipped() { skipped_ = true; }
    bool skipped() const { return skipped_; }

  private:
    int slot_;
    int index_;
    bool skipped_ = false;
};

// Appends the sixteen children of a channel composite, in their fixed order.
void appendChannelChildren(ChannelProcessor& composite, int slot, int index);

} // namespace korda32ex
