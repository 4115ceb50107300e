#include "logdata/LineCheck.h"

#include "logdata/DataFileReader.h"
#include "logdata/DriveFiles.h"
#include "logdata/FileLines.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace korda32ex::logdata {

const char lineCheckTable[257] = "ICBYSMGAXRLFcWVPJDaUOICZTSMGAXRL"
                                 "FcWQPJDaUOICZTNMGAXRLFcWQKJDaUOI"
                                 "CZTNHGAXRLFcWQKEDaUOICZTNHBAXRLF"
                                 "cWQKEbVUOICZTNHBYSRLFcWQKEbVPOIC"
                                 "ZTNHBYSMLFcWQKEbVPJICZTNHBYSMGFc"
                                 "WQKEbVPJDCZTNHBYSMGAXWQKEbVPJDaU"
                                 "TNHBYSMGAXRQKEbVPJDaUONHBYSMGAXR"
                                 "LKEbVPJDaUOIHBYSMGAXRLFEbVPJDaUO";

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// No data line comes anywhere near this; a longer line is not a data line.
constexpr std::size_t kMaxLineBytes = 1 << 20;
// The piece length of the setup sum (a 4096-byte line buffer and its terminator).
constexpr std::size_t kSetupPieceBytes = 4095;

using Accumulators = std::array<std::uint8_t, 5>;

// Bytes summed per block: four rounds of the five accumulators, so that byte
// j of every block belongs to accumulator j % 5. Data lines are a few hundred
// bytes long; a small block leaves a short tail for the byte-wise loop and few
// lanes to fold, which measures faster than blocks of 40 or 80.
constexpr std::size_t kBlock = 20;

// Accumulator m starts at (m + 1) * state; character i adds to accumulator i % 5.
// The sums are taken modulo 256, so the lanes of bytes add up each block
// with wrapping byte arithmetic (a loop the compiler turns into vector adds)
// and fold into the five accumulators once per line.
Accumulators accumulate(std::string_view body, std::uint8_t state) {
    const auto* p = reinterpret_cast<const unsigned char*>(body.data());
    const std::size_t n = body.size();
    unsigned a[5];
    for (unsigned m = 0; m < 5; ++m)
        a[m] = (m + 1u) * state;
    std::size_t i = 0;
    if (n >= kBlock) {
        std::uint8_t lanes[kBlock] = {};
        for (; i + kBlock <= n; i += kBlock)
            for (std::size_t j = 0; j < kBlock; ++j)
                lanes[j] = static_cast<std::uint8_t>(lanes[j] + p[i + j]);
        for (std::size_t j = 0; j < kBlock; j += 5)
            for (unsigned m = 0; m < 5; ++m)
                a[m] += lanes[j + m];
    }
    for (; i + 5 <= n; i += 5)
        for (unsigned m = 0; m < 5; ++m)
            a[m] += p[i + m];
    for (unsigned m = 0; i < n; ++i, ++m)
        a[m] += p[i];
    Accumulators out;
    for (unsigned m = 0; m < 5; ++m)
        out[m] = static_cast<std::uint8_t>(a[m]);
    return out;
}

} // namespace

std::array<char, 5> lineCheckCode(std::string_view body, std::uint8_t& state) {
    const Accumulators acc = accumulate(body, state);
    state = acc[0];
    std::array<char, 5> code;
    for (unsigned m = 0; m < 5; ++m)
        code[m] = lineCheckTable[acc[m]];
    return code;
}

bool checkLine(std::string_view line, std::uint8_t& state) {
    // The last comma, not counting one at the very start of the line.
    const std::size_t k = line.rfind(',');
    if (k == std::string_view::npos || k == 0) return false;
    const Accumulators acc = accumulate(line.substr(0, k), state);
    state = acc[0];
    if (line.size() - (k + 1) < 5) return false;
    for (unsigned m = 0; m < 5; ++m)
        if (line[k + 1 + m] != lineCheckTable[acc[m]]) return false;
    return true;
}

std::uint8_t setupChecksum(const wchar_t* path) {
    if (path == nullptr) return 0;
    FilePtr file(platform::openFileWide(path, "rb"));
    if (!file) return 0;
    unsigned sum = 0;
    std::size_t pieceLength = 0;
    bool pieceEnded = false; // a zero byte met in the current piece
    unsigned char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) break;
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char b = buffer[i];
            if (b == 0)
                pieceEnded = true;
            else if (!pieceEnded)
                sum += b;
            if (b == '\n' || ++pieceLength == kSetupPieceBytes) {
                pieceLength = 0;
                pieceEnded = false;
            }
        }
    }
    return static_cast<std::uint8_t>(sum);
}

bool validateDataFile(const wchar_t* path, DataFileTally* tally, std::string* failure) {
    const auto fail = [&](const std::string& why) {
        if (failure) *failure = why;
        return false;
    };
    if (path == nullptr || *path == L'\0') return fail("no path given");
    std::wstring directory, name;
    splitPath(path, directory, name);
    std::uint8_t state = setupChecksum((directory + kSetupFileName).c_str());
    const std::wstring full = directory + L"\\" + name;
    const platform::ReadOnlyFile file(full.c_str());
    const auto systemFailure = [&](const char* doing) {
        return fail(std::string(doing) + " " + pathText(full) + ": " +
                    platform::systemErrorText(platform::lastSystemError()));
    };
    if (!file.isOpen()) return systemFailure("open");
    const auto lineFailure = [&](std::int64_t number, const char* what) {
        return fail(pathText(full) + ": line " + std::to_string(number) + what);
    };

    // Lines end as the readers take them: at a carriage return or a line
    // feed, a following CR or LF belonging to the same break. The header is
    // passed by; every further line is checked.
    FileLines lines(file, 0, kMaxLineBytes);
    DataFileTally counted;
    std::string_view line;
    std::uint64_t offset = 0;
    while (lines.next(line, offset)) {
        if (line.size() > kMaxLineBytes)
            return lineFailure(counted.lines + 1, " is longer than any data line");
        if (counted.lines > 0 && !checkLine(line, state))
            return lineFailure(counted.lines + 1, " fails its check code");
        ++counted.lines;
        counted.scanLines += countsAsScan(line);
    }
    if (lines.lineTooLong()) return lineFailure(counted.lines + 1, " is longer than any data line");
    if (lines.failed()) return systemFailure("read");
    // A last line without its line end is checked too.
    const std::string_view rest = lines.rest();
    if (!rest.empty() && counted.lines > 0) {
        if (rest.size() > kMaxLineBytes)
            return lineFailure(counted.lines + 1, " is longer than any data line");
        if (!checkLine(rest, state)) return lineFailure(counted.lines + 1, " fails its check code");
    }
    counted.bytes = lines.bytesRead();
    if (tally != nullptr) *tally = counted;
    return true;
}

} // namespace korda32ex::logdata
