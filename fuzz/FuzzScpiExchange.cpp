// An exchange of the SCPI layer fed an arbitrary reply in arbitrary chunks:
// the reply-line counting and splitting, the typed queries, the error-queue
// replies of checked setting commands and the collection of a long reply up
// to the no-error line. The transport hands out the chunks and then reports a
// timeout, so every exchange ends at once.
//
// Besides not crashing, the incremental line count must agree with the line
// splitter on every complete text, however it was chunked.
#include "FuzzSupport.h"
#include "comm/CommunicationInterface.h"
#include "comm/SCPIHandler.h"
#include "core/Status.h"
#include "core/Text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace korda32ex;

class ChunkedPeer : public CommunicationInterface {
  public:
    std::deque<std::string> chunks;
    int open(std::uint32_t) override { return status::kOk; }
    int close() override { return status::kOk; }
    int send(const std::string&, std::uint32_t) override { return status::kOk; }
    int sendBulk(const std::string&, std::uint32_t) override { return status::kOk; }
    int receive(std::uint32_t, std::string& text) override {
        if (chunks.empty()) return status::kTimeout;
        text += chunks.front();
        chunks.pop_front();
        return status::kOk;
    }
    bool drain(std::uint32_t) override { return false; }
};

// The reply cut into chunks whose lengths come from the input.
std::deque<std::string> chunked(korda::fuzz::InputReader& in, std::string_view reply) {
    std::deque<std::string> chunks;
    std::size_t at = 0;
    while (at < reply.size()) {
        const std::size_t length = 1 + in.byte() % 64;
        chunks.emplace_back(reply.substr(at, length));
        at += length;
    }
    return chunks;
}

std::size_t splitterLines(std::string_view text) {
    std::size_t n = 0;
    forEachLine(text, LineRule::Reply, [&](std::string_view) { ++n; });
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korda::fuzz::InputReader in(data, size);
    const std::uint8_t operation = in.byte();
    const std::size_t expected = 1 + in.byte() % 24;
    // The reply is the rest of the input; the chunk lengths are taken from the
    // reply's own bytes so that every input is both.
    const std::string reply(in.rest());
    korda::fuzz::InputReader lengths(data, size);

    // The incremental count against the splitter: a text ending in a line
    // feed has exactly the lines the splitter finds.
    {
        ReplyLineCounter counter;
        std::size_t at = 0;
        while (at < reply.size()) {
            const std::size_t length =
                std::min<std::size_t>(1 + lengths.byte() % 64, reply.size() - at);
            counter.feed(reply.data() + at, length);
            at += length;
        }
        const std::string ended = reply + "\n";
        ReplyLineCounter whole;
        whole.feed(ended.data(), ended.size());
        if (whole.lines() != splitterLines(ended)) std::abort();
        if (counter.lines() > whole.lines()) std::abort();
    }

    auto peer = std::make_shared<ChunkedPeer>();
    peer->chunks = chunked(lengths, reply);
    SCPIHandler handler(
        peer, [] { return std::uint32_t{5}; }, [](int, const std::string&) {});
    switch (operation % 7) {
    case 0: {
        std::string line;
        handler.query("SYST:VERS?", line);
        break;
    }
    case 1: {
        std::vector<std::string> queries(expected, "CONF?");
        std::vector<std::string> replies;
        if (handler.queryLines(queries, replies) == status::kOk && replies.size() < expected)
            std::abort();
        break;
    }
    case 2: {
        std::int64_t value = 0;
        handler.queryInt("DATA:POIN?", value, 0, 100000);
        break;
    }
    case 3: {
        double value = 0;
        handler.queryReal("SYST:TIME?", value);
        break;
    }
    case 4: {
        static constexpr std::array<std::string_view, 3> words{"ON", "OFF", "AUTO"};
        std::size_t index = 0;
        if (handler.queryToken("TRIG:SOUR?", words, index) == status::kOk && index >= words.size())
            std::abort();
        break;
    }
    case 5: {
        // Checked setting commands: the replies are read as the error queue's.
        std::vector<std::string> commands(expected, "ROUT:SCAN (@101)");
        handler.sendCommands(commands);
        break;
    }
    default: {
        std::string out;
        handler.readUntilNoError("MMEM:DATA? \"dat00001.csv\"", out);
        break;
    }
    }
    return 0;
}
