// The settings that a setup file does not carry, fetched from the instrument
// after the file's configuration has been parsed: composites of the setting
// processors of those settings, for the instrument, one analog channel and
// one computed channel.
#pragma once

#include "channels/ChannelProcessor.h"
#include "channels/ComputedChannelProcessor.h"
#include "config/IProcessor.h"

namespace korda32ex {

// Temperature unit, resume after power loss, and the four totalizer settings.
class InstConfigForCSVProcessor final : public CompositeProcessor {
  public:
    InstConfigForCSVProcessor();
};

// The digital outputs of the two alarms of one analog channel.
class ChannelForCSVProcessor final : public ChannelProcessor {
  public:
    ChannelForCSVProcessor(int slot, int index);
};

// Alarm states, scaling, alarm limits and alarm outputs of one computed
// channel.
class ComputedChannelForCSVProcessor final : public ComputedChannelProcessor {
  public:
    ComputedChannelForCSVProcessor(int slot, int index);
};

} // namespace korda32ex
