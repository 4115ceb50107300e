// What sets the instrument models apart, one row per model. Code asks the row
// of its model, never compares model numbers.
#pragma once

#include "korda32ext.h"

#include <string_view>

namespace korda32ex {

// The sensors whose ranges carry their own coefficients (SPRT, ABC and
// thermistor polynomial RTD ranges, the thermocouple polynomial).
enum class CoefficientRanges {
    Unknown,          // model not identified: neither sent with nor left out
    WithCoefficients, // the ranges exist and take their coefficient commands
    Absent,           // the model has no such ranges: nothing is sent for them
};

struct ModelTraits {
    int code;                // DLXVMR_MODEL_*
    std::string_view name;   // as the identification reply names it
    std::string_view number; // as setup files name it
    bool acFunctions;        // AC voltage and current measurement
    bool integrationTime;    // a per-channel integration time (NPLC)
    bool referenceChannels;  // automatic-trigger reference channels
    CoefficientRanges coefficientRanges;
    // Setup files: the column where an analog row's later settings begin
    // (0: unknown, such rows are not read).
    unsigned setupAnalogColumn;
    int moduleSlots; // module slots configured (channels 101.., 201.., 301..)
    // The highest DC voltage range code a shunt-current channel is given
    // (its voltage at 20 mA may need more).
    unsigned shuntDcRangeLimit;
};

inline constexpr ModelTraits kUnidentifiedModel{
    DLXVMR_MODEL_UNIDENTIFIED, "", "", false, false, false, CoefficientRanges::Unknown, 0, 2, 22};
inline constexpr ModelTraits kModelTable[] = {
    {DLXVMR_MODEL_7043A, "7043A", "7043", false, false, true, CoefficientRanges::WithCoefficients,
     7, 2, 19},
    {DLXVMR_MODEL_5129A, "5129A", "5129", true, true, false, CoefficientRanges::Absent, 9, 3, 22},
};

// The row of a model code; the unidentified row for any other code.
const ModelTraits& modelTraits(int code);
// The model whose name (or setup-file number, when byNumber) text contains;
// when it contains several, the last row of the table wins. The unidentified
// row when it contains none.
const ModelTraits& modelNamedIn(std::string_view text, bool byNumber = false);

} // namespace korda32ex
