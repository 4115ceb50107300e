// The processor of one analog channel (channel 1 or a module channel): the
// composite that owns the sixteen setting processors of the channel, and
// ChannelSetting, the base of each of them. Settings are built with the same
// slot and channel index as their composite.
#pragma once

#include "channels/AddressedProcessor.h"

namespace korda32ex {

class ChannelProcessor : public CompositeProcessor {
  public:
    // The composite of the channel at slot (-1 = channel 1, 0.. = module
    // area) and index (0..21; ignored for channel 1), with its sixteen
    // children in their fixed order.
    ChannelProcessor(int slot, int index);

  protected:
    // A composite of the channel that starts without children.
    ChannelProcessor() = default;
};

// A setting of an analog channel.
class ChannelSetting : public AddressedProcessor {
  protected:
    ChannelSetting(int slot, int index) : AddressedProcessor(slot, index) {}

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

  public:
    using Record = ChannelRecord;
    // The record to build from: present and on; else null.
    const ChannelRecord* onRecord(const VmrInstConfig& record) const;
    // The record to store a reply in: null when skipped or outside the record.
    ChannelRecord* replyRecord(VmrInstConfig& record) const;
    // Whether the state-dependent settings (alarm state and limit, scaling)
    // are asked: only while the instrument says the channel is on.
    bool settingGate(SCPIHandler* handler) { return channelStateGate(handler); }
};

} // namespace korda32ex
