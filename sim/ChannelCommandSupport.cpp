#include "ChannelCommandSupport.h"

#include "Instrument.h"

namespace korda::sim {

bool channelExists(Instrument& in, int number) {
    if (number == 1) return true;
    if (number >= kFirstComputedChannel && number < kFirstComputedChannel + kComputedChannels)
        return true;
    const int slot = number / 100 - 1, index = number % 100 - 1;
    return number >= 100 && number <= 999 && slot < in.slotCount() && index >= 0 &&
           index < kChannelsPerSlot && !in.module(slot).empty();
}

bool inScope(int number, ChannelScope scope) {
    const bool computed =
        number >= kFirstComputedChannel && number < kFirstComputedChannel + kComputedChannels;
    switch (scope) {
    case ChannelScope::Analog:
        return !computed;
    case ChannelScope::Computed:
        return computed;
    case ChannelScope::Any:
        break;
    }
    return true;
}

void missingParameter(Reply& r) {
    r.error(-109, "Missing parameter");
}
void illegalValue(Reply& r) {
    r.error(-224, "Illegal parameter value");
}
void outOfRange(Reply& r) {
    r.error(-222, "Data out of range");
}
void settingsConflict(Reply& r) {
    r.error(-221, "Settings conflict");
}

namespace {

bool checkChannels(Instrument& in, const std::vector<int>& channels, ChannelScope scope, Reply& r) {
    for (const int n : channels) {
        if (!channelExists(in, n)) {
            outOfRange(r);
            return false;
        }
        if (!inScope(n, scope)) {
            settingsConflict(r);
            return false;
        }
    }
    return true;
}

} // namespace

bool settingTargets(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                    ChannelArgs& out) {
    if (!splitChannelArgs(q.args, out)) {
        missingParameter(r);
        return false;
    }
    return checkChannels(in, out.channels, scope, r);
}

void answerEach(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                const std::function<std::string(int number)>& piece) {
    std::vector<int> channels;
    if (!parseChannelList(q.args, channels)) {
        missingParameter(r);
        return;
    }
    if (!checkChannels(in, channels, scope, r)) return;
    std::string reply;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) reply += ",";
        reply += piece(channels[i]);
    }
    r.lines.push_back(reply);
}

bool booleanArgument(const std::string& value, bool& on) {
    const std::string v = upperCase(value);
    if (v == "ON" || v == "1") {
        on = true;
        return true;
    }
    if (v == "OFF" || v == "0") {
        on = false;
        return true;
    }
    return false;
}

} // namespace korda::sim
