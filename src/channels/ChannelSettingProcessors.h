// The per-channel setting processors: function, range, alarms, scaling,
// integration time, delay, thermocouple options, name and unit. One processor
// per setting, each a child of the channel's composite (the reference
// junction excepted), each declared once below.
#pragma once

#include "channels/ChannelProcessor.h"
#include "channels/SharedChannelSettings.h"

namespace korda32ex {

// A channel setting: a leaf addressed like its composite.
#define KORDA_CHANNEL_SETTING(Name)                                                                \
    class Name final : public ChannelSetting {                                                     \
      public:                                                                                      \
        Name(int slot, int index) : ChannelSetting(slot, index) {}                                 \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

// The measurement function.
KORDA_CHANNEL_SETTING(ChannelFunctionProcessor)
// The range, or for temperature channels the sensor type with its
// calibration values.
KORDA_CHANNEL_SETTING(ChannelRangeProcessor)
// Alarm state, limit and digital output.
template <int Alarm> using AlarmFunctionProcessor = AlarmStateSetting<ChannelSetting, Alarm>;
template <int Alarm> using AlarmLimitProcessor = AlarmLimitSetting<ChannelSetting, Alarm>;
template <int Alarm> using AlarmIOProcessor = AlarmOutputSetting<ChannelSetting, Alarm>;
using FirstAlarmFunctionProcessor = AlarmFunctionProcessor<1>;
using SecondAlarmFunctionProcessor = AlarmFunctionProcessor<2>;
using FirstAlarmLimitProcessor = AlarmLimitProcessor<1>;
using SecondAlarmLimitProcessor = AlarmLimitProcessor<2>;
using FirstAlarmIOProcessor = AlarmIOProcessor<1>;
using SecondAlarmIOProcessor = AlarmIOProcessor<2>;
// The mark that lets the channel's alarm trigger a scan.
KORDA_CHANNEL_SETTING(ChannelAlarmTriggerProcessor)
// Open thermocouple detection.
KORDA_CHANNEL_SETTING(ThermoDetectionProcessor)
// Scaling: factor and offset.
using FactorMProcessor = ScaleSetting<ChannelSetting, false>;
using FactorBProcessor = ScaleSetting<ChannelSetting, true>;
// Integration time, and the delay before a reading.
KORDA_CHANNEL_SETTING(CustomSampleRateProcessor)
KORDA_CHANNEL_SETTING(ChannelDelayProcessor)
// Name and unit.
KORDA_CHANNEL_SETTING(ChannelNameProcessor)
KORDA_CHANNEL_SETTING(ChannelUnitProcessor)
// The reference junction of a thermocouple channel. Not a child of the
// channel's composite: the whole-instrument configuration runs it for each
// thermocouple channel after the scan list.
KORDA_CHANNEL_SETTING(ThermoColdJunctionProcessor)

#undef KORDA_CHANNEL_SETTING

} // namespace korda32ex
