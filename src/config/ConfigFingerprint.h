// The fingerprint of a configuration record: kept in the instrument's OEM
// identity, so that a configuration the instrument already runs need not be
// sent again.
#pragma once

#include "korda32ext.h"

#include <string>

namespace korda32ex {

inline constexpr std::size_t kFingerprintLength = 13;

// The first 13 upper-case hexadecimal digits of the MD5 digest of the whole
// record's bytes.
std::string configurationFingerprint(const VmrInstConfig& record);

} // namespace korda32ex
