// Function and range of analog channels: commands byte for byte, model
// rules, absent modules, and the parse of the instrument's replies.
#include "channels/ChannelProcessor.h"
#include "ConfigSupport.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/RecordAccess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace korda32ex;
using namespace korda::test;

namespace {

using Commands = std::vector<std::string>;

constexpr int k7043A = 4, k5129A = 5, kUnidentified = 0;

// The commands of a channel's function and range processors for one model.
Commands channelCommands(const VmrInstConfig& r, int slot, int index, int model) {
    ModelCodeScope scope(model);
    ChannelFunctionProcessor function(slot, index);
    ChannelRangeProcessor range(slot, index);
    Commands out = commandsOf(function, r);
    for (auto& c : commandsOf(range, r))
        out.push_back(c);
    return out;
}

TEST(ChannelCommands, FollowFunctionRangeModel) {
    // The forms the golden command lists of whole records do not hold. Sensor
    // coefficients of every magnitude, in every channel of the table.
    const double coef[7] = {25.5, 0.001, -2e-7, 1.5e-3, 100, 0.00385, 12345678};
    struct Case {
        int slot, index;
        std::uint32_t function, range;
        int model;
        const char* expected; // the commands joined by '|'
    };
    const Case cases[] = {
        {0, 0, 1, 23, k7043A, "CONF:VOLT (@101)|VOLT:RANG:AUTO ON,(@101)"},
        {1, 5, 6, 5, k7043A, "CONF:FRES (@206)|CONF:FRES 1000000.000000,(@206)"},
        // Current goes through the shunt on module channels 1 to 20.
        {0, 0, 3, 52, k7043A, "CONF:VOLT (@101)|CONF:CURR:DC 0.100000,(@101)"},
        {0, 20, 3, 48, k7043A, "CONF:CURR:DC (@121)|CONF:CURR:DC 0.000100,(@121)"},
        {-1, 0, 3, 50, k7043A, "CONF:CURR:DC (@1)|CONF:CURR:DC 0.000000,(@1)"}, // 50: no range
        // Alternating functions only on the 5129A.
        {0, 1, 2, 34, k7043A, ""},
        {0, 1, 2, 34, k5129A, "CONF:VOLT:AC (@102)|CONF:VOLT:AC 10.000000,(@102)"},
        {0, 1, 4, 65, k5129A, "CONF:VOLT:AC (@102)|CONF:CURR:AC 0.001000,(@102)"},
        // Frequency is configured by the range processor alone.
        {-1, 0, 13, 77, k5129A, "CONF:FREQ (@1)"},
        // Nothing for unconfigured or unknown functions, nor for an address
        // outside the record (instead of reading past it).
        {0, 0, 0, 18, k7043A, ""},
        {0, 0, 14, 18, k7043A, ""},
        {0, 22, 1, 18, k7043A, ""},
        {6, 0, 1, 18, k7043A, ""},
        // Thermocouples.
        {0, 0, 12, 0x6F01, k7043A,
         "CONF:TEMP TC,POLY,(@101)|"
         "TEMP:TC:POLY:COEF 25.5,0.001,-2e-07,0.0015,100,0.00385,1.23457e+07,(@101)"},
        {0, 0, 12, 0x6F01, k5129A, ""},
        {0, 0, 12, 0x6F01, kUnidentified, "CONF:TEMP TC,POLY,(@101)"},
        {0, 0, 12, 0x6201, k7043A,
         "CONF:TEMP TC,R,(@101)|TEMP:TC:R:COEF 25.5,0.001,-2e-07,0.0015,(@101)"},
        {0, 0, 12, 0x6201, k5129A, "CONF:TEMP TC,R,(@101)"},
        {0, 0, 12, 0x6002, k7043A, "CONF:TEMP TC,K,(@101)"}, // not a type
        // Resistance thermometers in each wiring.
        {0, 0, 7, 80, k7043A,
         "CONF:TEMP RTD,SPRT,(@101)|"
         "TEMP:RTD:SPRT:COEF:HIGH 1.500000e-03,1.000000e+02,3.850000e-03,1.234568e+07,(@101)|"
         "TEMP:RTD:SPRT:COEF:LOW 1.000000e-03,-2.000000e-07,(@101)|"
         "TEMP:RTD:SPRT:RTPW 25.5,(@101)"},
        {0, 0, 7, 80, k5129A, ""},
        {0, 0, 7, 80, kUnidentified, "CONF:TEMP RTD,SPRT,(@101)|TEMP:RTD:A392:RZER 25.5,(@101)"},
        {0, 0, 8, 83, k7043A,
         "CONF:TEMP TRTD,ABC,(@101)|TEMP:TRTD:ABC:RZER 2.550000e+01,(@101)|"
         "TEMP:TRTD:ABC:COEF 1.000000e-03,-2.000000e-07,1.500000e-03,(@101)"},
        {0, 0, 9, 83, k7043A,
         "CONF:TEMP FRTD,ABC,(@101)|TEMP:FRTD:ABC:RZER 25.5,(@101)|"
         "TEMP:FRTD:ABC:COEF 1.000000e-03,-2.000000e-07,1.500000e-03,(@101)"},
        // Not a type: the A385 token with an A392 R0.
        {0, 0, 9, 5, k7043A, "CONF:TEMP FRTD,A385,(@101)|TEMP:FRTD:A392:RZER 25.5,(@101)"},
        // Thermistors.
        {2, 21, 10, 100, k7043A,
         "CONF:TEMP THER,RPOL,(@322)|TEMP:THER:RPOL:COEF 25.5,0.001,-2e-07,0.0015,(@322)"},
        {2, 21, 11, 100, k5129A, ""},
    };
    for (const auto& c : cases) {
        auto r = zeroRecord();
        if (ChannelRecord* ch = channelRecord(*r, c.slot, c.index)) {
            ch->function = c.function;
            ch->range = c.range;
            std::copy(coef, coef + 7, ch->sensorCoef);
        }
        EXPECT_EQ(joined(channelCommands(*r, c.slot, c.index, c.model)), c.expected)
            << channelNumber(c.slot, c.index) << ": function " << c.function << ", range "
            << c.range << ", model " << c.model;
    }
}

TEST(ChannelParse, FunctionWords) {
    auto r = zeroRecord();
    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    ChannelFunctionProcessor function(1, 4);
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"\"VOLT\"", 1},      {"\"volt:ac\"", 2},    {"\"CURR\"", 3},      {"\"CURR:AC\"", 4},
        {"\"RES\"", 5},       {"\"FRES\"", 6},       {"\"TEMP RTD\"", 7},  {"\"TEMP TRTD\"", 8},
        {"\"TEMP FRTD\"", 9}, {"\"TEMP THER\"", 10}, {"\"TEMP FTH\"", 11}, {"\"Temp Tc\"", 12},
        {"\"FREQ\"", 13}};
    for (const auto& [reply, code] : cases) {
        EXPECT_TRUE(parseWith(function, reply, *r).ok) << reply;
        EXPECT_EQ(r->modules[1].channels[4].function, code) << reply;
    }
    EXPECT_EQ(r->modules[1].moduleState, 2u); // a channel read back marks its module present

    r->modules[1].channels[4].function = 6;
    for (const char* reply : {"VOLT", "\"VOLT:DC\"", "\"TEMP\"", ""})
        EXPECT_TRUE(rejects(function, reply, *r));
    EXPECT_EQ(r->modules[1].channels[4].function, 6u);
}

