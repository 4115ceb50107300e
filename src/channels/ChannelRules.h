// Rules shared by the analog and computed channel processors: alarm states,
// digital outputs, reply numbers and texts placed in commands.
#pragma once

#include "korda32ext.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korda32ex {

namespace channelrules {

// A function code that is set and not switched off.
inline bool isOn(std::uint32_t function) {
    return function != 0 && function != VMR_CHANNEL_OFF;
}

// Scaling is off when gain and offset are exactly neutral.
inline bool scalingOff(double m, double b) {
    return m == 1.0 && b == 0.0;
}

// The state word of alarm 1 or 2 in alarmFlags: low wins over high.
// Alarm 1 uses bits 1 (low) and 2 (high), alarm 2 bits 3 and 4.
const char* alarmStateWord(std::uint32_t alarmFlags, int alarm);

// "HIGH" / "LOW" set the alarm's bit, "OFF" changes nothing; anything else is
// an invalid reply.
bool parseAlarmState(const std::string& reply, std::uint32_t& alarmFlags, int alarm,
                     std::string& errorText, int& errorCode);

// Output number k of an alarm's output bit set v (1..64): one plus the index of
// the highest set bit among bits 0..5, 0 when none of those is set. False
// (nothing sent) when v is 0 or above 64.
bool outputNumber(std::uint32_t v, int& k);

// Reply of an output query: "NONE", empty or 0 stores 0; 1..32 stores the
// single bit k-1; anything above 32 (or negative) is an invalid reply.
bool parseOutput(const std::string& reply, std::uint32_t& field, std::string& errorText,
                 int& errorCode);

// A reply read as a real number by stream extraction: 0 when the text does
// not start with a number.
double replyNumber(std::string_view reply);

// Stores a reply number that is 0 or more; a negative one is an invalid reply.
bool parseNonNegative(const std::string& reply, double& field, std::string& errorText,
                      int& errorCode);

// The 16-bit record text as it goes into a command: read up to its terminator
// or its 256 units, control characters (below 0x20, and 0x7F) removed,
// converted to narrow text in the current locale and cut to at most maxBytes
// bytes (never inside a character). A text with a character the locale cannot
// express is sent empty.
std::string commandText(const VmrChar16* units, std::size_t maxBytes);

inline constexpr std::size_t kAnalogNameBytes = 15;
inline constexpr std::size_t kShortTextBytes = 9;

} // namespace channelrules
} // namespace korda32ex
