#include "frontend/DirectOperations.h"

#include "comm/SCPIHandler.h"
#include "comm/ScpiText.h"
#include "core/Status.h"
#include "core/Text.h"
#include "frontend/GlobalData.h"

#include <algorithm>

namespace korda32ex {

namespace {
constexpr int kByteMask = 0xFF;
}

std::vector<std::string> clockCommands(const platform::CalendarTime& t) {
    const int ms = std::clamp(t.milliseconds, 0, 999);
    std::string millis = std::to_string(ms);
    millis.insert(0, 3 - millis.size(), '0');
    return {"SYST:DATE " + std::to_string(t.year) + "," + std::to_string(t.month) + "," +
                std::to_string(t.day),
            "SYST:TIME " + std::to_string(t.hour) + "," + std::to_string(t.minute) + "," +
                std::to_string(t.second) + "." + millis};
}

int readDigitalIO(SCPIHandler& handler, int& value) {
    // A number of 0 to 255; a reply without digits or out of that range is unusable.
    std::int64_t number = 0;
    const int st = handler.queryInt("SOUR:DIG:DATA:BYTE?", number, 0, kByteMask);
    if (st == status::kInvalidResponse) return status::kInvalidRequest;
    if (st != status::kOk) return st;
    value = kByteMask - static_cast<int>(number);
    return status::kOk;
}

int digitalIOCommandValue(int current, int mask, int value) {
    const int wanted = (~mask & current) | (mask & value);
    return ~wanted & kByteMask;
}

int readOemIdentity(SCPIHandler& handler, std::string& text) {
    std::string reply;
    const int st = handler.query("SYST:OEM:IDEN?", reply);
    if (st == status::kOk) text = scpitext::unquotedReply(reply);
    return st;
}

std::string oemIdentityCommand(std::string_view text) {
    return "SYST:OEM:IDEN:STOR " + scpitext::quoted(text) + ",\"FLASH\"";
}

} // namespace korda32ex