TEST(ChannelParse, RangeRepliesBecomeRangeOrSensorCodes) {
    auto r = zeroRecord();
    ChannelRangeProcessor range(0, 0);
    ChannelRecord& ch = r->modules[0].channels[0];
    struct Case {
        std::uint32_t function;
        const char* reply;
        std::uint32_t code;
    };
    const Case cases[] = {{1, "+1.00000000E+01", 18},
                          {2, "150", 37},
                          {3, "0.5", 48},
                          {6, "garbage", 1},
                          {7, "a392", 82},
                          {9, "PT100", 81},
                          {10, "RPOL", 100},
                          {12, "X", 0x6F01},
                          {13, "+1.0", 0},
                          {0, "1", 0}};
    for (const auto& c : cases) {
        ch.function = c.function;
        ch.range = 12345;
        EXPECT_TRUE(parsesTo(range, c.reply, *r, ch.range, c.code)) << c.function;
    }
    ch.function = 1;
    EXPECT_TRUE(rejects(range, "-1.00000000E+01", *r));
}

TEST(ModelCode, ConcurrentBuildsKeepTheirOwnModel) {
    auto r = zeroRecord();
    r->modules[0].channels[0].function = 2; // AC voltage: built only for the 5129A
    r->modules[0].channels[0].range = 34;
    // Each thread builds while both threads are inside their scopes.
    std::atomic<int> inside{0}, built{0};
    Commands seen[2];
    auto build = [&](int model, int me) {
        ModelCodeScope scope(model);
        for (++inside; inside < 2;)
            std::this_thread::yield();
        ChannelFunctionProcessor function(0, 0);
        seen[me] = commandsOf(function, *r);
        for (++built; built < 2;)
            std::this_thread::yield();
    };
    std::thread a(build, k7043A, 0);
    std::thread b(build, k5129A, 1);
    a.join();
    b.join();
    EXPECT_TRUE(seen[0].empty());
    EXPECT_EQ(seen[1], Commands{"CONF:VOLT:AC (@101)"});
    EXPECT_EQ(currentModel().code, 0); // scopes restore what was there
}

} // namespace
