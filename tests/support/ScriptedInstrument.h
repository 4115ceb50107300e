// A scripted stand-in for an instrument on top of ScriptedPeer: every
// "SYST:ERR?" gets the no-error reply, each scripted query gets its next
// scripted reply (the last one repeats), a query marked silent gets nothing,
// and setting commands get nothing. Every line received is recorded.
#pragma once

#include "TestSupport.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korda::test {

class ScriptedInstrument {
  public:
    static constexpr const char* kSilent = "\x01silent";

    ScriptedInstrument() : state_(std::make_shared<State>()), peer_(responder(state_)) {}

    // Replies to query (exact line), in order; kSilent leaves one unanswered.
    void script(const std::string& query, std::vector<std::string> replies) {
        std::lock_guard<std::mutex> g(state_->mutex);
        state_->scripts[query] = {std::move(replies), 0};
    }
    // Every line received, in order.
    std::vector<std::string> received() const {
        std::lock_guard<std::mutex> g(state_->mutex);
        return state_->lines;
    }
    int count(const std::string& line) const {
        const auto all = received();
        return static_cast<int>(std::count(all.begin(), all.end(), line));
    }
    // The lines received but the batch frame ("*CLS", "SYST:ERR?") and the
    // line-end setting of an open, each followed by '|'.
    std::string dialogue() const {
        std::string out;
        for (const auto& line : received())
            if (line != "*CLS" && line != "SYST:ERR?" && line != "SYST:COMM:TERM CRLF")
                out += line + "|";
        return out;
    }
    // The raw messages (one per write of the library).
    std::vector<std::string> messages() { return peer_.messages(); }
    std::uint16_t port() const { return peer_.port(); }

  private:
    struct State {
        mutable std::mutex mutex;
        // Per query: its replies and the index of the next one.
        std::map<std::string, std::pair<std::vector<std::string>, std::size_t>> scripts;
        std::vector<std::string> lines;
    };

    static ScriptedPeer::Responder responder(std::shared_ptr<State> state) {
        return [state](const std::string& message, int) {
            ScriptedPeer::Action action;
            std::lock_guard<std::mutex> g(state->mutex);
            for (const auto& line : lines(message)) {
                if (line.empty()) continue;
                state->lines.push_back(line);
                if (line == "SYST:ERR?") {
                    action.reply += "0,\"No error\"\r\n";
                    continue;
                }
                const auto it = state->scripts.find(line);
                if (it == state->scripts.end() || it->second.first.empty()) continue;
                auto& [replies, next] = it->second;
                const std::string& reply = replies[std::min(next++, replies.size() - 1)];
                if (reply != kSilent) action.reply += reply + "\r\n";
            }
            return action;
        };
    }

    std::shared_ptr<State> state_;
    ScriptedPeer peer_;
};

// The library initialised and BCN `bcn` opened to a scripted instrument.
class ScriptedSession {
  public:
    explicit ScriptedSession(int bcn = 1) : bcn_(bcn) {
        dlxVmrLibInit(0);
        openStatus_ = openLoopback(bcn_, instrument.port());
    }
    ~ScriptedSession() {
        dlxVmrCommClose(bcn_);
        dlxVmrLibExit();
    }
    int openStatus() const { return openStatus_; }
    ScriptedInstrument instrument;

  private:
    int bcn_;
    int openStatus_ = 0;
};

} // namespace korda::test
