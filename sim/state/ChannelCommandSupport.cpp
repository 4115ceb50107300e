#include "ChannelCommandSupport.h"

#include "Instrument.h"
#include "comm/ScpiText.h"

namespace korda::sim {

namespace {

bool checkChannels(Instrument& in, const std::vector<int>& channels, ChannelScope scope, Reply& r) {
    for (const int n : channels) {
        const ChannelKind kind = channelKind(in, n);
        if (kind == ChannelKind::None) {
            r.error(scpi_error::kDataOutOfRange);
            return false;
        }
        if ((scope == ChannelScope::Analog && kind != ChannelKind::Analog) ||
            (scope == ChannelScope::Computed && kind != ChannelKind::Computed)) {
            r.error(scpi_error::kSettingsConflict);
            return false;
        }
    }
    return true;
}

} // namespace

bool settingTargets(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                    SettingTargets& out) {
    const std::size_t open = q.args.rfind("(@");
    ChannelArgs list;
    if (open == std::string::npos) {
        r.error(scpi_error::kMissingParameter);
        return false;
    }
    if (!parseChannelArgs(q.args.substr(open), list) || list.channels.empty()) {
        r.error(scpi_error::kIllegalValue);
        return false;
    }
    std::string value = trimmed(q.args.substr(0, open));
    if (!value.empty() && value.back() == ',') value = trimmed(value.substr(0, value.size() - 1));
    if (value.empty()) {
        r.error(scpi_error::kMissingParameter);
        return false;
    }
    out.value = value;
    out.channels = list.channels;
    return checkChannels(in, out.channels, scope, r);
}

void answerEach(Instrument& in, const Request& q, Reply& r, ChannelScope scope,
                const std::function<std::string(const ChannelState&)>& piece) {
    ChannelArgs list;
    if (!parseChannelArgs(q.args, list)) return r.error(scpi_error::kIllegalValue);
    if (!list.hasList || list.channels.empty()) return r.error(scpi_error::kMissingParameter);
    if (!checkChannels(in, list.channels, scope, r)) return;
    std::string reply;
    for (std::size_t i = 0; i < list.channels.size(); ++i) {
        if (i > 0) reply += ",";
        reply += piece(in.channels.state(list.channels[i]));
    }
    r.lines.push_back(reply);
}

bool quotedText(const std::string& value, std::string& text) {
    std::string_view rest;
    auto read = korda32ex::scpitext::readQuoted(value, rest);
    if (!read || !trimmed(rest).empty()) return false;
    text = std::move(*read);
    return true;
}

std::string quotedReply(const std::string& text) {
    return korda32ex::scpitext::quoted(text);
}

std::string channelListReply(const std::vector<int>& channels) {
    std::string out = "(@";
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (i > 0) out += ",";
        out += std::to_string(channels[i]);
    }
    return out + ")";
}

} // namespace korda::sim
