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

// The File rule over a text that may arrive in pieces (blocks of a file):
// yields the complete lines of the piece it is given, in order. A line whose
// line end is the piece's last character is complete only in the final piece
// (the next piece may start with the other half of its break); the caller
// carries the text from rest() on into the next piece.
class FileLineCursor {
  public:
    FileLineCursor() = default;
    FileLineCursor(std::string_view piece, bool final) { reset(piece, final); }
    void reset(std::string_view piece, bool final);
    // The next complete line; false when none is left in the piece.
    bool next(std::string_view& line);
    // Where the unfinished rest of the piece begins: the text after the last
    // complete line's break.
    const char* rest() const { return p_; }

  private:
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    // The next line feed and carriage return, searched again only once
    // passed, so that a whole piece is split in linear time.
    const char* nextLf_ = nullptr;
    const char* nextCr_ = nullptr;
    bool final_ = true;
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
    // True when a line has begun that no line feed has ended yet.
    bool pending() const { return pending_; }

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
