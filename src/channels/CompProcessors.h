// The fifteen children of a computed channel, each carrying one setting of the
// computed channel record. Every child is also usable on its own, built with
// (slot, index) like its composite. Settings that come in two (alarm 1 and 2,
// operand A and B, unit and name) are one class with that choice as its
// parameter.
#pragma once

#include "channels/ComputedChannelProcessor.h"
#include "channels/SharedChannelSettings.h"

namespace korda32ex {

#define KORDA_COMPUTED_SETTING(Name)                                                               \
    class Name final : public ComputedSetting {                                                    \
      public:                                                                                      \
        Name(int slot, int index) : ComputedSetting(slot, index) {}                                \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

#define KORDA_COMPUTED_CHOICE_SETTING(Name, Choice)                                                \
    template <Choice> class Name final : public ComputedSetting {                                  \
      public:                                                                                      \
        Name(int slot, int index) : ComputedSetting(slot, index) {}                                \
        KORDA_LEAF_OPERATIONS                                                                      \
    };

// ---- Function and operands --------------------------------------------------

KORDA_COMPUTED_SETTING(CompChannelFunctionProcessor)
// Operand 'A' ("ACH", functions with one or two operands) or 'B' ("BCH",
// functions with two operands).
KORDA_COMPUTED_CHOICE_SETTING(CompOperandProcessor, char Operand)
using CompAChannelProcessor = CompOperandProcessor<'A'>;
using CompBChannelProcessor = CompOperandProcessor<'B'>;
KORDA_COMPUTED_SETTING(CompChannelPolyCoeffProcessor)
KORDA_COMPUTED_SETTING(CompSelectedChannelsProcessor)

// ---- Alarms: state (LOW / HIGH / OFF), limit and digital output -------------

using CompFirstAlarmFunctionProcessor = AlarmStateSetting<ComputedSetting, 1>;
using CompSecondAlarmFunctionProcessor = AlarmStateSetting<ComputedSetting, 2>;
using CompFirstAlarmLimitProcessor = AlarmLimitSetting<ComputedSetting, 1>;
using CompSecondAlarmLimitProcessor = AlarmLimitSetting<ComputedSetting, 2>;
using CompFirstAlarmIOProcessor = AlarmOutputSetting<ComputedSetting, 1>;
using CompSecondAlarmIOProcessor = AlarmOutputSetting<ComputedSetting, 2>;

// ---- Scaling, unit and name -------------------------------------------------

using CompFactorMProcessor = ScaleSetting<ComputedSetting, false>;
using CompFactorBProcessor = ScaleSetting<ComputedSetting, true>;
// Unit or name text: sent, never read back (the reply line is dropped).
KORDA_COMPUTED_CHOICE_SETTING(CompTextProcessor, bool Unit)
using CompUnitProcessor = CompTextProcessor<true>;
using CompNameProcessor = CompTextProcessor<false>;

#undef KORDA_COMPUTED_SETTING
#undef KORDA_COMPUTED_CHOICE_SETTING

} // namespace korda32ex
