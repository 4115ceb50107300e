#include "scan/ScanParser.h"
#include "core/Numbers.h"

#include "core/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace korda32ex::scan {

namespace {

constexpr std::size_t kMaxFields = kMaxReadings + kTimeFields;
constexpr std::size_t kStampFields = kTimeFields - 1; // year, month, day, hour, minute, seconds

constexpr unsigned kYearBias = 48;
static_assert(offsetof(ScanEntry, readings) == kEntryHeaderSize);
constexpr std::size_t kFractionDigits = 3; // the fraction is kept in milliseconds

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

struct TimeStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
};

// A reading in the form the instrument writes, "-4.033000E+00": where it
// ends and its value (the one parseReading gives), or nullptr for any other
// form. The overload words never take this way: their exponent is too large
// for the one-step conversion.
const char* readUsualReading(const char* p, const char* end, float& value) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    double v = 0;
    const char* const stop = readFixedScientific(p, end, v);
    if (stop != nullptr) value = toFloat(negative ? -v : v);
    return stop;
}

// The fields of a text split at every comma, split in the same pass that
// reads the readings in the usual form; the others are read once it is known
// which fields are readings.
struct Fields {
    std::size_t count = 0;
    const char* begin[kMaxFields];
    const char* end[kMaxFields];
    float value[kMaxFields];
    bool read[kMaxFields];

    std::string_view operator[](std::size_t i) const {
        return std::string_view(begin[i], static_cast<std::size_t>(end[i] - begin[i]));
    }
    // False when the text has more than max fields.
    bool split(std::string_view text, std::size_t max) {
        const char* p = text.data();
        const char* const last = p + text.size();
        for (count = 0;; ++count) {
            if (count == max) return false;
            const char* stop = readUsualReading(p, last, value[count]);
            read[count] = stop != nullptr && (stop == last || *stop == ',');
            if (!read[count]) // other fields are short: a plain loop finds their end
                for (stop = p; stop != last && *stop != ',';)
                    ++stop;
            begin[count] = p;
            end[count] = stop;
            if (stop == last) {
                ++count;
                return true;
            }
            p = stop + 1;
        }
    }
};

// A time field: one to four digits alone are taken at once; anything else is
// read as strtol reads it.
std::optional<int> readTimeField(std::string_view field) {
    if (!field.empty() && field.size() <= 4) {
        int v = 0;
        bool digits = true;
        for (const char c : field) {
            digits &= isDigit(c);
            v = v * 10 + (c - '0');
        }
        if (digits) return v;
    }
    return readLeadingInt(field);
}

bool readTimeStamp(const std::string_view* stamp, TimeStamp& t) {
    int* const targets[] = {&t.year, &t.month, &t.day, &t.hour, &t.minute};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto v = readTimeField(stamp[i]);
        if (!v) return false;
        *targets[i] = *v;
    }
    // Seconds: the part before the first point, and the digits after it.
    const std::string_view seconds = stamp[5];
    const std::size_t point = seconds.find('.');
    const auto whole = readTimeField(seconds.substr(0, point));
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

// Stores the first `readings` fields as the readings of the record's next
// entry, with the time stamp read from the six stamp fields.
LineResult storeEntry(const Fields& fields, std::size_t readings, const std::string_view* stamp,
                      ScanRecord& record) {
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
    if (!readTimeStamp(stamp, t)) return LineResult::Malformed;

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
        const float value = fields.read[i] ? fields.value[i] : parseReading(fields[i]);
        std::memcpy(out, &value, sizeof value);
    }
    record.entrySize = static_cast<std::int32_t>(kEntryHeaderSize + 4 * readings);
    return LineResult::Stored;
}

} // namespace

float parseReading(std::string_view field) {
    const char* const end = field.data() + field.size();
    float usual = 0;
    const char* const stop = readUsualReading(field.data(), end, usual);
    if (stop != nullptr && stop == end) return usual;
    // The overload words, told apart by their first character.
    constexpr float inf = std::numeric_limits<float>::infinity();
    switch (field.empty() ? '\0' : field.front()) {
    case '9':
        if (equalsIgnoringCase(field, "9.900000e+37")) return inf;
        break;
    case '+':
        if (equalsIgnoringCase(field, "+inf")) return inf;
        break;
    case '-':
        if (equalsIgnoringCase(field, "-9.900000e+37") || equalsIgnoringCase(field, "-inf"))
            return -inf;
        break;
    default:
        break;
    }
    const auto value = readLeadingReal(field);
    return value ? toFloat(*value) : kNotANumberReading;
}

LineResult storeScanLine(std::string_view line, ScanRecord& record) {
    if (line.empty() || (line.front() == '9' && equalsIgnoringCase(line, kNotANumberReply)))
        return LineResult::NotAScan;
    Fields fields;
    if (!fields.split(line, kMaxFields) || fields.count < kTimeFields) return LineResult::Malformed;
    // The readings, the further field (not used), then the time stamp.
    const std::size_t readings = fields.count - kTimeFields;
    std::string_view stamp[kStampFields];
    for (std::size_t i = 0; i < kStampFields; ++i)
        stamp[i] = fields[readings + 1 + i];
    return storeEntry(fields, readings, stamp, record);
}

LineResult storeScanLine(std::string_view readings, std::span<const std::string_view, 6> stamp,
                         ScanRecord& record) {
    Fields fields;
    if (!fields.split(readings, kMaxFields - kStampFields)) return LineResult::Malformed;
    return storeEntry(fields, fields.count - 1, stamp.data(), record);
}

} // namespace korda32ex::scan
