// Whole configuration records that use every part of the record a model
// supports: the records of the golden command lists, the configuration tests
// and the configuration benchmark.
#pragma once

#include "korda32ext.h"

#include <memory>

namespace korda::test {

// A record for a 7043A (two modules) or a 5129A (three modules) with every
// module channel in use: each function with fixed and automatic ranges and
// the model's sensors, alarms with limits and outputs, scaling, names and
// units, delays, thermocouple options, shunt-current channels, a switched-off
// and an unconfigured channel, channel 1, every computed function, and
// non-default instrument settings with trigger channels.
std::unique_ptr<VmrInstConfig> fullRecord(int model);

// A small record: three DC voltage inputs of the first module, every second.
std::unique_ptr<VmrInstConfig> threeVoltageInputs();

} // namespace korda::test
