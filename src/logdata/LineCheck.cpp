#include "logdata/LineCheck.h"

#include "logdata/DriveFiles.h"
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

// Accumulator m starts at (m + 1) * state; character i adds to accumulator i % 5.
Accumulators accumulate(std::string_view body, std::uint8_t state) {
    unsigned a[5];
    for (unsigned m = 0; m < 5; ++m)
        a[m] = (m + 1u) * state;
    const auto* p = reinterpret_cast<const unsigned char*>(body.data());
    const std::size_t n = body.size();
    std::size_t i = 0;
    for (; i + 5 <= n; i += 5) {
        a[0] += p[i];
        a[1] += p[i + 1];
        a[2] += p[i + 2];
        a[3] += p[i + 3];
        a[4] += p[i + 4];
    }
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

bool validateDataFile(const wchar_t* path, std::string* failure) {
    if (path == nullptr || *path == L'\0') {
        if (failure) *failure = "no path given";
        return false;
    }
    std::wstring directory, name;
    splitPath(path, directory, name);
    std::uint8_t state = setupChecksum((directory + kSetupFileName).c_str());
    const std::wstring full = directory + L"\\" + name;
    FilePtr file(platform::openFileWide(full.c_str(), "rb"));
    const auto fail = [&](const std::string& why) {
        if (failure) *failure = why;
        return false;
    };
    const auto systemFailure = [&](const char* doing) {
        return fail(std::string(doing) + " " + pathText(full) + ": " +
                    platform::systemErrorText(platform::lastSystemError()));
    };
    if (!file) return systemFailure("open");

    long long lineNumber = 0;
    // Checks one line; the header is passed by.
    auto take = [&](std::string_view line) {
        if (++lineNumber == 1) return true;
        if (checkLine(line, state)) return true;
        return fail(pathText(full) + ": line " + std::to_string(lineNumber) +
                    " fails its check code");
    };
    const auto tooLong = [&]() {
        return fail(pathText(full) + ": line " + std::to_string(lineNumber + 1) +
                    " is longer than any data line");
    };
    // Lines end as the readers take them (TextLines): at a carriage return or
    // a line feed, a following CR or LF belonging to the same break.
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    std::string carry;      // a line that continues into the next block
    bool breakOpen = false; // the block ended on a line end whose pair may follow
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) break;
        const char* p = buffer;
        const char* const end = buffer + got;
        if (breakOpen && isLineEnd(*p)) ++p;
        breakOpen = false;
        while (p < end) {
            const char* brk = std::find_if(p, end, isLineEnd);
            if (brk == end) {
                carry.append(p, end);
                if (carry.size() > kMaxLineBytes) return tooLong();
                break;
            }
            bool ok;
            if (carry.empty()) {
                ok = take(std::string_view(p, static_cast<std::size_t>(brk - p)));
            } else {
                carry.append(p, brk);
                if (carry.size() > kMaxLineBytes) return tooLong();
                ok = take(carry);
                carry.clear();
            }
            if (!ok) return false;
            p = brk + 1;
            if (p == end)
                breakOpen = true;
            else if (isLineEnd(*p))
                ++p;
        }
    }
    if (std::ferror(file.get())) return systemFailure("read");
    // A last line without its line end is checked too.
    return carry.empty() || take(carry);
}

} // namespace korda32ex::logdata
