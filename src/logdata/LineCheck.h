// The check code of data-file lines. Each data line ends with a comma and five
// characters computed from every character before that comma and from a state
// byte carried from line to line; the chain starts from the byte sum of the
// recording's setup file. Reordering, dropping or editing a line, or pairing
// the data file with another setup file, breaks the codes from that line on.
//
// The virtual instrument writes its recordings with these same functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korda32ex::logdata {

// The code alphabet: 256 entries, each one of the 29 characters A-Z, a, b, c,
// and each of those 29 occurring. Indexed by an unsigned byte.
extern const char lineCheckTable[257];

// The five code characters of a line whose text before its last comma is
// `body`, given the state carried in; state becomes the state for the next
// line.
std::array<char, 5> lineCheckCode(std::string_view body, std::uint8_t& state);

// Verifies one data line (its line end may be included; nothing after the five
// code characters is examined). False when the line has no comma after its
// first character, fewer than five characters after the last comma, or a code
// that does not match. The state advances to the next line's state as soon as
// the line has a comma, before the code is compared.
bool checkLine(std::string_view line, std::uint8_t& state);

// The byte sum (modulo 256) of a setup file, the first state of the check
// chain: the file is read in pieces of at most 4095 bytes, each ending after a
// line feed, and a zero byte ends the sum of its piece. 0 when the file does
// not open.
std::uint8_t setupChecksum(const wchar_t* path);

// What a validating pass saw of a data file: its complete lines (header
// included), those of them that count as scans (see countsAsScan), and its
// size in bytes.
struct DataFileTally {
    std::int64_t lines = 0;
    std::int64_t scanLines = 0;
    std::uint64_t bytes = 0;
};

// True when every line of the data file after its header passes checkLine,
// chained from the checksum of "setup.csv" in the same directory (0 when that
// file is missing). False for an empty or null path, a file that does not
// open, a failing line or a line longer than any data line can be; then
// failure (when given) receives why: the path with the system's reason, or
// the number of the failing line (the header is line 1). The file is read
// once, in large blocks; on success the tally, when given, receives what the
// pass counted.
bool validateDataFile(const wchar_t* path, DataFileTally* tally = nullptr,
                      std::string* failure = nullptr);

} // namespace korda32ex::logdata
