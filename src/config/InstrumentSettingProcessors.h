// The instrument-level setting processors: each carries one setting of the
// configuration record's instrument fields to and from the instrument. They
// are all one leaf, InstrumentSettingProcessor, which a row of one table
// tells what it sends, what it asks and how it reads the reply; the named
// types below each pick their row.
#pragma once

#include "config/IProcessor.h"

namespace korda32ex {

enum class InstrumentSetting {
    TempUnit,
    Destination,
    SampleRate,
    ScanCount,
    TriggerType,
    TriggerAutoOrder,
    ResumeScanOnPower,
    DataSecurity,
    SourceControl,
    AutoRecording,
    ScanInterval,
    TotalizerDebounce,
    TotalizerStartCount,
    TotalizerMode,
    TotalizerReset,
};

struct InstrumentSettingRow;

class InstrumentSettingProcessor : public IProcessor {
  public:
    explicit InstrumentSettingProcessor(InstrumentSetting setting);
    KORDA_LEAF_OPERATIONS
    // Set by buildQueries for a setting read back only under the automatic
    // trigger when the trigger source is another: there is then no reply to
    // parse.
    bool isSkipped() override { return skipped_; }

  private:
    const InstrumentSettingRow& row_;
    bool skipped_ = false;
};

#define KORDA_INSTRUMENT_SETTING(Name, Setting)                                                    \
    class Name final : public InstrumentSettingProcessor {                                         \
      public:                                                                                      \
        Name() : InstrumentSettingProcessor(InstrumentSetting::Setting) {}                         \
    };

// The temperature unit (Celsius or Fahrenheit).
KORDA_INSTRUMENT_SETTING(TempConfigProcessor, TempUnit)
// Whether readings are recorded, and where: instrument memory or USB drive.
KORDA_INSTRUMENT_SETTING(DestinationProcessor, Destination)
// The reading rate: fast, medium, slow or by integration time.
KORDA_INSTRUMENT_SETTING(SampleRateProcessor, SampleRate)
// The number of scans per trigger.
KORDA_INSTRUMENT_SETTING(ScanCountProcessor, ScanCount)
// The trigger source: timer, external, alarm or automatic.
KORDA_INSTRUMENT_SETTING(TriggerTypeProcessor, TriggerType)
// The order of the automatic trigger (automatic source only).
KORDA_INSTRUMENT_SETTING(TriggerAutoOrderProcessor, TriggerAutoOrder)
// Whether scanning resumes after power returns.
KORDA_INSTRUMENT_SETTING(ResumeScanOnPowerProcessor, ResumeScanOnPower)
// The data security of the log memory.
KORDA_INSTRUMENT_SETTING(DataSecurityProcessor, DataSecurity)
// Whether the automatic trigger runs continuously (automatic source only).
KORDA_INSTRUMENT_SETTING(SourceControlProcessor, SourceControl)
// Whether readings are recorded.
KORDA_INSTRUMENT_SETTING(AutoRecordingProcessor, AutoRecording)
// The scan interval of the timer trigger.
KORDA_INSTRUMENT_SETTING(ScanIntervalProcessor, ScanInterval)
// The totalizer's debounce.
KORDA_INSTRUMENT_SETTING(TotalizerDebounceProcessor, TotalizerDebounce)
// The totalizer count (read back only, never sent).
KORDA_INSTRUMENT_SETTING(TotalizerStartCountProcessor, TotalizerStartCount)
// The totalizer's read mode: read, or read and reset.
KORDA_INSTRUMENT_SETTING(TotalizerModeProcessor, TotalizerMode)
// Whether the totalizer counts.
KORDA_INSTRUMENT_SETTING(TotalizerResetProcessor, TotalizerReset)

#undef KORDA_INSTRUMENT_SETTING

} // namespace korda32ex
