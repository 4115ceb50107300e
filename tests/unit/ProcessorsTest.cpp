// The processors of a configuration record: the parse of the instrument's
// replies into each field (golden/processor-replies.txt), the text of names
// and units, the record's addressing and the composite rules. Their command
// texts are the cases of golden/commands-*.txt (CommandTranscriptTest.cpp).
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "Transcript.h"
#include "channels/ChannelProcessor.h"
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"
#include "channels/CompProcessors.h"
#include "channels/ComputedChannelProcessor.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

using namespace korda32ex;
using namespace korda::test;

namespace {

// One processor by its name (without "Processor"), for the channel of its number.
std::unique_ptr<IProcessor> processorNamed(const std::string& name, int number) {
    const int slot = number == 1 ? -1 : number / 100 - 1, index = number % 100 - 1;
    // clang-format off
#define KORDA_ADDRESSED(N) {#N, [&] { return std::make_unique<N##Processor>(slot, index); }}
#define KORDA_COMPUTED(N) {"Comp" #N, [&] { return std::make_unique<Comp##N##Processor>(slot, index); }}
#define KORDA_SETTING(N) {#N, [] { return std::make_unique<N##Processor>(); }}
    const std::map<std::string, std::function<std::unique_ptr<IProcessor>()>> named{
        KORDA_ADDRESSED(ChannelFunction), KORDA_ADDRESSED(ChannelRange),
        KORDA_ADDRESSED(ChannelAlarmTrigger), KORDA_ADDRESSED(FirstAlarmFunction),
        KORDA_ADDRESSED(SecondAlarmFunction), KORDA_ADDRESSED(ChannelDelay),
        KORDA_ADDRESSED(SecondAlarmLimit), KORDA_ADDRESSED(SecondAlarmIO),
        KORDA_ADDRESSED(ThermoDetection), KORDA_ADDRESSED(ThermoColdJunction),
        KORDA_ADDRESSED(ChannelName), KORDA_COMPUTED(ChannelFunction),
        KORDA_COMPUTED(ChannelPolyCoeff), KORDA_COMPUTED(AChannel), KORDA_COMPUTED(BChannel),
        KORDA_COMPUTED(FirstAlarmIO), KORDA_COMPUTED(SecondAlarmIO), KORDA_COMPUTED(FactorM),
        KORDA_COMPUTED(SecondAlarmLimit), KORDA_COMPUTED(FirstAlarmFunction),
        KORDA_COMPUTED(SecondAlarmFunction), KORDA_COMPUTED(Name), KORDA_COMPUTED(SelectedChannels),
        KORDA_SETTING(TempConfig), KORDA_SETTING(SampleRate), KORDA_SETTING(Destination),
        KORDA_SETTING(AutoRecording), KORDA_SETTING(TriggerType), KORDA_SETTING(TriggerAutoOrder),
        KORDA_SETTING(ResumeScanOnPower), KORDA_SETTING(DataSecurity), KORDA_SETTING(SourceControl),
        KORDA_SETTING(TotalizerMode), KORDA_SETTING(TotalizerStartCount), KORDA_SETTING(ScanCount),
        KORDA_SETTING(ScanInterval), KORDA_SETTING(TotalizerReset)};
#undef KORDA_ADDRESSED
#undef KORDA_COMPUTED
#undef KORDA_SETTING
    // clang-format on
    const auto it = named.find(name);
    return it == named.end() ? nullptr : it->second();
}

// The cases of golden/processor-replies.txt (see its head for the form).
TEST(ProcessorReplies, Transcripts) {
    for (const auto& c : readTranscript("processor-replies.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        auto r = zeroRecord();
        auto expected = zeroRecord();
        std::unique_ptr<IProcessor> p;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const auto& [kind, text] = c.lines[i];
            if (kind == '@' && text.rfind("record ", 0) == 0) {
                ASSERT_EQ(applyRecordText(*r, text.substr(7)), "");
                ASSERT_EQ(applyRecordText(*expected, text.substr(7)), "");
            } else if (kind == '@') {
                std::istringstream words(text.substr(6)); // "parse NAME [CHANNEL]"
                std::string name;
                int number = 0;
                words >> name >> number;
                p = processorNamed(name, number);
                ASSERT_NE(p, nullptr) << text;
            } else if (kind == '<') {
                std::string refusal;
                for (std::size_t k = i + 1;
                     k < c.lines.size() && c.lines[k].kind != '<' && c.lines[k].kind != '@'; ++k) {
                    if (c.lines[k].kind == '=') {
                        ASSERT_EQ(applyRecordText(*expected, c.lines[k].text), "");
                    }
                    if (c.lines[k].kind == '!') refusal = "Invalid response: " + text;
                }
                const ParseResult out = parseWith(*p, text, *r);
                EXPECT_EQ(out.ok, refusal.empty()) << text;
                if (!refusal.empty()) {
                    EXPECT_EQ(std::pair(out.text, out.code), std::pair(refusal, -1));
                }
                EXPECT_EQ(recordText(*r), recordText(*expected)) << text;
                EXPECT_EQ(std::memcmp(r.get(), expected.get(), sizeof *r), 0) << text;
            }
        }
    }
}

// The text a name or unit field gives in a command, at most maxBytes long.
std::string text(const std::u16string& s, std::size_t maxBytes) {
    VmrChar16 field[VMR_TEXT_UNITS] = {};
    std::copy(s.begin(), s.end(), field);
    return channelrules::commandText(field, maxBytes);
}

TEST(ChannelText, ClassicLocale) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text(std::u16string(20, u'x'), 15), std::string(15, 'x'));
    EXPECT_EQ(text(u"caf\u00e9", 15), "caf\xe9"); // bytes 0x80-0xFF map one to one
    EXPECT_EQ(text(u"5 \u20ac", 15), "");         // not expressible: sent empty
    EXPECT_EQ(text(u"a\"b", 15), "a\"b");         // quotes are not escaped
    EXPECT_EQ(text(u"a\tb\u007fc\u0001", 15), "abc");

    // A field without terminator is read to its 256 units and no further.
    VmrChar16 full[VMR_TEXT_UNITS + 1];
    std::fill(std::begin(full), std::end(full), VmrChar16('y'));
    full[VMR_TEXT_UNITS] = 0x20AC; // would make the text inconvertible if it were read
    EXPECT_EQ(channelrules::commandText(full, 1000), std::string(VMR_TEXT_UNITS, 'y'));
}

TEST(ChannelText, Utf8LocaleAndDecimalComma) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_EQ(text(u"\u20acuro", 15), "\xe2\x82\xacuro");
    // Never cut inside a character: 8 + 2 bytes do not fit in 9.
    EXPECT_EQ(text(u"abcdefgh\u00e9", 9), "abcdefgh");
    EXPECT_EQ(text(u"abcdefg\u00e9", 9), "abcdefg\xc3\xa9");
    EXPECT_EQ(text(u"\U0001F600", 15), "\xf0\x9f\x98\x80"); // surrogate pair
    EXPECT_EQ(text({u'a', 0xD800, u'b'}, 15), "");          // a lone surrogate cannot be converted

    // Numbers stay in the classic form whatever the locale.
    auto r = zeroRecord();
    r->channel1.function = 1;
    r->channel1.delay = 0.125;
    ChannelDelayProcessor delay(-1, 1);
    EXPECT_EQ(joined(commandsOf(delay, *r)), "ROUT:CHAN:DEL 0.125,(@1)");
    FactorBProcessor b(-1, 1);
    EXPECT_TRUE(parseWith(b, "+1.25000000E+00", *r).ok);
    EXPECT_EQ(r->channel1.scaleB, 1.25);
}

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
