// The configuration record's addressing and the composite rules.
#include "ConfigSupport.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::zeroRecord;

namespace {

TEST(RecordAccess, AddressesStayInsideTheRecord) {
    EXPECT_EQ(channelNumber(kComputedSlot, 19), 520);
    auto r = zeroRecord();
    EXPECT_EQ(channelRecord(*r, 5, 21), &r->modules[5].channels[21]);
    EXPECT_EQ(computedRecord(*r, 19), &r->computed[19]);
    for (const auto& [slot, index] : {std::pair{6, 0}, {0, 22}, {-2, 0}})
        EXPECT_EQ(channelRecord(*r, slot, index), nullptr);
    EXPECT_EQ(computedRecord(*r, 20), nullptr);
    EXPECT_EQ(computedRecord(*r, -1), nullptr);

    // Three-digit numbers map back to area and index; nothing else does.
    int area = -1, index = -1;
    ASSERT_TRUE(channelFromNumber(322, area, index));
    EXPECT_EQ(area * 100 + index, 221);
    for (const int n : {1, 1000, 100, 123, 700})
        EXPECT_FALSE(channelFromNumber(n, area, index)) << n;

    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    EXPECT_TRUE(modulePresent(*r, 0)); // state 0 counts as present
    EXPECT_FALSE(modulePresent(*r, 1));
    EXPECT_TRUE(modulePresent(*r, -1)); // channel 1 is always there
    EXPECT_FALSE(modulePresent(*r, 6));
}

// The pieces takeReplyLines hands out for the given line counts, in turn.
std::vector<std::string> take(const std::string& text, std::initializer_list<int> counts) {
    std::vector<std::string> out;
    std::size_t cursor = 0;
    for (const int n : counts)
        out.push_back(takeReplyLines(text, cursor, n));
    EXPECT_LE(cursor, text.size());
    return out;
}

TEST(ReplyLines, EndingsOfEveryKind) {
    using V = std::vector<std::string>;
    // Single lines come without their ending; when the text runs out, what was collected.
    EXPECT_EQ(take("a\r\nb\n\rc\rd\ne", {1, 1, 1, 1, 1, 1}), (V{"a", "b", "c", "d", "e", ""}));
    // "\r\r" and "\n\n" are two endings: the second ends an empty line.
    EXPECT_EQ(take("x\n\ny", {1, 1, 1}), (V{"x", "", "y"}));
    // Several lines come each ended by CR LF.
    EXPECT_EQ(take("one\ntwo\r\nthree\nfour", {2, 3}), (V{"one\r\ntwo\r\n", "three\r\nfour"}));
}

// A child of one line that records what it was handed and can be told to fail.
class RecordingChild : public IProcessor {
  public:
    explicit RecordingChild(bool fails = false) : fails_(fails) {}
    bool buildCommands(const VmrInstConfig&, CommandList& c, std::string& t, int& e) override {
        c.push_back("C");
        return fails_ ? invalidResponse("refused", t, e) : true;
    }
    bool parseResponse(const std::string& reply, VmrInstConfig&, std::string& t, int& e) override {
        received.push_back(reply);
        return fails_ ? invalidResponse(reply, t, e) : true;
    }
    bool buildQueries(CommandList& q, SCPIHandler*) override {
        q.push_back("Q");
        return !fails_;
    }
    std::vector<std::string> received;

  private:
    bool fails_;
};

TEST(CompositeProcessor, StopsAtTheFirstFailingChild) {
    CompositeProcessor composite;
    auto good = std::make_shared<RecordingChild>();
    auto bad = std::make_shared<RecordingChild>(true);
    auto after = std::make_shared<RecordingChild>();
    for (const auto& c : {good, bad, after})
        composite.addChild(c);

    auto r = zeroRecord();
    CommandList commands;
    std::string text;
    int code = 0;
    EXPECT_FALSE(composite.buildCommands(*r, commands, text, code));
    EXPECT_EQ(commands, (CommandList{"C", "C"}));
    EXPECT_EQ(std::pair(text, code), std::pair(std::string("Invalid response: refused"), -1));

    CommandList queries;
    EXPECT_FALSE(composite.buildQueries(queries, nullptr));
    EXPECT_EQ(queries.size(), 2u);

    EXPECT_FALSE(composite.parseResponse("x\ny\nz\n", *r, text, code));
    EXPECT_EQ(std::pair(text, code), std::pair(std::string("Invalid response: y"), -1));
    EXPECT_EQ(good->received, std::vector<std::string>{"x"});
    EXPECT_TRUE(after->received.empty());
}

} // namespace
