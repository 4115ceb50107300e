#include "logdata/CsvProcessors.h"

#include "channels/ChannelSettingProcessors.h"
#include "channels/CompProcessors.h"
#include "config/InstrumentSettingProcessors.h"

#include <memory>

namespace korda32ex {

InstConfigForCSVProcessor::InstConfigForCSVProcessor() {
    addChild(std::make_shared<TempConfigProcessor>());
    addChild(std::make_shared<ResumeScanOnPowerProcessor>());
    addChild(std::make_shared<TotalizerDebounceProcessor>());
    addChild(std::make_shared<TotalizerStartCountProcessor>());
    addChild(std::make_shared<TotalizerModeProcessor>());
    addChild(std::make_shared<TotalizerResetProcessor>());
}

ChannelForCSVProcessor::ChannelForCSVProcessor(int slot, int index) {
    addChild(std::make_shared<FirstAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<SecondAlarmIOProcessor>(slot, index));
}

ComputedChannelForCSVProcessor::ComputedChannelForCSVProcessor(int slot, int index) {
    addChild(std::make_shared<CompFirstAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmFunctionProcessor>(slot, index));
    addChild(std::make_shared<CompFactorMProcessor>(slot, index));
    addChild(std::make_shared<CompFactorBProcessor>(slot, index));
    addChild(std::make_shared<CompFirstAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmLimitProcessor>(slot, index));
    addChild(std::make_shared<CompFirstAlarmIOProcessor>(slot, index));
    addChild(std::make_shared<CompSecondAlarmIOProcessor>(slot, index));
}

} // namespace korda32ex
