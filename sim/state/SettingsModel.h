// The instrument-level settings of the virtual instrument: temperature unit,
// reading rate, trigger, recording, power-loss resume and totalizer.
#pragma once

#include "scpi/CommandTable.h"

#include <cstdint>
#include <string>

namespace korda::sim {

struct InstrumentSettings {
    std::string temperatureUnit = "C"; // "C" or "F"
    std::string rate = "FAST";         // "FAST", "MED", "SLOW", "NPLC"
    std::string triggerSource = "TIM"; // "TIM", "EXT", "ALAR", "AUTO"
    long long triggerCount = 1;        // scans per trigger, 0 = until stopped
    long long timerSeconds = 10;       // scan interval; kTimerInfinite for "INF"
    std::string autoOrder = "000";     // "LIN", "ALT", "REV", or "000" when none chosen
    bool autoContinuous = false;
    int alarmChannel = 0; // channel whose alarm triggers a scan, 0 = none
    int autoReference = 0;
    int autoSecondReference = 0;
    bool resumeScan = false;            // scanning resumes after power returns
    bool logSecurity = false;           // data security of the log memory
    bool logAuto = false;               // readings are recorded
    std::string logDestination = "MEM"; // "MEM" or "MMEM"
    bool totalizerDebounce = false;
    std::string totalizerType = "READ"; // "READ" or "RRES"
    bool totalizerOn = false;
    std::uint32_t totalizerCount = 0;

    static constexpr long long kTimerInfinite = -1;
    static constexpr long long kLongestInterval = 359999; // 99:59:59
    static constexpr long long kMostScansPerTrigger = 99999;

    void reset() { *this = InstrumentSettings{}; }
};

void registerSettingsCommands(CommandTable& table);

} // namespace korda::sim
