// Texts inside quoted SCPI strings: how a text is written into a command and
// how a quoted string is read back out of a command or a reply. A quotation
// mark inside the string is doubled, so no text can end its string early and
// start another command.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korda32ex::scpitext {

// The text as a quoted string: between quotation marks, every quotation mark
// doubled and control characters (below 0x20, and 0x7F) removed, so that the
// text can neither end its string nor the command line.
std::string quoted(std::string_view text);

// Reads the quoted string at the front of text (leading blanks skipped),
// opened by '"' or '\''; two of the opening mark in a row stand for one.
// rest receives what follows the closing mark. Empty when text does not start
// with a quoted string or the string is not closed.
std::optional<std::string> readQuoted(std::string_view text, std::string_view& rest);

// A reply that is exactly one quoted string (blanks around it allowed) reads
// as the string's text; any other reply reads as it stands.
std::string unquotedReply(std::string_view reply);

} // namespace korda32ex::scpitext
