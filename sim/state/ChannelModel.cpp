#include "ChannelModel.h"

#include "Instrument.h"
#include "MeasurementCommands.h"

namespace korda::sim {

namespace {

// Parses and checks the channel list of a request; false after reporting.
bool checkedChannels(Instrument& instrument, const Request& request, Reply& reply,
                     bool allowComputed, ChannelArgs& args) {
    if (!parseChannelArgs(request.args, args)) {
        reply.error(scpi_error::kIllegalValue);
        return false;
    }
    if (!args.hasList) {
        reply.error(scpi_error::kMissingParameter);
        return false;
    }
    for (const int n : args.channels) {
        const ChannelKind kind = channelKind(instrument, n);
        if (kind == ChannelKind::None) {
            reply.error(scpi_error::kDataOutOfRange);
            return false;
        }
        if (kind == ChannelKind::Computed && !allowComputed) {
            reply.error(scpi_error::kSettingsConflict);
            return false;
        }
    }
    return true;
}

} // namespace

ChannelKind channelKind(const Instrument& instrument, int number) {
    if (number == 1) return ChannelKind::Analog;
    if (number >= 501 && number <= 520) return ChannelKind::Computed;
    const int slot = number / 100 - 1;
    const int channel = number % 100;
    if (number < 101 || slot >= instrument.slotCount() || channel < 1 || channel > 22)
        return ChannelKind::None;
    return instrument.module(slot).empty() ? ChannelKind::None : ChannelKind::Analog;
}

bool hasCurrentInput(int number) {
    return number == 1 || number % 100 == 21 || number % 100 == 22;
}

const ChannelState* ChannelModel::find(int number) const {
    const auto it = channels_.find(number);
    return it == channels_.end() ? nullptr : &it->second;
}

void ChannelModel::reset() {
    channels_.clear();
    scanList.clear();
}

void forEachChannel(Instrument& instrument, const Request& request, Reply& reply,
                    bool allowComputed, const ChannelAction& fn) {
    ChannelArgs args;
    if (!checkedChannels(instrument, request, reply, allowComputed, args)) return;
    for (const int n : args.channels) {
        fn(instrument.channels.state(n), n, reply);
        if (reply.errorCode != 0) return;
    }
}

void answerPerChannel(Instrument& instrument, const Request& request, Reply& reply,
                      bool allowComputed, const ChannelQuery& fn) {
    ChannelArgs args;
    if (!checkedChannels(instrument, request, reply, allowComputed, args)) return;
    std::string line;
    for (const int n : args.channels) {
        if (!line.empty()) line += ',';
        line += fn(instrument.channels.state(n), n);
    }
    reply.lines.push_back(line);
}

void registerChannelCommands(CommandTable& t) {
    t.add("ROUTe:CHANnel:STATe", [](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs args;
        parseChannelArgs(q.args, args);
        bool on = false;
        if (!parseSwitch(args.params, on)) {
            r.error(args.params.empty() ? scpi_error::kMissingParameter
                                        : scpi_error::kIllegalValue);
            return;
        }
        // A channel switched off leaves the scan list.
        forEachChannel(in, q, r, true, [on, &in](ChannelState& c, int n, Reply&) {
            c.on = on;
            if (!on) std::erase(in.channels.scanList, n);
        });
    });
    t.add("ROUTe:CHANnel:STATe?", [](Instrument& in, const Request& q, Reply& r) {
        answerPerChannel(in, q, r, true,
                         [](const ChannelState& c, int) { return switchReply(c.on); });
    });
    t.add("ROUTe:SCAN", [](Instrument& in, const Request& q, Reply& r) {
        ChannelArgs args;
        if (!parseChannelArgs(q.args, args)) return r.error(scpi_error::kIllegalValue);
        if (!args.hasList) return r.error(scpi_error::kMissingParameter);
        for (const int n : args.channels)
            if (channelKind(in, n) == ChannelKind::None)
                return r.error(scpi_error::kDataOutOfRange);
        in.channels.scanList = args.channels;
    });
    t.add("ROUTe:SCAN?", [](Instrument& in, const Request&, Reply& r) {
        std::string line = "(@";
        for (std::size_t i = 0; i < in.channels.scanList.size(); ++i) {
            if (i > 0) line += ',';
            line += std::to_string(in.channels.scanList[i]);
        }
        r.lines.push_back(line + ")");
    });
    registerMeasurementCommands(t);
}

} // namespace korda::sim
