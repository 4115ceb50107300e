// The processor of one analog channel (channel 1 or a module channel): the
// composite that owns the sixteen setting processors of the channel, and the
// base class of each of them. Children are built with the same slot and
// channel index as their composite and have no children of their own.
#pragma once

#include "channels/AddressedProcessor.h"

#include <string>

namespace korda32ex {

class ChannelProcessor : public AddressedProcessor {
  public:
    // The composite of the channel at slot (-1 = channel 1, 0.. = module
    // area) and index (0..21; ignored for channel 1), with its sixteen
    // children in their fixed order.
    ChannelProcessor(int slot, int index);

  protected:
    struct ChildTag {};
    // A child processor: same addressing, no children.
    ChannelProcessor(int slot, int index, ChildTag) : AddressedProcessor(slot, index) {}

    // The channel's record for building commands: null when the module area
    // is absent (nothing is built for its channels) or outside the record.
    const ChannelRecord* presentChannel(const VmrInstConfig& record) const;
    // The channel's record for storing a parsed reply: null only when the
    // address lies outside the record.
    ChannelRecord* channelFor(VmrInstConfig& record) const;

    // A channel is on when its function is neither 0 nor switched off.
    static bool isOn(const ChannelRecord& channel);

    // Asks "CONF? (@n)" at once: true when the reply names a thermocouple
    // ("TEMP TC" anywhere in it); otherwise the processor marks itself skipped.
    bool thermocoupleGate(SCPIHandler* handler);
};

// Appends the sixteen children of a channel composite, in their fixed order.
void appendChannelChildren(ChannelProcessor& composite, int slot, int index);

} // namespace korda32ex
