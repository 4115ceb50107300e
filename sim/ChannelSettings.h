// Per-channel settings of the virtual instrument beyond function and range:
// alarms, limits, alarm outputs, scaling, texts, integration time, delay and
// thermocouple options; and the whole state of the twenty computed channels.
#pragma once

#include "CommandTable.h"

#include <array>
#include <string>
#include <vector>

namespace korda::sim {

enum class AlarmState { Off, Low, High };
enum class RefJunction { Internal, Fixed, External };

struct ChannelSettings {
    std::array<AlarmState, 2> alarm{AlarmState::Off, AlarmState::Off};
    std::array<double, 2> limit{0.0, 0.0};
    std::array<int, 2> output{0, 0}; // digital output number, 0 = none
    bool scaling = false;
    double gain = 1.0;
    double offset = 0.0;
    std::string name;
    std::string unit;
    // Analog channels only.
    double nplc = 1.0;
    double delay = 0.0;
    bool openDetect = false;
    RefJunction refJunction = RefJunction::Internal;
};

struct ComputedChannelState {
    std::string function; // reply word ("POLY", "SUBT", ...); empty = not configured
    int sourceA = 0;
    int sourceB = 0;
    std::vector<int> list;
    std::array<double, 7> coefficients{};
    ChannelSettings settings;
};

inline constexpr int kFirstComputedChannel = 501;
inline constexpr int kComputedChannels = 20;
inline constexpr int kAnalogSlots = 3;
inline constexpr int kChannelsPerSlot = 22;

// The settings of every channel and the alarm trigger channel; reset by "*RST".
struct ChannelSettingsModel {
    ChannelSettings channel1;
    std::array<std::array<ChannelSettings, kChannelsPerSlot>, kAnalogSlots> analog;
    std::array<ComputedChannelState, kComputedChannels> computed;
    int alarmTriggerChannel = 0; // 0 = none

    // Null unless number is 501..520.
    ComputedChannelState* computedChannel(int number) {
        const int i = number - kFirstComputedChannel;
        return i >= 0 && i < kComputedChannels ? &computed[i] : nullptr;
    }
    // The settings of channel 1, s01..s22 (s = 1..3) or 501..520; null otherwise.
    ChannelSettings* settings(int number) {
        if (number == 1) return &channel1;
        if (ComputedChannelState* c = computedChannel(number)) return &c->settings;
        const int slot = number / 100 - 1, index = number % 100 - 1;
        if (number < 100 || slot >= kAnalogSlots || index < 0 || index >= kChannelsPerSlot)
            return nullptr;
        return &analog[slot][index];
    }
    void reset() { *this = ChannelSettingsModel{}; }
};

// Alarm, scaling, text, delay, NPLC and thermocouple commands of analog and
// computed channels, and the alarm trigger channel.
void registerChannelSettingsCommands(CommandTable& table);
// The computed-channel commands ("CALC:MATH:...").
void registerComputedCommands(CommandTable& table);

} // namespace korda::sim
