#include "Channels.h"

#include "Address.h"
#include "ConfigJson.h"
#include "Connection.h"

#include <cstring>
#include <sstream>

namespace korda::tool {

void describeChannel(const VmrInstConfig& c, Column& col) {
    const VmrChar16* name = nullptr;
    const VmrChar16* unit = nullptr;
    const int n = col.channel;
    if (n == 1) {
        name = c.channel1.name;
        unit = c.channel1.unit;
    } else if (n >= 501 && n < 501 + VMR_COMPUTED_CHANNELS) {
        name = c.computed[n - 501].name;
        unit = c.computed[n - 501].unit;
    } else if (n / 100 >= 1 && n / 100 <= VMR_MODULE_AREAS && n % 100 >= 1 &&
               n % 100 <= VMR_CHANNELS_PER_AREA) {
        const ChannelRecord& r = c.modules[n / 100 - 1].channels[n % 100 - 1];
        name = r.name;
        unit = r.unit;
    }
    if (name) col.name = textToUtf8(name);
    if (unit) col.unit = textToUtf8(unit);
}

std::vector<int> scannedChannels(const VmrInstConfig& c) {
    std::vector<int> out;
    if (c.channel1.function >= 1 && c.channel1.function <= 13) out.push_back(1);
    for (int m = 0; m < 3; ++m) {
        if (c.modules[m].moduleState == VMR_MODULE_ABSENT) continue;
        for (int k = 0; k < VMR_CHANNELS_PER_AREA; ++k) {
            const auto f = c.modules[m].channels[k].function;
            if (f >= 1 && f <= 13) out.push_back(100 * m + 101 + k);
        }
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i) {
        const auto f = c.computed[i].function;
        if (f >= 0x5000 && f <= 0x500E) out.push_back(501 + i);
    }
    return out;
}

std::vector<int> parseChannelList(const std::string& reply) {
    std::vector<int> out;
    std::string s;
    for (const char c : reply)
        if (c != '(' && c != ')' && c != '@' && c != ' ' && c != '"') s.push_back(c);
    std::stringstream in(s);
    std::string piece;
    while (std::getline(in, piece, ',')) {
        const auto colon = piece.find(':');
        const auto first = parseWholeNumber(piece.substr(0, colon), 1, 999);
        const auto last =
            colon == std::string::npos ? first : parseWholeNumber(piece.substr(colon + 1), 1, 999);
        if (!first || !last || *last < *first || *last - *first > 200) return {};
        for (long long n = *first; n <= *last; ++n)
            out.push_back(static_cast<int>(n));
    }
    return out;
}

std::vector<Column> columnsFor(const std::vector<int>& channels, int readings,
                               const VmrInstConfig* config) {
    std::vector<Column> out;
    if (static_cast<int>(channels.size()) == readings) {
        for (const int n : channels) {
            Column c;
            c.channel = n;
            if (config) describeChannel(*config, c);
            out.push_back(c);
        }
        return out;
    }
    // Channels not known: columns by position.
    for (int i = 0; i < readings; ++i) {
        Column c;
        c.channel = i + 1;
        c.name = "reading";
        out.push_back(c);
    }
    return out;
}

std::string unquote(const std::string& reply) {
    if (reply.size() < 2 || reply.front() != '"' || reply.back() != '"') return reply;
    std::string out;
    for (std::size_t i = 1; i + 1 < reply.size(); ++i) {
        out.push_back(reply[i]);
        if (reply[i] == '"' && reply[i + 1] == '"') ++i;
    }
    return out;
}

std::vector<Column> instrumentColumns(Connection& connection, const std::vector<int>& channels) {
    std::vector<Column> out;
    bool answering = true;
    for (const int n : channels) {
        Column c;
        c.channel = n;
        const std::string list = " (@" + std::to_string(n) + ")";
        std::string reply;
        // One unanswered query is enough: the rest would wait as long.
        if (answering) answering = connection.raw("ROUT:CHAN:NAME?" + list, reply) == DLXVMR_OK;
        if (answering) c.name = unquote(reply);
        const bool computed = n >= 501 && n < 501 + VMR_COMPUTED_CHANNELS;
        if (answering)
            answering = connection.raw((computed ? "CALC:MATH:UNIT?" : "CALC:SCAL:UNIT?") + list,
                                       reply) == DLXVMR_OK;
        if (answering) c.unit = unquote(reply);
        out.push_back(c);
    }
    return out;
}

std::unique_ptr<VmrInstConfig> newRecord() {
    auto c = std::make_unique<VmrInstConfig>();
    std::memset(c.get(), 0, sizeof(VmrInstConfig));
    return c;
}

std::vector<unsigned char> scanBuffer(int scans) {
    return std::vector<unsigned char>(DLXVMR_SCAN_BUFFER_SIZE(scans, DLXVMR_MAX_READINGS_PER_SCAN));
}

} // namespace korda::tool
