// Interim bodies of the per-channel setting processors that do not carry
// their setting yet: they build no command and ask nothing, so a channel's
// composite passes them by when it parses. Each processor replaces its
// interim body with its own file.
#include "channels/ChannelSettingProcessors.h"

namespace korda32ex {

#define KORDA_INTERIM_CHANNEL_SETTING(Name)                                                        \
    bool Name::buildCommands(const VmrInstConfig&, CommandList&, std::string&, int&) {             \
        return true;                                                                               \
    }                                                                                              \
    bool Name::parseResponse(const std::string&, VmrInstConfig&, std::string&, int&) {             \
        return true;                                                                               \
    }                                                                                              \
    bool Name::buildQueries(CommandList&, SCPIHandler*) {                                          \
        markSkipped();                                                                             \
        return true;                                                                               \
    }

KORDA_INTERIM_CHANNEL_SETTING(FirstAlarmFunctionProcessor)
KORDA_INTERIM_CHANNEL_SETTING(SecondAlarmFunctionProcessor)
KORDA_INTERIM_CHANNEL_SETTING(ThermoDetectionProcessor)
KORDA_INTERIM_CHANNEL_SETTING(FactorMProcessor)
KORDA_INTERIM_CHANNEL_SETTING(FactorBProcessor)
KORDA_INTERIM_CHANNEL_SETTING(CustomSampleRateProcessor)
KORDA_INTERIM_CHANNEL_SETTING(ChannelDelayProcessor)
KORDA_INTERIM_CHANNEL_SETTING(FirstAlarmLimitProcessor)
KORDA_INTERIM_CHANNEL_SETTING(SecondAlarmLimitProcessor)
KORDA_INTERIM_CHANNEL_SETTING(FirstAlarmIOProcessor)
KORDA_INTERIM_CHANNEL_SETTING(SecondAlarmIOProcessor)
KORDA_INTERIM_CHANNEL_SETTING(ChannelAlarmTriggerProcessor)
KORDA_INTERIM_CHANNEL_SETTING(ChannelNameProcessor)
KORDA_INTERIM_CHANNEL_SETTING(ChannelUnitProcessor)

#undef KORDA_INTERIM_CHANNEL_SETTING

} // namespace korda32ex
