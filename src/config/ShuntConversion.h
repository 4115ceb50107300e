// Channels that measure a current through an external shunt resistor: the
// application describes them as current channels with the shunt's resistance;
// the instrument measures the voltage across the shunt and scales it. Before a
// record is sent, such channels are rewritten into the instrument's view.
#pragma once

#include "korda32ext.h"

#include <cstdint>

namespace korda32ex {

// Shunt resistances not above this (NaN included) are raised to it.
inline constexpr double kMinimumShuntOhms = 10.0;

// Detail codes of a conversion that cannot be done.
inline constexpr int kDetailScaleTooSmall = 33;
inline constexpr int kDetailScaleTooLarge = 34;

// Where a conversion failed: the detail code (0 when it succeeded) and the
// channel number concerned.
struct ShuntConversionResult {
    int detail = 0;
    int channel = 0;
    bool ok() const { return detail == 0; }
};

// Copies application into working and converts every shunt-current channel
// (function 3 or 4 among the first 20 channels of any module area) into a DC
// or AC voltage channel: its name carries the resistance ("*250.000000*name"),
// its range holds the shunt voltage at 20 mA, and its scaling turns volts
// into the application's reading. A resistance of 10 or less is raised to 10
// in both records. model is the instrument's model code (on a 7043A the
// shunt's range stops at 50 V). On failure the working record is incomplete and
// must not be sent.
ShuntConversionResult convertShuntChannels(VmrInstConfig& application, VmrInstConfig& working,
                                           int model);

// The way back, after a configuration was read from the instrument: copies
// working into application, and turns every channel among the first 20 of
// a module area whose name has the form "*" R "*" name (R a number above 0;
// the instrument keeps the first 19 characters) into the application's view
// again: R into shuntOhms (in both records), the name after the second star
// (empty without one), and a DC or AC voltage channel into a current channel
// with the application's scaling. Automatic voltage ranges come back as range
// 112, fixed ones as 113 (percent of 4-20 mA). Any other channel stays as
// copied.
void restoreShuntChannels(VmrInstConfig& working, VmrInstConfig& application);

// The text of a conversion detail code, for the error text of the failure.
const char* shuntDetailText(int detail);

} // namespace korda32ex
