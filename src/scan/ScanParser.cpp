#include "scan/ScanParser.h"
#include "core/Numbers.h"

#include "core/Text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace korda32ex::scan {

namespace {

constexpr std::size_t kMaxFields = kMaxReadings + kTimeFields;

constexpr unsigned kYearBias = 48;
static_assert(offsetof(ScanEntry, readings) == kEntryHeaderSize);
constexpr std::size_t kFractionDigits = 3; // the fraction is kept in milliseconds

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

struct TimeStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
};

// Splits at every comma into fields; false when there are more than max.
bool splitFields(std::string_view line, std::array<std::string_view, kMaxFields>& fields,
                 std::size_t& count) {
    count = 0;
    std::size_t start = 0;
    for (;;) {
        if (count == fields.size()) return false;
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields[count++] = line.substr(start);
            return true;
        }
        fields[count++] = line.substr(start, comma - start);
        start = comma + 1;
    }
}

bool readTimeStamp(const std::string_view* time, TimeStamp& t) {
    // time[0] is the instrument's further field and is not used.
    int* const targets[] = {&t.year, &t.month, &t.day, &t.hour, &t.minute};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto v = readLeadingInt(time[i + 1]);
        if (!v) return false;
        *targets[i] = *v;
    }
    // Seconds: the part before the first point, and the digits after it.
    const std::string_view seconds = time[6];
    const std::size_t point = seconds.find('.');
    const auto whole = readLeadingInt(seconds.substr(0, point));
    if (!whole) return false;
    t.second = *whole;
    if (point != std::string_view::npos) {
        // Milliseconds: the digits after the point taken to three places,
        // padded with zeros on the right (".5" is 500), further digits dropped.
        const std::string_view rest = seconds.substr(point + 1);
        if (rest.empty() || !isDigit(rest.front())) return false;
        int ms = 0;
        std::size_t i = 0;
        for (; i < kFractionDigits && i < rest.size() && isDigit(rest[i]); ++i)
            ms = ms * 10 + (rest[i] - '0');
        for (; i < kFractionDigits; ++i)
            ms *= 10;
        t.fraction = ms;
    }
    return true;
}

std::uint8_t low8(int v) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu);
}

} // namespace

float parseReading(std::string_view field) {
    if (equalsIgnoringCase(field, "9.900000e+37") || equalsIgnoringCase(field, "+inf"))
        return std::numeric_limits<float>::infinity();
    if (equalsIgnoringCase(field, "-9.900000e+37") || equalsIgnoringCase(field, "-inf"))
        return -std::numeric_limits<float>::infinity();
    const auto value = readLeadingReal(field);
    return value ? toFloat(*value) : kNotANumberReading;
}

LineResult storeScanLine(std::string_view line, ScanRecord& record) {
    if (line.empty() || equalsIgnoringCase(line, kNotANumberReply)) return LineResult::NotAScan;
    std::array<std::string_view, kMaxFields> fields;
    std::size_t count = 0;
    if (!splitFields(line, fields, count)) return LineResult::Malformed;
    return storeScanFields(std::span<const std::string_view>(fields.data(), count), record);
}

LineResult storeScanFields(std::span<const std::string_view> fields, ScanRecord& record) {
    const std::size_t count = fields.size();
    if (count < kTimeFields || count > kMaxFields) return LineResult::Malformed;
    const std::size_t readings = count - kTimeFields;

    // Every scan of one fetch or file has the same number of readings, so the
    // entries keep one stride; a record with an unusable stride takes nothing.
    if (record.scanCount < 0) return LineResult::Malformed;
    std::size_t position = kRecordHeaderSize;
    if (record.scanCount > 0) {
        const std::int64_t stride = record.entrySize;
        const std::int64_t expected = static_cast<std::int64_t>(kEntryHeaderSize + 4 * readings);
        if (stride != expected) return LineResult::Malformed;
        position += static_cast<std::size_t>(stride) * static_cast<std::size_t>(record.scanCount);
    }

    TimeStamp t;
    if (!readTimeStamp(&fields[readings], t)) return LineResult::Malformed;

    // The header is filled through the entry's named fields, then copied to
    // where the entry lies in the caller's buffer (which need not be aligned).
    ScanEntry header;
    std::memset(&header, 0, sizeof header);
    header.hour = low8(t.hour);
    header.minute = low8(t.minute);
    header.second = low8(t.second);
    header.month = low8(t.month);
    header.day = low8(t.day);
    header.year = low8(static_cast<int>(static_cast<unsigned>(t.year) + kYearBias));
    header.fraction = t.fraction;
    unsigned char* const entry = reinterpret_cast<unsigned char*>(&record) + position;
    std::memcpy(entry, &header, kEntryHeaderSize);
    unsigned char* out = entry + kEntryHeaderSize;
    for (std::size_t i = 0; i < readings; ++i, out += sizeof(float)) {
        const float value = parseReading(fields[i]);
        std::memcpy(out, &value, sizeof value);
    }
    record.entrySize = static_cast<std::int32_t>(kEntryHeaderSize + 4 * readings);
    return LineResult::Stored;
}

} // namespace korda32ex::scan
