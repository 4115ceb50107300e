#include "config/ConfigFingerprint.h"

#include "config/Md5.h"

namespace korda32ex {

std::string configurationFingerprint(const VmrInstConfig& record) {
    return upperHex(Md5::of(&record, sizeof record)).substr(0, kFingerprintLength);
}

} // namespace korda32ex
