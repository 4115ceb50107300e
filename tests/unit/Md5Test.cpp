// The fingerprint's digest against the test suite of RFC 1321, whole and fed
// in pieces of every awkward size.
#include "config/Md5.h"
#include "config/ConfigFingerprint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using namespace korda32ex;

namespace {

struct Vector {
    const char* message;
    const char* digest;
};

// RFC 1321, appendix A.5.
constexpr Vector kSuite[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(Md5, Rfc1321Suite) {
    for (const auto& v : kSuite)
        EXPECT_EQ(upperHex(Md5::of(v.message, std::strlen(v.message))), v.digest) << v.message;
}

TEST(Md5, PiecesGiveTheDigestOfTheWhole) {
    // Lengths around the 56-byte padding boundary and the 64-byte block.
    std::string message;
    for (int i = 0; i < 200; ++i)
        message.push_back(static_cast<char>('a' + i % 26));
    for (const std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        const auto whole = Md5::of(message.data(), length);
        for (const std::size_t piece : {1u, 3u, 63u, 64u, 65u}) {
            Md5 md5;
            for (std::size_t at = 0; at < length; at += piece)
                md5.update(message.data() + at, std::min(piece, length - at));
            EXPECT_EQ(md5.finish(), whole) << length << " in pieces of " << piece;
        }
    }
    // A million 'a' (the long vector of other MD5 suites).
    const std::string million(1000000, 'a');
    EXPECT_EQ(upperHex(Md5::of(million.data(), million.size())),
              "7707D6AE4E027C70EEA2A935C2296F21");
}

TEST(ConfigFingerprint, FirstThirteenHexDigitsOfTheRecordDigest) {
    auto record = std::make_unique<VmrInstConfig>();
    std::memset(record.get(), 0, sizeof *record);
    const std::string fingerprint = configurationFingerprint(*record);
    EXPECT_EQ(fingerprint, upperHex(Md5::of(record.get(), sizeof *record)).substr(0, 13));
    // Any byte of the record counts, reserved ones included.
    record->reserved16[3] = 1;
    EXPECT_NE(configurationFingerprint(*record), fingerprint);
}

} // namespace
