// Transcripts: expected wire dialogues and documents kept as data files under
// tests/golden, read by table-driven tests. A file holds cases; a case starts
// with a line "# name" and holds lines of a kind and a text:
//   "> text"  a line sent (by the library, or by the test to an instrument)
//   "< text"  a line received in reply
//   "@ text"  a step the test takes (a call, a setting, a record line)
//   "= text"  an expected result
//   "! text"  an event (an error code, the peer hanging up)
// A lone kind character stands for an empty text. Blank lines and lines
// starting with ';' are comments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korda::test {

struct TranscriptLine {
    char kind;
    std::string text;
};

struct TranscriptCase {
    std::string name;
    std::string where; // "file:line" of the case header, for messages
    std::vector<TranscriptLine> lines;
    // The texts of the lines of one kind, in order.
    std::vector<std::string> all(char kind) const;
    // The text of the first step "@ key ..." after the key ("" when none).
    std::string step(std::string_view key) const;
};

// The cases of golden/<name>; a file that is missing or malformed gives a
// failing test of its own and no cases.
std::vector<TranscriptCase> readTranscript(const std::string& name);

// C-style escapes in a text: \r \n \t \\ \", \xHH (a byte) and \uHHHH (as UTF-8).
std::string unescape(std::string_view text);

} // namespace korda::test

#include "TestSupport.h"

#include <mutex>

namespace korda::test {

// A scripted instrument that plays the "> ", "< " and "! " lines of a
// transcript: each line received must be the next "> " line, and is answered
// with the "< " lines after it; "! close" closes the connection after that
// answer. From the first line that differs on, nothing is answered.
class ReplayPeer {
  public:
    explicit ReplayPeer(std::vector<TranscriptLine> script);
    std::uint16_t port() const { return peer_.port(); }
    // "" when every "> " line came as written, else what went wrong.
    std::string outcome();
    std::vector<std::string> messages() { return peer_.messages(); }

  private:
    ScriptedPeer::Action answer(const std::string& message);
    std::mutex mutex_;
    std::vector<TranscriptLine> script_;
    std::size_t next_ = 0;
    std::string mismatch_;
    ScriptedPeer peer_; // last: its thread stops before the state above goes
};

} // namespace korda::test
