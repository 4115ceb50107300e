// Per-channel settings of the virtual instrument beyond function and range:
// alarms, limits, alarm outputs, scaling, texts, integration time, delay and
// thermocouple options.
#pragma once

#include "scpi/CommandTable.h"

#include <array>
#include <string>

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

// Alarm, scaling, text, delay, NPLC and thermocouple commands of analog and
// computed channels.
void registerChannelSettingsCommands(CommandTable& table);

} // namespace korda::sim
