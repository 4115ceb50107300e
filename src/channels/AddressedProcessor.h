// The base of every channel setting processor, analog or computed: a leaf
// addressed by slot and channel index, which can mark itself skipped when the
// instrument says its channel is off.
#pragma once

#include "config/IProcessor.h"

#include <string>

namespace korda32ex {

class AddressedProcessor : public IProcessor {
  public:
    bool isSkipped() override { return skipped_; }

    int slot() const { return slot_; }
    int index() const { return index_; }
    // The SCPI channel number: 1 for channel 1, else 100 * slot + 101 + index.
    int number() const;

  protected:
    AddressedProcessor(int slot, int index) : slot_(slot), index_(index) {}

    // "(@n)" for this channel.
    std::string list() const;
    // Asks "ROUT:CHAN:STAT? (@n)" at once: true when the channel is on at the
    // instrument. When it is not (or the query fails) the processor marks
    // itself skipped.
    bool channelStateGate(SCPIHandler* handler);

    void markSkipped() { skipped_ = true; }
    bool skipped() const { return skipped_; }

  private:
    int slot_;
    int index_;
    bool skipped_ = false;
};

} // namespace korda32ex
