// Configuration records written as text, one group of fields a line:
//   instrument flags=0x13 triggerCount=3
//   channel 101 function=1 range=18 name="Inlet" sensorCoef=25.5,1e-3
//   computed 501 function=0x5008 sourceA=101 sourceList=3,16
//   module 2 moduleState=0xFFFFFFFF
// Channel 1 is "channel 1". Whole numbers are decimal or 0x hexadecimal;
// a list sets the first elements of an array field; texts are quoted, with
// \" \\ and \uXXXX (one UTF-16 unit). Lines starting with ';' are comments.
// The whole records of the golden command lists, the configuration tests and
// the configuration benchmark are such texts under tests/golden.
#pragma once

#include "korda32ext.h"

#include <memory>
#include <string>
#include <string_view>

namespace korda::test {

// Sets the fields the text names; returns "" or what it could not read.
std::string applyRecordText(VmrInstConfig& record, std::string_view text);

// The record as such a text: every field that is not zero, a line per part.
std::string recordText(const VmrInstConfig& record);

// A zeroed record with the fields of the text set (the text must be valid).
std::unique_ptr<VmrInstConfig> recordFromText(std::string_view text);

// The directory of the checked-in data files (tests/golden).
std::string goldenDir();
// The bytes of a file there ("" when it is missing).
std::string goldenText(const std::string& name);

// A record for a 7043A (two modules) or a 5129A (three modules) with every
// module channel in use: each function with fixed and automatic ranges and
// the model's sensors, alarms with limits and outputs, scaling, names and
// units, delays, thermocouple options, shunt-current channels, a switched-off
// and an unconfigured channel, channel 1, every computed function, and
// non-default instrument settings with trigger channels
// (golden/record-full-<model>.txt).
std::unique_ptr<VmrInstConfig> fullRecord(int model);

// A small record: three DC voltage inputs of the first module, every second.
std::unique_ptr<VmrInstConfig> threeVoltageInputs();

} // namespace korda::test
