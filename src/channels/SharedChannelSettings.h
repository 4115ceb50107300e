// The settings that analog and computed channels share: state, limit and
// digital output of alarm 1 or 2, and the scaling factor and offset. Each is
// one class over the kind of channel, ChannelSetting or ComputedSetting, which
// gives the record to build from, the record to store a reply in, and whether
// a setting is asked.
#pragma once

#include "channels/AddressedProcessor.h"

namespace korda32ex {

// Alarm state: LOW, HIGH or OFF.
template <class Kind, int Alarm>
KORDA_ADDRESSED_SETTING(AlarmStateSetting, Kind)
// Alarm limit.
template <class Kind, int Alarm>
KORDA_ADDRESSED_SETTING(AlarmLimitSetting, Kind)
// The digital output an alarm drives (always asked).
template <class Kind, int Alarm>
KORDA_ADDRESSED_SETTING(AlarmOutputSetting, Kind)
// Scaling: the factor M (Offset false) or the offset B (Offset true). With
// scaling off both send the "off" state, so the command list holds it twice;
// with scaling on: state on, gain, offset.
template <class Kind, bool Offset>
KORDA_ADDRESSED_SETTING(ScaleSetting, Kind)

} // namespace korda32ex
