// Finding instruments on the PC's COM ports.
#include "comm/USBCommunication.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

using namespace korda32ex;

namespace {

const std::string kIdentifyQuery = "*IDN?\r\n";
constexpr std::uint32_t kReplyByteMs = 500;
// An identification line is short; a port that streams bytes without a line
// feed must not keep the enumeration reading forever.
constexpr std::size_t kMaxReplyBytes = 4096;

// Asks the instrument on one COM port for its identity. Returns true and the
// reply when the question went out and at least one byte came back.
bool identifyPort(int comNumber, std::uint32_t openTimeoutMs, std::string& reply) {
    USBCommunication port(comNumber);
    // The open status is not tested: a port that did not open fails the write.
    port.open(openTimeoutMs);
    const int written = port.sendBulk(kIdentifyQuery, USBCommunication::kBulkWriteMs);
    // Collect one line: until a line feed has arrived or a byte is overdue.
    while (port.receive(kReplyByteMs, reply) == status::kOk) {
        if (reply.back() == '\n' || reply.size() >= kMaxReplyBytes) break;
    }
    return written == status::kOk && !reply.empty();
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrUsbEnum(int* ports, int* models, int highest) {
    return withLibrary([&](GlobalData& g) -> int {
        if (ports == nullptr || models == nullptr) return status::kInvalidParameter;
        std::size_t found = 0;
        // COM1 is always tried, even when highest is below 1.
        for (int k = 1;; ++k) {
            std::string reply;
            if (identifyPort(k, g.timeoutMs(), reply)) {
                ports[found] = k;
                models[found] = identifyModel(reply);
                ++found;
            }
            if (k >= highest) break;
        }
        return status::kOk;
    });
}

} // extern "C"
