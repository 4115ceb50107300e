// The one- or two-command instrument operations behind the direct exported
// functions: clock, digital I/O byte, totalizer and OEM identity.
#pragma once

#include "platform/platform.h"

#include <string>
#include <string_view>
#include <vector>

namespace korda32ex {

class SCPIHandler;

// "SYST:DATE y,m,d" and "SYST:TIME h,m,s.mmm": plain decimal numbers, the
// milliseconds always three digits so that they read as a fraction.
std::vector<std::string> clockCommands(const platform::CalendarTime& t);

// The digital I/O byte in the application's view (the complement of the
// instrument's value). 1, -1 for an unusable reply (text recorded), or the
// failing status of the query; value is written on success only.
int readDigitalIO(SCPIHandler& handler, int& value);

// The instrument's value that makes the application's view of the byte equal
// to current with the bits of mask taken from value.
int digitalIOCommandValue(int current, int mask, int value);

// Reads the instrument's OEM identity: 1 with the text (a reply in quotation
// marks reads as the text it quotes), or the failing status of the query.
int readOemIdentity(SCPIHandler& handler, std::string& text);

// "SYST:OEM:IDEN:STOR \"text\",\"FLASH\"": the text quoted, its quotation
// marks doubled and its control characters removed.
std::string oemIdentityCommand(std::string_view text);

} // namespace korda32ex
