// A SCPI command that the library has no function for, sent as it stands:
// for tools and test benches that need one instrument setting or query the
// interface does not cover.
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

#include <cstring>
#include <string>
#include <vector>

using namespace korda32ex;

namespace {

// One program line: not empty, no line ends or other control characters
// (which would start a second command the caller did not see).
bool isOneLine(const char* command) {
    if (command == nullptr || *command == '\0') return false;
    for (const char* p = command; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrRawCommandA(int bcn, const char* command, char* reply,
                                           uint32_t size) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (!isOneLine(command)) return status::kInvalidParameter;
        const std::string text(command);
        if (text.find('?') == std::string::npos) {
            const int st = h.sendCommand(text);
            if (st == status::kOk && reply != nullptr && size > 0) reply[0] = '\0';
            return st;
        }
        if (reply == nullptr || size == 0) return status::kInvalidParameter;
        // Sent once: a query may take what it reads from the instrument (as
        // "DATA:READ?" does), so a lost reply is not asked for again.
        std::vector<std::string> replies;
        const int st = h.transact({text}, 1, replies);
        if (st != status::kOk) return st;
        copyTruncated(replies.empty() ? std::string() : replies.front(), reply, size);
        return status::kOk;
    });
}

} // extern "C"
