// The configuration record's addressing and the composite rules.
#include "ConfigTestSupport.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using korda::test::zeroRecord;

namespace {

std::ptrdiff_t offsetIn(const VmrInstConfig& r, const void* p) {
    return static_cast<const char*>(p) - reinterpret_cast<const char*>(&r);
}

TEST(RecordAccess, ChannelNumbersAndRecordsMatchTheLayout) {
    EXPECT_EQ(channelNumber(-1, 7), 1);
    EXPECT_EQ(channelNumber(0, 0), 101);
    EXPECT_EQ(channelNumber(1, 5), 206);
    EXPECT_EQ(channelNumber(2, 21), 322);
    EXPECT_EQ(channelNumber(kComputedSlot, 0), 501);
    EXPECT_EQ(channelNumber(kComputedSlot, 19), 520);

    auto r = zeroRecord();
    EXPECT_EQ(offsetIn(*r, channelRecord(*r, -1, 3)), 96);
    EXPECT_EQ(offsetIn(*r, channelRecord(*r, 1, 5)), 24624 + 25704 + 8 + 5 * 1168);
    EXPECT_EQ(offsetIn(*r, channelRecord(*r, 5, 21)), 24624 + 5 * 25704 + 8 + 21 * 1168);
    EXPECT_EQ(offsetIn(*r, computedRecord(*r, 19)), 1264 + 19 * 1168);
    EXPECT_EQ(channelRecord(*r, 6, 0), nullptr);
    EXPECT_EQ(channelRecord(*r, 0, 22), nullptr);
    EXPECT_EQ(channelRecord(*r, -2, 0), nullptr);
    EXPECT_EQ(computedRecord(*r, 20), nullptr);
    EXPECT_EQ(sizeof(VmrChar16), 2u);

    // Every record of the last module area ends exactly at the record's end.
    EXPECT_EQ(offsetIn(*r, channelRecord(*r, 5, 21) + 1), static_cast<std::ptrdiff_t>(sizeof *r));
}

TEST(RecordAccess, ThreeDigitNumbersMapBackToAreaAndIndex) {
    int area = -1, index = -1;
    ASSERT_TRUE(channelFromNumber(101, area, index));
    EXPECT_EQ(area, 0);
    EXPECT_EQ(index, 0);
    ASSERT_TRUE(channelFromNumber(322, area, index));
    EXPECT_EQ(area, 2);
    EXPECT_EQ(index, 21);
    ASSERT_TRUE(channelFromNumber(206, area, index));
    EXPECT_EQ(area, 1);
    EXPECT_EQ(index, 5);
    // Not three digits, channel digits outside 01..22, or an area beyond the record.
    for (const int n : {1, 99, 1000, 100, 123, 199, 700, 722, 999})
        EXPECT_FALSE(channelFromNumber(n, area, index)) << n;
}

TEST(RecordAccess, ModulePresence) {
    auto r = zeroRecord();
    EXPECT_TRUE(modulePresent(*r, 0)); // state 0 counts as present
    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    EXPECT_FALSE(modulePresent(*r, 1));
    r->modules[2].moduleState = 3;
    EXPECT_TRUE(modulePresent(*r, 2));
    EXPECT_TRUE(modulePresent(*r, -1)); // channel 1 is always there
    EXPECT_FALSE(modulePresent(*r, 6));
}

TEST(ReplyLines, SingleLinesComeWithoutTheirEnding) {
    const std::string text = "a\r\nb\n\rc\rd\ne";
    std::size_t cursor = 0;
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "a");
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "b");
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "c");
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "d");
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "e"); // the text ran out: what was collected
    EXPECT_EQ(cursor, text.size());
    EXPECT_EQ(takeReplyLines(text, cursor, 1), "");

    // "\r\r" and "\n\n" are two endings: the second ends an empty line.
    const std::string doubled = "x\n\ny";
    cursor = 0;
    EXPECT_EQ(takeReplyLines(doubled, cursor, 1), "x");
    EXPECT_EQ(takeReplyLines(doubled, cursor, 1), "");
    EXPECT_EQ(takeReplyLines(doubled, cursor, 1), "y");
}

