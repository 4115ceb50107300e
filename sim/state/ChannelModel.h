// The channels of the virtual instrument: their settings, the scan list, and
// the commands that configure function, range and sensor of each channel.
#pragma once

#include "ChannelState.h"
#include "scpi/CommandTable.h"
#include "scpi/ScpiArgs.h"

#include <functional>
#include <map>
#include <vector>

namespace korda::sim {

class Instrument;

enum class ChannelKind { None, Analog, Computed };

// Which kind of channel a number names on this instrument: 1, or s01..s22 of
// a slot that holds a module (analog); 501..520 (computed); else none.
ChannelKind channelKind(const Instrument& instrument, int number);
// True for analog channels with a current input (channel 1, channels 21 and
// 22 of a module); the other module channels measure voltage only.
bool hasCurrentInput(int number);

class ChannelModel {
  public:
    // The channel's state (created on first use).
    ChannelState& state(int number) { return channels_[number]; }
    const ChannelState* find(int number) const;
    // Restores every channel's power-on settings and empties the scan list.
    void reset();

    std::vector<int> scanList;

  private:
    std::map<int, ChannelState> channels_;
};

// Runs fn for every channel of the command's channel list after checking the
// list: a malformed or missing list, or a channel this instrument lacks, is
// reported as an instrument error and nothing is changed. Computed channels
// pass only when allowComputed is set. fn may report an error through the
// reply; the channels after it are then left alone.
using ChannelAction = std::function<void(ChannelState&, int number, Reply&)>;
void forEachChannel(Instrument& instrument, const Request& request, Reply& reply,
                    bool allowComputed, const ChannelAction& fn);
// The same for a query: the answers of the channels joined by commas form one
// reply line.
using ChannelQuery = std::function<std::string(const ChannelState&, int number)>;
void answerPerChannel(Instrument& instrument, const Request& request, Reply& reply,
                      bool allowComputed, const ChannelQuery& fn);

// Channel state and scan-list commands, and those of registerMeasurementCommands.
void registerChannelCommands(CommandTable& table);

} // namespace korda::sim
