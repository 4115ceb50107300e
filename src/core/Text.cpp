#include "core/Text.h"

#include <algorithm>
#include <cstring>

namespace korda32ex {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The next occurrence of c at or after from (end when none).
const char* findChar(const char* from, const char* end, char c) {
    if (from == end) return end;
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
}

void splitReplyRule(std::string_view text, const std::function<void(std::string_view)>& fn) {
    std::string scratch; // a line with carriage returns inside, without them
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t stop = text.find('\n', start);
        const bool last = stop == std::string_view::npos;
        if (last) stop = text.size();
        std::string_view line = text.substr(start, stop - start);
        // The usual line end "\r\n" costs no copy: only a carriage return
        // inside a line needs one.
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\r') != std::string_view::npos) {
            scratch.assign(line);
            std::erase(scratch, '\r');
            line = scratch;
        }
        if (!line.empty()) fn(line);
        if (last) break;
        start = stop + 1;
    }
}

void splitFileRule(std::string_view text, const std::function<void(std::string_view)>& fn) {
    FileLineCursor cursor(text, true);
    std::string_view line;
    while (cursor.next(line))
        fn(line);
}

} // namespace

void FileLineCursor::reset(std::string_view piece, bool final) {
    p_ = piece.data();
    end_ = p_ + piece.size();
    nextLf_ = findChar(p_, end_, '\n');
    nextCr_ = findChar(p_, end_, '\r');
    final_ = final;
}

bool FileLineCursor::next(std::string_view& line) {
    if (p_ >= end_) return false;
    if (nextLf_ < p_) nextLf_ = findChar(p_, end_, '\n');
    if (nextCr_ < p_) nextCr_ = findChar(p_, end_, '\r');
    const char* brk = nextLf_ < nextCr_ ? nextLf_ : nextCr_;
    if (brk == end_) return false; // no line end: the rest is not (yet) a line
    const char* after = brk + 1;
    if (after == end_ && !final_) return false; // the break may continue in the next piece
    if (after < end_ && (*after == '\n' || *after == '\r')) ++after;
    line = std::string_view(p_, static_cast<std::size_t>(brk - p_));
    p_ = after;
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.empty()) return true;
    if (word.size() > text.size()) return false;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (equalsIgnoringCase(text.substr(i, word.size()), word)) return true;
    return false;
}

void forEachLine(std::string_view text, LineRule rule,
                 const std::function<void(std::string_view)>& fn) {
    if (rule == LineRule::Reply)
        splitReplyRule(text, fn);
    else
        splitFileRule(text, fn);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    forEachLine(text, LineRule::File, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

void ReplyLineCounter::feed(const char* data, std::size_t length) {
    const char* p = data;
    const char* const end = data + length;
    while (p < end) {
        const char* const lf = findChar(p, end, '\n');
        // Anything but carriage returns before the line feed (or the end)
        // makes a line pending; the usual "text\r" is told by its first byte.
        if (!pending_ && lf > p &&
            (*p != '\r' || std::find_if(p, lf, [](char c) { return c != '\r'; }) != lf))
            pending_ = true;
        if (lf == end) break;
        if (pending_) ++lines_;
        pending_ = false;
        p = lf + 1;
    }
}

void splitAt(std::string_view text, char separator, std::vector<std::string_view>& out) {
    out.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> out;
    splitAt(text, separator, out);
    return out;
}

} // namespace korda32ex
