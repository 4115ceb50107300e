#include "Output.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

#if defined(_WIN32)
#include <io.h>
#define KORDA_ISATTY _isatty
#define KORDA_FILENO _fileno
#else
#include <unistd.h>
#define KORDA_ISATTY isatty
#define KORDA_FILENO fileno
#endif

namespace korda::tool {

std::string statusText(int status) {
    char text[512] = {};
    dlxVmrGetErrorStringA(status, text, sizeof text);
    return text;
}

int exitCodeFor(int status) {
    switch (status) {
    case DLXVMR_E_CANNOT_OPEN_SOCKET:
    case DLXVMR_E_SOCKET_READ:
    case DLXVMR_E_SOCKET_SEND:
    case DLXVMR_E_TIMEOUT:
    case DLXVMR_E_WINSOCK_GENERAL:
    case DLXVMR_E_WINSOCK_INIT:
    case DLXVMR_E_NETWORK_TIMEOUT:
    case DLXVMR_E_CONNECTION_REFUSED:
    case DLXVMR_E_INVALID_COM_PORT:
    case DLXVMR_E_CONNECT_TIMEOUT:
    case DLXVMR_E_INSTRUMENT_NOT_FOUND:
        return kExitCommunication;
    default:
        return kExitInstrument;
    }
}

void message(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "korda: %s\n", text.c_str());
}

std::string failureText(const std::string& doing, int status) {
    const std::string text = statusText(status);
    std::string out = doing + ": " + text + " (" + std::to_string(status) + ")";
    char detail[1024] = {};
    dlxVmrGetLastErrorDetailA(detail, sizeof detail);
    const std::string d = detail;
    if (d.empty() || d == text) return out;
    out += ": " + d;
#if !defined(_WIN32)
    if (d.find("/dev/tty") != std::string::npos && d.find("Permission denied") != std::string::npos)
        out += " \u2014 is the user in the dialout group?";
#endif
    return out;
}

int reportFailure(const std::string& doing, int status) {
    message(failureText(doing, status));
    return exitCodeFor(status);
}

std::string isoTime(const ScanEntry& e) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u.%03d", 2000 + e.year, e.month,
                  e.day, e.hour, e.minute, e.second, e.fraction);
    return text;
}

std::string isoNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms.count()));
    return text;
}

std::string readingText(float value) {
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (std::isnan(value) || value == 9.91e37f) return "";
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void CsvWriter::header(const std::vector<Column>& columns) {
    std::string line = "time";
    for (const auto& c : columns) {
        std::string cell = c.source.empty() ? std::string() : c.source + " ";
        cell += std::to_string(c.channel);
        if (!c.name.empty()) cell += " " + c.name;
        if (!c.unit.empty()) cell += " (" + c.unit + ")";
        line += ',';
        line += csvCell(cell);
    }
    line += "\n";
    std::fputs(line.c_str(), out_);
}

bool CsvWriter::rows(const ScanRecord& record) {
    const int readings = (record.entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
    for (int n = 0; n < record.scanCount; ++n) {
        const ScanEntry* e = DLXVMR_SCAN_ENTRY(&record, n);
        row(isoTime(*e), e->readings, readings);
    }
    return flush();
}

void CsvWriter::row(const std::string& time, const float* readings, int count) {
    line_ = time;
    for (int i = 0; i < count; ++i) {
        line_ += ',';
        line_ += readingText(readings[i]);
    }
    line_ += '\n';
    std::fputs(line_.c_str(), out_);
}

bool CsvWriter::flush() {
    std::fflush(out_);
    return ok();
}

Progress::Progress(std::string what, bool wanted)
    : what_(std::move(what)), terminal_(wanted && KORDA_ISATTY(KORDA_FILENO(stderr)) != 0) {}

bool Progress::outputIsTerminal() {
    return KORDA_ISATTY(KORDA_FILENO(stdout)) != 0;
}

Progress::~Progress() {
    if (shown_) std::fputs("\n", stderr);
}

void Progress::update(long long done, long long total) {
    if (!terminal_) return;
    std::fprintf(stderr, "\r%s: %lld of %lld", what_.c_str(), done, total);
    std::fflush(stderr);
    shown_ = true;
}

} // namespace korda::tool
