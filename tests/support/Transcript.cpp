#include "Transcript.h"

#include "FullRecord.h"

#include <gtest/gtest.h>

#include <charconv>

namespace korda::test {

std::vector<std::string> TranscriptCase::all(char kind) const {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.kind == kind) out.push_back(l.text);
    return out;
}

std::string TranscriptCase::step(std::string_view key) const {
    for (const auto& l : lines)
        if (l.kind == '@' && l.text.rfind(key, 0) == 0 &&
            (l.text.size() == key.size() || l.text[key.size()] == ' '))
            return l.text.substr(std::min(l.text.size(), key.size() + 1));
    return "";
}

std::vector<TranscriptCase> readTranscript(const std::string& name) {
    const std::string text = goldenText(name);
    std::vector<TranscriptCase> cases;
    int number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        const bool ok = std::string_view("#><@=!").find(line[0]) != std::string_view::npos &&
                        (line.size() == 1 || line[1] == ' ');
        if (!ok || (line[0] != '#' && cases.empty())) {
            ADD_FAILURE() << name << ":" << number << ": not a transcript line: " << line;
            return {};
        }
        const std::string body = line.size() > 2 ? line.substr(2) : "";
        if (line[0] == '#')
            cases.push_back({body, name + ":" + std::to_string(number), {}});
        else
            cases.back().lines.push_back({line[0], body});
    }
    EXPECT_FALSE(cases.empty()) << "golden/" << name << " holds no case";
    return cases;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if ((c == 'x' || c == 'u') && i + (c == 'x' ? 2 : 4) < text.size()) {
            const std::size_t digits = c == 'x' ? 2 : 4;
            unsigned v = 0;
            std::from_chars(text.data() + i + 1, text.data() + i + 1 + digits, v, 16);
            i += digits;
            if (c == 'x' || v < 0x80) {
                out += static_cast<char>(v);
            } else { // \u: as UTF-8 (up to U+07FF)
                out += static_cast<char>(0xC0 | (v >> 6));
                out += static_cast<char>(0x80 | (v & 0x3F));
            }
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

} // namespace korda::test

namespace korda::test {

ReplayPeer::ReplayPeer(std::vector<TranscriptLine> script)
    : script_(std::move(script)),
      peer_([this](const std::string& message, int) { return answer(message); }) {}

ScriptedPeer::Action ReplayPeer::answer(const std::string& message) {
    std::lock_guard<std::mutex> g(mutex_);
    ScriptedPeer::Action action;
    for (const std::string& line : lines(message)) {
        if (line.empty() || !mismatch_.empty()) continue;
        while (next_ < script_.size() && script_[next_].kind != '>')
            ++next_;
        if (next_ == script_.size() || script_[next_].text != line) {
            mismatch_ = "received \"" + line + "\" where the transcript has " +
                        (next_ == script_.size() ? "nothing" : "\"" + script_[next_].text + "\"");
            continue;
        }
        for (++next_; next_ < script_.size() && script_[next_].kind != '>'; ++next_) {
            if (script_[next_].kind == '<') action.reply += script_[next_].text + "\r\n";
            if (script_[next_].kind == '!' && script_[next_].text == "close")
                action.closeAfter = true;
        }
    }
    return action;
}

std::string ReplayPeer::outcome() {
    std::lock_guard<std::mutex> g(mutex_);
    if (!mismatch_.empty()) return mismatch_;
    for (std::size_t i = next_; i < script_.size(); ++i)
        if (script_[i].kind == '>') return "\"" + script_[i].text + "\" was never received";
    return "";
}

} // namespace korda::test
