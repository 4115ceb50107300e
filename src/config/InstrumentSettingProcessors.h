// The instrument-level setting processors: each carries one setting of the
// configuration record's instrument fields to and from the instrument.
#pragma once

#include "config/IProcessor.h"

namespace korda32ex {

// The temperature unit (Celsius or Fahrenheit).
class TempConfigProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// Whether readings are recorded, and where: instrument memory or USB drive.
class DestinationProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The reading rate: fast, medium, slow or by integration time.
class SampleRateProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The number of scans per trigger.
class ScanCountProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The trigger source: timer, external, alarm or automatic.
class TriggerTypeProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The order of the automatic trigger (automatic source only).
class TriggerAutoOrderProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
    // Set by buildQueries when the trigger source is not automatic: there is
    // then no reply to parse.
    bool isSkipped() override { return skipped_; }

  private:
    bool skipped_ = false;
};

// Whether scanning resumes after power returns.
class ResumeScanOnPowerProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The data security of the log memory.
class DataSecurityProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// Whether the automatic trigger runs continuously (automatic source only).
class SourceControlProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
    // Set by buildQueries when the trigger source is not automatic: there is
    // then no reply to parse.
    bool isSkipped() override { return skipped_; }

  private:
    bool skipped_ = false;
};

// Whether readings are recorded.
class AutoRecordingProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The scan interval of the timer trigger.
class ScanIntervalProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The totalizer's debounce.
class TotalizerDebounceProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The totalizer count (read back only, never sent).
class TotalizerStartCountProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// The totalizer's read mode: read, or read and reset.
class TotalizerModeProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

// Whether the totalizer counts.
class TotalizerResetProcessor final : public IProcessor {
  public:
    KORDA_LEAF_OPERATIONS
};

} // namespace korda32ex
