// The direct exported operations: instrument clock, digital I/O byte,
// totalizer, OEM identity.
#include "comm/ScpiText.h"
#include "core/Text.h"
#include "frontend/ApiFrame.h"
#include "frontend/DirectOperations.h"
#include "korda32ext.h"

#include <limits>
#include <vector>

using namespace korda32ex;

namespace {

int setClock(int bcn, platform::CalendarTime (*readClock)()) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        return h.sendCommands(clockCommands(readClock()));
    });
}

int setOemIdentity(int bcn, const std::string* text) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (text == nullptr) return status::kInvalidParameter;
        return h.sendCommand(oemIdentityCommand(*text));
    });
}

// Reads the OEM identity into reply; -2 for a missing buffer or size 0. A
// reply in quotation marks reads as the text it quotes.
template <class Char> int getOemIdentity(int bcn, Char* buffer, uint32_t size, std::string& reply) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (buffer == nullptr || size == 0) return status::kInvalidParameter;
        return readOemIdentity(h, reply);
    });
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrTimeSet(int bcn) {
    return setClock(bcn, platform::localTime);
}

KORDA_API int KORDA_CALL dlxVmrTimeSetUTC(int bcn) {
    return setClock(bcn, platform::utcTime);
}

KORDA_API int KORDA_CALL dlxVmrDIOGet(int bcn, int* value) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (value == nullptr) return status::kInvalidParameter;
        return readDigitalIO(h, *value);
    });
}

KORDA_API int KORDA_CALL dlxVmrDIOSet(int bcn, int mask, int value) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        int current = 0;
        const int st = readDigitalIO(h, current);
        if (st != status::kOk) return st;
        return h.sendCommand("SOUR:DIG:DATA:BYTE " +
                             std::to_string(digitalIOCommandValue(current, mask, value)));
    });
}

KORDA_API int KORDA_CALL dlxVmrTotalizerGet(int bcn, int* count) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (count == nullptr) return status::kInvalidParameter;
        std::int64_t number = 0;
        const int st = h.queryInt("TOT:DATA?", number, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max());
        if (st != status::kOk) return st;
        *count = static_cast<int>(number);
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrTotalizerClear(int bcn) {
    return withInstrument(bcn,
                          [&](SCPIHandler& h, GlobalData&) { return h.sendCommand("TOT:CLE"); });
}

KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetA(int bcn, const char* text) {
    return guardedCall([&] {
        const std::string narrow = text != nullptr ? std::string(text) : std::string();
        return setOemIdentity(bcn, text != nullptr ? &narrow : nullptr);
    });
}

KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetW(int bcn, const wchar_t* text) {
    return guardedCall([&] {
        // Each wide character keeps its low 8 bits.
        std::string narrow;
        if (text != nullptr)
            for (const wchar_t* p = text; *p != L'\0'; ++p)
                narrow.push_back(static_cast<char>(static_cast<unsigned>(*p) & 0xFFu));
        return setOemIdentity(bcn, text != nullptr ? &narrow : nullptr);
    });
}

KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetA(int bcn, char* buffer, uint32_t size) {
    return guardedCall([&] {
        std::string reply;
        const int st = getOemIdentity(bcn, buffer, size, reply);
        if (st == status::kOk) copyTruncated(reply, buffer, size);
        return st;
    });
}

KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetW(int bcn, wchar_t* buffer, uint32_t size) {
    return guardedCall([&] {
        std::string reply;
        const int st = getOemIdentity(bcn, buffer, size, reply);
        if (st == status::kOk) platform::narrowToWide(reply.c_str(), buffer, size);
        return st;
    });
}

} // extern "C"
