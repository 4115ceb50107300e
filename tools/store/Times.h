// Time stamps of recordings: instants as milliseconds since 1970-01-01 UTC,
// with the UTC offset of the local time they were read in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korda::tool::store {

// The milliseconds of a calendar time read as UTC (any year from 1970 on;
// fields out of their range carry over, as mktime does).
std::int64_t civilToMs(int year, int month, int day, int hour, int minute, int second,
                       int millisecond);

// The UTC offset in minutes of the PC's time zone at a local calendar time
// given as civilToMs of its fields. The instant is localMs - offset.
int localOffsetMinutes(std::int64_t localMs);

// "2026-03-07T09:05:03.042" for the local time of an instant; with
// withOffset, followed by "+01:00" ("Z" is never used, "+00:00" is).
std::string isoText(std::int64_t utcMs, int offsetMinutes, bool withOffset);

// Now, in milliseconds since 1970-01-01 UTC, and as ISO 8601 with offset.
std::int64_t nowMs();
std::string nowIso();
// The local offset at an instant.
int offsetAt(std::int64_t utcMs);

// Reads "2026-03-07", "2026-03-07T09:05", "...:03", "...:03.042", each with
// an optional "Z" or "+HH:MM"/"-HH:MM" (a space may stand for the "T");
// without an offset the time is the PC's local time. Nothing when the text
// is none of these.
std::optional<std::int64_t> parseIso(const std::string& text);

} // namespace korda::tool::store
