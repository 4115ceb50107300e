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
    addSettings<FirstAlarmIOProcessor, SecondAlarmIOProcessor>(*this, slot, index);
}

ComputedChannelForCSVProcessor::ComputedChannelForCSVProcessor(int slot, int index) {
    addSettings<CompFirstAlarmFunctionProcessor, CompSecondAlarmFunctionProcessor,
                CompFactorMProcessor, CompFactorBProcessor, CompFirstAlarmLimitProcessor,
                CompSecondAlarmLimitProcessor, CompFirstAlarmIOProcessor,
                CompSecondAlarmIOProcessor>(*this, slot, index);
}

} // namespace korda32ex
