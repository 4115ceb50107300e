// The small text helpers every layer shares: letter-case comparison, the one
// line splitter (with its two line rules) and the cell splitter.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korda32ex {

// True when the two texts are equal ignoring ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// True when text contains word, ignoring ASCII letter case.
bool containsIgnoringCase(std::string_view text, std::string_view word);

// How a text breaks into lines.
enum class LineRule {
    // Replies read from a connection: a line feed ends a line, carriage
    // returns are no part of any line, and lines left empty are dropped.
    // Text after the last line feed is a line.
    Reply,
    // CSV texts (setup and data files, logs fetched over the connection): a
    // line ends at a carriage return or a line feed; when the next character
    // is a line feed or a carriage return it belongs to the same break, so CR
    // LF, LF CR and two equal line ends in a row count as one break. Empty
    // lines are kept; text after the last line end is not a line.
    File,
};

// The one line splitter: hands each line of text under rule to fn, in order.
// A line is valid only during its call.
void forEachLine(std::string_view text, LineRule rule,
                 const std::function<void(std::string_view)>& fn);
// The lines of a CSV text (LineRule::File), as views into text (which must
// outlive them).
std::vector<std::string_view> splitLines(std::string_view text);

// Counts complete reply lines (LineRule::Reply) incrementally as chunks
// arrive: a line feed ends a line only when another character (not a carriage
// return) came since the previous line end.
class ReplyLineCounter {
  public:
    void feed(const char* data, std::size_t length);
    std::size_t lines() const { return lines_; }

  private:
    std::size_t lines_ = 0;
    bool pending_ = false;
};

// Splits at every occurrence of separator: consecutive separators give empty
// pieces, a text without one is one piece, an empty text is one empty piece.
std::vector<std::string_view> splitAt(std::string_view text, char separator);
// Appends the pieces to out (cleared first): the allocation-free form for loops.
void splitAt(std::string_view text, char separator, std::vector<std::string_view>& out);

// The error queue's no-error line, which ends every checked exchange and every
// text fetched over the connection.
inline constexpr std::string_view kNoErrorLine = "0,\"No error\"";
inline bool isNoErrorLine(std::string_view line) {
    return line == kNoErrorLine;
}

} // namespace korda32ex
