// Texts placed in channel commands (names and units) and numbers under the
// application's locale.
#include "SimConnection.h"
#include "channels/ChannelRules.h"
#include "channels/ChannelSettingProcessors.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace korda32ex;
using channelrules::commandText;

namespace {

std::u16string repeated(char16_t c, std::size_t n) {
    return std::u16string(n, c);
}

std::string text(const std::u16string& s, std::size_t maxBytes) {
    VmrChar16 field[VMR_TEXT_UNITS] = {};
    for (std::size_t i = 0; i < s.size() && i < VMR_TEXT_UNITS; ++i)
        field[i] = s[i];
    return commandText(field, maxBytes);
}

// Switches the process locale for one test and restores it.
class LocaleScope {
  public:
    explicit LocaleScope(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, previous_.c_str()); }
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

} // namespace

TEST(ChannelText, ClassicLocale) {
    LocaleScope c("C");
    EXPECT_EQ(text(u"Temp 1", 15), "Temp 1");
    EXPECT_EQ(text(repeated(u'x', 20), 15), std::string(15, 'x'));
    EXPECT_EQ(text(u"ABCDEFGHIJKL", 9), "ABCDEFGHI");
    EXPECT_EQ(text(u"", 15), "");
    EXPECT_EQ(text(u"caf\u00e9", 15), "caf\xe9"); // bytes 0x80-0xFF map one to one
    EXPECT_EQ(text(u"5 \u20ac", 15), "");         // not expressible: sent empty
    EXPECT_EQ(text(u"a\"b", 15), "a\"b");         // quotes are not escaped
    EXPECT_EQ(text(u"a\tb\u007fc\u0001", 15), "abc");

    // A field without terminator is read to its 256 units and no further.
    VmrChar16 full[VMR_TEXT_UNITS + 1];
    std::fill(std::begin(full), std::end(full), VmrChar16('y'));
    full[VMR_TEXT_UNITS] = 0x20AC; // would make the text inconvertible if it were read
    EXPECT_EQ(commandText(full, 1000), std::string(VMR_TEXT_UNITS, 'y'));
}

TEST(ChannelText, Utf8LocaleAndDecimalComma) {
    LocaleScope de("de_DE.utf8");
    if (!de.active()) GTEST_SKIP() << "de_DE.utf8 locale not installed";
    EXPECT_EQ(text(u"\u20acuro", 15), "\xe2\x82\xacuro");
    // Never cut inside a character: 8 + 2 bytes do not fit in 9.
    EXPECT_EQ(text(u"abcdefgh\u00e9", 9), "abcdefgh");
    EXPECT_EQ(text(u"abcdefg\u00e9", 9), "abcdefg\xc3\xa9");
    EXPECT_EQ(text(u"\U0001F600", 15), "\xf0\x9f\x98\x80"); // surrogate pair
    EXPECT_EQ(text(u"a\xd800"
                   u"b",
                   15),
              ""); // a lone surrogate cannot be converted

    // Numbers stay in the classic form whatever the locale.
    auto r = korda::test::zeroRecord();
    r->channel1.function = 1;
    r->channel1.alarm1Limit = 2.5;
    r->channel1.delay = 0.125;
    FirstAlarmLimitProcessor limit(-1, 1);
    ChannelDelayProcessor delay(-1, 1);
    CommandList commands;
    std::string errorText;
    int code = 0;
    limit.buildCommands(*r, commands, errorText, code);
    delay.buildCommands(*r, commands, errorText, code);
    EXPECT_EQ(commands, (CommandList{"CALC:LIM1 2.5,(@1)", "ROUT:CHAN:DEL 0.125,(@1)"}));
    FactorBProcessor b(-1, 1);
    EXPECT_TRUE(b.parseResponse("+1.25000000E+00", *r, errorText, code));
    EXPECT_EQ(r->channel1.scaleB, 1.25);
}

TEST(ChannelRules, OutputNumbers) {
    int k = -1;
    EXPECT_FALSE(channelrules::outputNumber(0, k));
    EXPECT_FALSE(channelrules::outputNumber(65, k));
    EXPECT_TRUE(channelrules::outputNumber(1, k));
    EXPECT_EQ(k, 1);
    EXPECT_TRUE(channelrules::outputNumber(5, k));
    EXPECT_EQ(k, 3);
    EXPECT_TRUE(channelrules::outputNumber(63, k));
    EXPECT_EQ(k, 6);
    EXPECT_TRUE(channelrules::outputNumber(64, k));
    EXPECT_EQ(k, 0);
}
