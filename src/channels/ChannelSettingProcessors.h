// The per-channel setting processors: function, range, alarms, scaling,
// integration time, delay, thermocouple options, name and unit. One processor
// per setting, each a child of the channel's composite (the reference
// junction excepted), each declared once below.
#pragma once

#include "channels/ChannelProcessor.h"

namespace korda32ex {

// A channel setting: a leaf addressed like its composite.
#define KORDA_CHANNEL_SETTING(Name)                                                                \
    class Name final : public ChannelProcessor {                                                   \
      public:                                                                                      \
        Name(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}                   \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

// A setting of alarm 1 or 2: one class, the alarm number its parameter.
#define KORDA_CHANNEL_ALARM_SETTING(Name)                                                          \
    template <int Alarm> class Name final : public ChannelProcessor {                              \
      public:                                                                                      \
        Name(int slot, int index) : ChannelProcessor(slot, index, ChildTag{}) {}                   \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

// The measurement function.
KORDA_CHANNEL_SETTING(ChannelFunctionProcessor)
// The range, or for temperature channels the sensor type with its
// calibration values.
KORDA_CHANNEL_SETTING(ChannelRangeProcessor)
// Alarm state, limit and digital output.
KORDA_CHANNEL_ALARM_SETTING(AlarmFunctionProcessor)
KORDA_CHANNEL_ALARM_SETTING(AlarmLimitProcessor)
KORDA_CHANNEL_ALARM_SETTING(AlarmIOProcessor)
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
KORDA_CHANNEL_SETTING(FactorMProcessor)
KORDA_CHANNEL_SETTING(FactorBProcessor)
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
#undef KORDA_CHANNEL_ALARM_SETTING

} // namespace korda32ex
