// Line and cell splitting of the instrument's CSV texts (setup and data files,
// log files fetched over the connection). The pieces are views into the text,
// so the text must outlive them.
#pragma once

#include <string_view>
#include <vector>

namespace korda32ex::logdata {

// The lines of a text. A line ends at a carriage return or a line feed; when
// the next character is a line feed or a carriage return it belongs to the same
// break, so CR LF, LF CR and two equal line ends in a row count as one break.
// Text after the last line end is not a line (a last line without its line end
// is dropped).
std::vector<std::string_view> splitLines(std::string_view text);

// Splits at every occurrence of separator: consecutive separators give empty
// pieces, a text without one is one piece, an empty text is one empty piece.
std::vector<std::string_view> splitAt(std::string_view text, char separator);

// Appends the pieces to out (cleared first): the allocation-free form for loops.
void splitAt(std::string_view text, char separator, std::vector<std::string_view>& out);

// True when the line is the instrument's no-error reply that ends a text
// fetched over the connection.
inline bool isNoErrorLine(std::string_view line) {
    return line == "0,\"No error\"";
}

} // namespace korda32ex::logdata
