#include "DataFileWriter.h"

#include "logdata/LineCheck.h"
#include "scpi/ScanArgs.h"
#include "state/SimClock.h"

#include <cmath>
#include <cstdio>

namespace korda::sim {

namespace {

std::string readingText(double v) {
    if (std::isnan(v)) return "9.910000E+37";
    if (std::isinf(v)) return v > 0 ? "9.900000E+37" : "-9.900000E+37";
    std::string s = args::scientificReading(v);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

// "YYYY-MM-DD hh:mm:ss.mmm" of a real-time clock reading.
std::string timeStamp(std::int64_t rtcEpochMs) {
    const CivilTime t = fromEpochMs(rtcEpochMs);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return buf;
}

} // namespace

DataFileWriter::DataFileWriter(std::string_view setupText) {
    for (const char b : setupText)
        state_ = static_cast<std::uint8_t>(state_ + static_cast<unsigned char>(b));
}

std::string DataFileWriter::header(const std::vector<int>& channels) {
    std::string out = "Record #,Time";
    for (const int ch : channels) {
        char title[16];
        std::snprintf(title, sizeof title, ",Ch%03d", ch % 1000);
        out += title;
    }
    out += ",Status,Check\r\n";
    return out;
}

std::size_t DataFileWriter::longestLine(std::size_t readings) {
    // Record number, time stamp, each reading "-9.999999E+999", status, code, line end.
    return 21 + 1 + 23 + readings * 15 + 2 + 6 + 2;
}

void DataFileWriter::appendScan(std::string& out, std::int64_t rtcEpochMs,
                                const std::vector<double>& readings) {
    const std::size_t start = out.size();
    out += std::to_string(++record_);
    out += ',';
    out += timeStamp(rtcEpochMs);
    for (const double v : readings) {
        out += ',';
        out += readingText(v);
    }
    out += ",0";
    const auto code =
        korda32ex::logdata::lineCheckCode(std::string_view(out).substr(start), state_);
    out += ',';
    out.append(code.data(), code.size());
    out += "\r\n";
}

} // namespace korda::sim
