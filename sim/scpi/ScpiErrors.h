// The SCPI error numbers the virtual instrument queues, with their texts: the
// one place that names them.
#pragma once

namespace korda::sim::scpi_error {

inline constexpr int kNoError = 0;
inline constexpr int kSyntaxError = -102;
inline constexpr int kDataType = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kExecutionError = -200;
inline constexpr int kInitIgnored = -213;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kTooMuchData = -223;
inline constexpr int kIllegalValue = -224;
inline constexpr int kOutOfMemory = -225;
inline constexpr int kFileNameNotFound = -256;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kInputBufferOverrun = -363;

// The instrument's text of a code ("Undefined header"); "Execution error" for
// a code not named here.
const char* text(int code);

} // namespace korda::sim::scpi_error
