// The virtual instrument's command parser and dispatch on arbitrary program
// text: the bytes go through a session of a fresh instrument, as received
// from a connection, and each line through the request parser on its own.
#include "CommandTable.h"
#include "FuzzSupport.h"
#include "Instrument.h"
#include "ScpiArgs.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korda::fuzz::InputReader in(data, size);
    const bool m5129 = in.byte() & 1;
    const std::string_view text = in.rest();

    korda::sim::Instrument instrument(m5129 ? korda::sim::Model::M5129A
                                            : korda::sim::Model::M7043A);
    korda::sim::Session session(instrument);
    session.feed(text.data(), text.size());

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string line(text.substr(start, end - start));
        const auto request = korda::sim::parseRequest(line);
        korda::sim::ChannelArgs args;
        korda::sim::parseChannelArgs(request.args, args);
        korda::sim::splitParams(request.args);
        start = end + 1;
    }
    return 0;
}
