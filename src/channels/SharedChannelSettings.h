// The settings that analog and computed channels share: state, limit and
// digital output of alarm 1 or 2, and the scaling factor and offset. Each is
// one class over the kind of channel, ChannelSetting or ComputedSetting, which
// gives the record to build from, the record to store a reply in, and whether
// a setting is asked.
#pragma once

#include "config/IProcessor.h"

namespace korda32ex {

#define KORDA_SHARED_CHANNEL_SETTING(Name, Choice)                                                 \
    template <class Kind, Choice> class Name final : public Kind {                                 \
      public:                                                                                      \
        Name(int slot, int index) : Kind(slot, index) {}                                           \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

// Alarm state: LOW, HIGH or OFF.
KORDA_SHARED_CHANNEL_SETTING(AlarmStateSetting, int Alarm)
// Alarm limit.
KORDA_SHARED_CHANNEL_SETTING(AlarmLimitSetting, int Alarm)
// The digital output an alarm drives (always asked).
KORDA_SHARED_CHANNEL_SETTING(AlarmOutputSetting, int Alarm)
// Scaling: the factor M (Offset false) or the offset B (Offset true). With
// scaling off both send the "off" state, so the command list holds it twice;
// with scaling on: state on, gain, offset.
KORDA_SHARED_CHANNEL_SETTING(ScaleSetting, bool Offset)

#undef KORDA_SHARED_CHANNEL_SETTING

} // namespace korda32ex
