// The commands on the instrument's log memory. A log file is named in a
// command as a quoted text after the command word; a file number follows
// "MEMory:LOG:NAME? " as a decimal number, from 1 to the count that
// "MEMory:LOG:NFILes?" reports.
#pragma once

#include <string>
#include <string_view>

namespace korda32ex::logdata {

inline constexpr const char* kFileCountQuery = "MEMory:LOG:NFILes?";
inline constexpr std::string_view kReadCommand = "MEMory:LOG:READ? ";
inline constexpr std::string_view kReadConfigurationCommand = "MEMory:LOG:READ:CONF? ";

// "MEMory:LOG:NAME? " and the file number.
std::string fileNameQuery(int number);

// The command word followed by the file name as a quoted text: the name
// converted to narrow text (at most 1023 characters), control characters
// removed and quotation marks doubled, so that no name can end its text and
// start another command.
std::string fileCommand(std::string_view commandWord, const wchar_t* name);
std::string fileCommand(std::string_view commandWord, std::string_view narrowName);

// The file name in a reply to a name query: the text of a quoted reply (a
// doubled quotation mark inside it stands for one), or the reply as it is
// when it is not quoted.
std::string nameOfReply(std::string_view reply);

} // namespace korda32ex::logdata
