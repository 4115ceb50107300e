// MD5 message digest (RFC 1321), used for the fingerprint of a configuration
// kept in the instrument. Not for any security purpose.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korda32ex {

class Md5 {
  public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    // Adds bytes to the message; may be called any number of times.
    void update(const void* data, std::size_t length);
    // Completes the message and returns its digest. The object is then spent.
    Digest finish();

    // The digest of one whole message.
    static Digest of(const void* data, std::size_t length);

  private:
    void transform(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::uint64_t length_ = 0; // bytes added so far
};

// The digest written as 32 upper-case hexadecimal digits, two per byte in
// digest order.
std::string upperHex(const Md5::Digest& digest);

} // namespace korda32ex
