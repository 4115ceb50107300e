// The processor of one module slot: the channel processors of the slot's
// channels, in channel order.
#pragma once

#include "config/IProcessor.h"

namespace korda32ex {

class ModuleProcessor final : public CompositeProcessor {
  public:
    // slot 0..2 (and any other module area): its 22 analog channels;
    // -1: channel 1 alone; 4: the 20 computed channels 501..520.
    explicit ModuleProcessor(int slot);

    int slot() const { return slot_; }

  private:
    int slot_;
};

} // namespace korda32ex
