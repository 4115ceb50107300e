// What the virtual instrument keeps for one channel (channel 1, a module
// channel or a computed channel). Each group of channel settings adds its
// fields here and resets them in reset().
#pragma once

#include "ChannelSettings.h"
#include "ComputedModel.h"

#include <map>
#include <string>
#include <vector>

namespace korda::sim {

struct ChannelState {
    // ---- Function and range ----
    bool on = false;               // "ROUT:CHAN:STAT"
    std::string function = "VOLT"; // the word "CONF?" answers, without quotes
    double range = 10;             // range of the meter functions
    bool autoRange = true;
    std::string sensor; // RTD, thermistor or thermocouple type
    // Sensor calibration values by the command that set them, e.g.
    // "SPRT:COEF:HIGH", "A385:RZER", "TC:POLY:COEF".
    std::map<std::string, std::vector<double>> sensorValues;

    // ---- Alarms, scaling, texts, delay, NPLC, thermocouple options ----
    ChannelSettings settings;
    // ---- Computed channels only ----
    MathSettings math;

    void reset() { *this = ChannelState{}; }
};

} // namespace korda::sim
