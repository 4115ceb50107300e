// The configuration record as korda's JSON: every byte of a record that the
// form carries survives a trip through the text, and a damaged document is
// refused with its place.
#include "ConfigJson.h"
#include "Json.h"
#include "Transcript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

using korda::tool::configFromJson;
using korda::tool::configToJson;
namespace json = korda::tool::json;

namespace {

std::unique_ptr<VmrInstConfig> zeroRecord() {
    auto c = std::make_unique<VmrInstConfig>();
    std::memset(c.get(), 0, sizeof(VmrInstConfig));
    return c;
}

// Random bytes everywhere, then texts made valid (terminated, nothing after
// the terminator, no NUL inside): the form keeps a text up to its terminator.
void randomise(VmrInstConfig& c, unsigned seed) {
    std::mt19937 rng(seed);
    auto* bytes = reinterpret_cast<unsigned char*>(&c);
    for (std::size_t i = 0; i < sizeof c; ++i)
        bytes[i] = static_cast<unsigned char>(rng());
    auto text = [&](VmrChar16* t) {
        const std::size_t length = rng() % 40;
        std::memset(t, 0, VMR_TEXT_UNITS * sizeof(VmrChar16));
        for (std::size_t i = 0; i < length; ++i)
            t[i] = static_cast<VmrChar16>(1 + rng() % 0xFFFE);
    };
    auto channel = [&](ChannelRecord& r) {
        text(r.name);
        text(r.unit);
    };
    channel(c.channel1);
    for (auto& m : c.modules)
        for (auto& ch : m.channels)
            channel(ch);
    for (auto& k : c.computed) {
        text(k.name);
        text(k.unit);
    }
}

std::string roundTrip(const VmrInstConfig& in, VmrInstConfig& out) {
    const std::string text = json::write(configToJson(in));
    configFromJson(json::parse(text), out);
    return text;
}

} // namespace

TEST(ConfigJson, EveryByteOfARecordSurvivesTheText) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        auto in = zeroRecord();
        randomise(*in, seed);
        auto out = zeroRecord();
        const std::string text = roundTrip(*in, *out);
        const auto* a = reinterpret_cast<const unsigned char*>(in.get());
        const auto* b = reinterpret_cast<const unsigned char*>(out.get());
        std::size_t first = 0;
        while (first < sizeof(VmrInstConfig) && a[first] == b[first])
            ++first;
        EXPECT_EQ(first, sizeof(VmrInstConfig)) << "seed " << seed << ": first difference";
        // And the text read and written again is the same text.
        EXPECT_EQ(json::write(configToJson(*out)), text);
    }
}

TEST(ConfigJson, CodesAreWrittenByName) {
    auto c = zeroRecord();
    ChannelRecord& tc = c->modules[0].channels[0];
    tc.function = 12;
    tc.range = 0x6401;
    ChannelRecord& v = c->modules[1].channels[2];
    v.function = 1;
    v.range = 23;
    c->computed[0].function = 0x5007;
    c->modules[2].moduleState = VMR_MODULE_ABSENT;
    c->flags = 0x03 | 0x10;
    c->triggerSource = 3;
    const std::string text = json::write(configToJson(*c));
    for (const char* part :
         {"\"function\": \"TEMP_TC\"", "\"range\": \"J\"", "\"channel\": 203",
          "\"range\": \"AUTO\"", "\"function\": \"SUB\"", "\"moduleState\": \"ABSENT\"",
          "\"rate\": \"SLOW\"", "\"fahrenheit\": true", "\"triggerSource\": \"AUTO\""})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    // Unconfigured channels are left out.
    EXPECT_EQ(text.find("\"channel\": 102"), std::string::npos);
}

TEST(ConfigJson, CodesAreReadByNameOrNumber) {
    auto d = zeroRecord();
    configFromJson(json::parse(R"({"modules": [{"slot": 1, "channels": [
        {"channel": 101, "function": 12, "range": 25601},
        {"channel": 102, "function": "VOLT", "range": 18}]}]})"),
                   *d);
    EXPECT_EQ(d->modules[0].channels[0].range, 0x6401u);
    EXPECT_EQ(d->modules[0].channels[1].range, 18u);
}

TEST(ConfigJson, NumbersTheTextCannotHoldTravelAsNames) {
    auto c = zeroRecord();
    c->channel1.scaleM = std::numeric_limits<double>::quiet_NaN();
    c->channel1.scaleB = -std::numeric_limits<double>::infinity();
    c->channel1.delay = 0.1 + 0.2; // needs all 17 digits
    c->channel1.nplc = 5e-324;
    auto out = zeroRecord();
    roundTrip(*c, *out);
    EXPECT_TRUE(std::isnan(out->channel1.scaleM));
    EXPECT_EQ(out->channel1.scaleB, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(out->channel1.delay, 0.1 + 0.2);
    EXPECT_EQ(out->channel1.nplc, 5e-324);
}

TEST(ConfigJson, TextsKeepEveryUtf16UnitEvenLoneSurrogates) {
    auto c = zeroRecord();
    const VmrChar16 name[] = {'T', 0x00B0, 0xD83D, 0xDE00, 0xDC00, 'x', 0};
    std::memcpy(c->channel1.name, name, sizeof name);
    auto out = zeroRecord();
    const std::string text = roundTrip(*c, *out);
    EXPECT_EQ(std::memcmp(out->channel1.name, name, sizeof name), 0);
    EXPECT_NE(text.find("\"name\": \"T\xC2\xB0\xF0\x9F\x98\x80\\uDC00x\""), std::string::npos)
        << text;
}

TEST(ConfigJson, DamagedDocumentsAreRefusedWithTheirPlace) {
    // The cases of golden/config-json-refusals.txt.
    for (const auto& c : korda::test::readTranscript("config-json-refusals.txt")) {
        std::string text = c.all('>').at(0);
        for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
            text.replace(at, 2, "\n");
        auto record = zeroRecord();
        try {
            configFromJson(json::parse(text), *record);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const json::Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.all('<').at(0)), std::string::npos)
                << text << " -> " << e.what();
        }
    }
    // A text longer than the field.
    auto record = zeroRecord();
    EXPECT_THROW(
        configFromJson(json::parse("{\"channel1\": {\"unit\": \"" + std::string(256, 'u') + "\"}}"),
                       *record),
        json::Error);
    // Nesting deep enough to exhaust a recursive reader is refused.
    EXPECT_THROW(json::parse(std::string(100000, '[')), json::Error);
}