TEST(ReplyLines, SeveralLinesComeEachEndedByCrLf) {
    const std::string text = "one\ntwo\r\nthree\nfour";
    std::size_t cursor = 0;
    EXPECT_EQ(takeReplyLines(text, cursor, 2), "one\r\ntwo\r\n");
    EXPECT_EQ(takeReplyLines(text, cursor, 3), "three\r\nfour");
    EXPECT_EQ(cursor, text.size());
}

// A child that records what it was handed and can be told to fail or skip.
class RecordingChild : public IProcessor {
  public:
    RecordingChild(int count, bool skipped, bool fails = false)
        : count_(count), skipped_(skipped), fails_(fails) {}
    bool buildCommands(const VmrInstConfig&, CommandList& c, std::string& t, int& e) override {
        c.push_back("C" + std::to_string(count_));
        if (fails_) {
            t = "refused";
            e = 7;
        }
        return !fails_;
    }
    bool parseResponse(const std::string& reply, VmrInstConfig&, std::string& t, int& e) override {
        received.push_back(reply);
        if (fails_) return invalidResponse(reply, t, e);
        return true;
    }
    bool buildQueries(CommandList& q, SCPIHandler*) override {
        q.push_back("Q");
        return !fails_;
    }
    int responseCount() override { return count_; }
    bool isSkipped() override { return skipped_; }
    std::vector<std::string> received;

  private:
    int count_;
    bool skipped_;
    bool fails_;
};

TEST(CompositeProcessor, HandsLinesToChildrenInOrderPassingSkippedOnesBy) {
    CompositeProcessor composite;
    auto first = std::make_shared<RecordingChild>(1, false);
    auto skipped = std::make_shared<RecordingChild>(1, true);
    auto pair = std::make_shared<RecordingChild>(2, false);
    auto last = std::make_shared<RecordingChild>(1, false);
    for (const auto& c : {first, skipped, pair, last})
        composite.addChild(c);
    EXPECT_EQ(composite.responseCount(), 4); // the skipped child expects no line

    auto r = zeroRecord();
    std::string text;
    int code = 0;
    ASSERT_TRUE(composite.parseResponse("a\nb\nc\nd\n", *r, text, code));
    EXPECT_EQ(first->received, std::vector<std::string>{"a"});
    EXPECT_TRUE(skipped->received.empty());
    EXPECT_EQ(pair->received, std::vector<std::string>{"b\r\nc\r\n"});
    EXPECT_EQ(last->received, std::vector<std::string>{"d"});
}

TEST(CompositeProcessor, StopsAtTheFirstFailingChild) {
    CompositeProcessor composite;
    auto good = std::make_shared<RecordingChild>(1, false);
    auto bad = std::make_shared<RecordingChild>(1, false, true);
    auto after = std::make_shared<RecordingChild>(1, false);
    for (const auto& c : {good, bad, after})
        composite.addChild(c);

    auto r = zeroRecord();
    CommandList commands;
    std::string text;
    int code = 0;
    EXPECT_FALSE(composite.buildCommands(*r, commands, text, code));
    EXPECT_EQ(commands, (CommandList{"C1", "C1"}));
    EXPECT_EQ(text, "refused");
    EXPECT_EQ(code, 7);

    CommandList queries;
    EXPECT_FALSE(composite.buildQueries(queries, nullptr));
    EXPECT_EQ(queries.size(), 2u);

    EXPECT_FALSE(composite.parseResponse("x\ny\nz\n", *r, text, code));
    EXPECT_EQ(text, "Invalid response: y");
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(after->received.empty());
}

TEST(CompositeProcessor, NestedCompositeTakesOnlyTheLinesOfItsOwnQueries) {
    auto inner = std::make_shared<CompositeProcessor>();
    auto innerA = std::make_shared<RecordingChild>(1, false);
    inner->addChild(innerA);
    inner->addChild(std::make_shared<RecordingChild>(1, true));
    auto outerNext = std::make_shared<RecordingChild>(1, false);
    CompositeProcessor outer;
    outer.addChild(inner);
    outer.addChild(outerNext);

    auto r = zeroRecord();
    std::string text;
    int code = 0;
    ASSERT_TRUE(outer.parseResponse("p\nq\n", *r, text, code));
    EXPECT_EQ(innerA->received, std::vector<std::string>{"p"});
    EXPECT_EQ(outerNext->received, std::vector<std::string>{"q"});
}

} // namespace
