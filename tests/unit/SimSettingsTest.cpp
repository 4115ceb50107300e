// The virtual instrument's settings and channel commands, driven line by line.
#include "Instrument.h"
#include "ScpiArgs.h"

#include <gtest/gtest.h>

using namespace korda::sim;

namespace {

// Runs a line and returns its single reply line ("" when none).
std::string ask(Instrument& in, const std::string& line) {
    const auto replies = in.execute(line);
    return replies.empty() ? std::string() : replies.front();
}

// Runs a setting command and returns the error it left in the queue (0 = none).
int run(Instrument& in, const std::string& line) {
    in.execute("*CLS");
    EXPECT_TRUE(in.execute(line).empty()) << line;
    return in.popError().first;
}

TEST(SimSettings, SettingsAnswerInTheirReplyFormsAndResetRestoresThem) {
    Instrument in(Model::M7043A);
    const std::pair<const char*, const char*> defaults[] = {
        {"UNIT:TEMP?", "C"},      {"RATE?", "FAST"},          {"TRIG:SOUR?", "TIM"},
        {"TRIG:COUN?", "1"},      {"TRIG:TIM?", "10"},        {"TRIG:AUTO:ORD?", "000"},
        {"TRIG:AUTO:CONT?", "0"}, {"TRIG:ALAR:CHAN?", "000"}, {"ROUT:SCAN:RES?", "0"},
        {"MEM:LOG:SEC?", "0"},    {"DATA:LOG:AUTO?", "0"},    {"DATA:LOG:DEST?", "MEM"},
        {"TOT:DEB?", "0"},        {"TOT:TYPE?", "READ"},      {"TOT:STAT?", "0"},
        {"TOT:DATA?", "0"},       {"ROUT:SCAN?", "(@)"}};
    for (const auto& [query, reply] : defaults)
        EXPECT_EQ(ask(in, query), reply) << query;

    for (const char* command :
         {"UNIT:TEMP F", "RATE MEDIUM", "TRIG:SOUR ALARM", "TRIG:COUN 99999", "TRIG:TIM 3725",
          "TRIG:AUTO:ORD rev", "TRIG:AUTO:CONT ON", "TRIG:ALAR:CHAN (@105)", "TRIG:AUTO:REF (@1)",
          "ROUT:SCAN:RES 1", "MEMORY:LOG:SECURITY 1", "DATA:LOG:AUTO 1", "DATA:LOG:DEST MMEM",
          "TOT:DEB ON", "TOT:TYPE RRES", "TOT:STAT 1", "ROUT:SCAN (@101:103,1)"})
        EXPECT_EQ(run(in, command), 0) << command;
    const std::pair<const char*, const char*> changed[] = {{"UNIT:TEMP?", "F"},
                                                           {"RATE?", "MED"},
                                                           {"TRIG:SOUR?", "ALAR"},
                                                           {"TRIG:COUN?", "99999"},
                                                           {"TRIG:TIM?", "3725"},
                                                           {"TRIG:AUTO:ORD?", "REV"},
                                                           {"TRIG:AUTO:CONT?", "1"},
                                                           {"TRIG:ALAR:CHAN?", "105"},
                                                           {"TRIG:AUTO:REF?", "1"},
                                                           {"ROUT:SCAN:RES?", "1"},
                                                           {"MEM:LOG:SEC?", "1"},
                                                           {"DATA:LOG:AUTO?", "1"},
                                                           {"DATA:LOG:DEST?", "MMEM"},
                                                           {"TOT:DEB?", "1"},
                                                           {"TOT:TYPE?", "RRES"},
                                                           {"TOT:STAT?", "1"},
                                                           {"ROUT:SCAN?", "(@101,102,103,1)"}};
    for (const auto& [query, reply] : changed)
        EXPECT_EQ(ask(in, query), reply) << query;
    EXPECT_EQ(in.scanList(), (std::vector<int>{101, 102, 103, 1}));

    EXPECT_EQ(run(in, "TRIG:TIM INF"), 0);
    EXPECT_EQ(ask(in, "TRIG:TIM?"), "0");

    in.execute("*RST");
    for (const auto& [query, reply] : defaults)
        EXPECT_EQ(ask(in, query), reply) << query;
    EXPECT_TRUE(in.scanList().empty());
}

TEST(SimSettings, BadSettingsAreInstrumentErrors) {
    Instrument in(Model::M7043A);
    const std::pair<const char*, int> cases[] = {
        {"UNIT:TEMP K", -224},
        {"RATE", -109},
        {"TRIG:COUN 100000", -222},
        {"TRIG:COUN -1", -222},
        {"TRIG:COUN two", -104},
        {"TRIG:TIM 360000", -222},
        {"TRIG:ALAR:CHAN (@305)", -222}, // no third slot on this model
        {"TRIG:ALAR:CHAN (@101,102)", -108},
        {"DATA:LOG:DEST USB", -224},
        {"TOT:STAT maybe", -224},
        {"ROUT:SCAN (@101,123)", -222},
        {"ROUT:SCAN (@105:101)", -224},
        {"ROUT:SCAN 101", -109}};
    for (const auto& [command, code] : cases)
        EXPECT_EQ(run(in, command), code) << command;
    EXPECT_EQ(ask(in, "TRIG:COUN?"), "1");
    EXPECT_EQ(ask(in, "ROUT:SCAN?"), "(@)");
}

TEST(SimChannels, FunctionRangeAndSensorReplies) {
    Instrument in(Model::M7043A);
    EXPECT_EQ(ask(in, "ROUT:CHAN:STAT? (@101)"), "0");
    EXPECT_EQ(run(in, "CONF:VOLT 10.000000,(@101,102)"), 0);
    EXPECT_EQ(ask(in, "ROUT:CHAN:STAT? (@101,102,103)"), "1,1,0");
    EXPECT_EQ(ask(in, "CONF? (@101)"), "\"VOLT\"");
    EXPECT_EQ(ask(in, "VOLT:DC:RANG? (@101)"), "+1.00000000E+01");
    EXPECT_EQ(ask(in, "SENS:VOLT:RANG:AUTO? (@101)"), "0");
    EXPECT_EQ(run(in, "VOLT:RANG:AUTO ON,(@101)"), 0);
    EXPECT_EQ(ask(in, "VOLT:RANG:AUTO? (@101)"), "1");
    EXPECT_EQ(run(in, "CONF:VOLT 12,(@101)"), 0); // the next range up
    EXPECT_EQ(ask(in, "VOLT:DC:RANG? (@101)"), "+5.00000000E+01");
    EXPECT_EQ(run(in, "CONF:VOLT 301,(@101)"), -222);
    EXPECT_EQ(run(in, "RES:RANG:AUTO ON,(@101)"), -221); // not a resistance channel

    EXPECT_EQ(run(in, "CONF:CURR:DC 0.000100,(@121)"), 0);
    EXPECT_EQ(ask(in, "CONF? (@121)"), "\"CURR\"");
    EXPECT_EQ(ask(in, "CURR:DC:RANG? (@121)"), "+1.00000000E-04");
    EXPECT_EQ(run(in, "CONF:FRES 100000000.000000,(@1)"), 0);
    EXPECT_EQ(ask(in, "FRES:RANG? (@1)"), "+1.00000000E+08");

    EXPECT_EQ(run(in, "CONF:TEMP TC,j,(@103)"), 0);
    EXPECT_EQ(ask(in, "CONF? (@103)"), "\"TEMP TC\"");
    EXPECT_EQ(ask(in, "TEMP:TC:TYPE? (@103)"), "J");
    EXPECT_EQ(run(in, "TEMP:TC:POLY:COEF 0.5,1.5,2.5,3.5,4.5,5.5,6.5,(@103)"), 0);
    EXPECT_EQ(ask(in, "TEMP:TC:POLY:COEF? (@103)"),
              "+5.00000000E-01,+1.50000000E+00,+2.50000000E+00,+3.50000000E+00,"
              "+4.50000000E+00,+5.50000000E+00,+6.50000000E+00");
    EXPECT_EQ(run(in, "TEMP:TC:R:COEF 1,2,3,(@103)"), -109);
    EXPECT_EQ(run(in, "CONF:TEMP FRTD,SPRT,(@104)"), 0);
    EXPECT_EQ(ask(in, "TEMP:FRTD:TYPE? (@104)"), "SPRT");
    EXPECT_EQ(run(in, "CONF:TEMP FTH,R10K,(@105)"), 0);
    EXPECT_EQ(ask(in, "CONF? (@105)"), "\"TEMP FTH\"");
    EXPECT_EQ(ask(in, "TEMP:FTH:TYPE? (@105)"), "R10K");
    EXPECT_EQ(run(in, "CONF:FREQ (@106)"), 0);
    EXPECT_EQ(ask(in, "CONF? (@106)"), "\"FREQ\"");

    EXPECT_EQ(run(in, "ROUT:CHAN:STAT OFF,(@101:103)"), 0);
    EXPECT_EQ(ask(in, "ROUT:CHAN:STAT? (@101,102,103,104)"), "0,0,0,1");
    in.execute("*RST");
    EXPECT_EQ(ask(in, "ROUT:CHAN:STAT? (@104)"), "0");
    EXPECT_EQ(ask(in, "CONF? (@104)"), "\"VOLT\"");
}

TEST(SimChannels, ModelsAndModulesLimitWhatIsAccepted) {
    Instrument small(Model::M7043A);
    const std::pair<const char*, int> smallCases[] = {{"CONF:VOLT:AC (@101)", -113},
                                                      {"CURR:AC:RANG:AUTO ON,(@121)", -113},
                                                      {"CONF:VOLT (@301)", -222},
                                                      {"CONF:VOLT (@123)", -222},
                                                      {"CONF:VOLT (@501)", -221},
                                                      {"CONF:CURR:DC (@101)", -221},
                                                      {"CONF:VOLT", -109},
                                                      {"CONF:VOLT (@10x)", -224},
                                                      {"CONF:TEMP PT,A385,(@101)", -224},
                                                      {"CONF:TEMP RTD,A999,(@101)", -224},
                                                      {"TEMP:RTD:SPRT:RTPW 25.5,(@101)", 0},
                                                      {"TEMP:THER:RPOL:COEF 1,2,3,4,(@101)", 0}};
    for (const auto& [command, code] : smallCases)
        EXPECT_EQ(run(small, command), code) << command;
    small.setModule(1, "");
    EXPECT_EQ(run(small, "CONF:VOLT (@201)"), -222);

    Instrument large(Model::M5129A);
    const std::pair<const char*, int> largeCases[] = {
        {"CONF:VOLT:AC 10,(@301)", 0},
        {"CONF:CURR:AC (@322)", 0},
        {"CONF:TEMP RTD,SPRT,(@101)", -224},
        {"CONF:TEMP THER,RPOL,(@101)", -224},
        {"CONF:TEMP TC,POLY,(@101)", -224},
        {"TEMP:TC:POLY:COEF 1,2,3,4,5,6,7,(@101)", -113},
        {"TEMP:RTD:ABC:COEF 1,2,3,(@101)", -113},
        {"TEMP:RTD:A385:RZER 100,(@101)", 0},
        {"ROUT:SCAN (@101,322,501,520,1)", 0}};
    for (const auto& [command, code] : largeCases)
        EXPECT_EQ(run(large, command), code) << command;
    EXPECT_EQ(ask(large, "VOLT:AC:RANG? (@301)"), "+1.00000000E+01");
    EXPECT_EQ(ask(large, "CONF? (@322)"), "\"CURR:AC\"");
}

TEST(SimArgs, ChannelListsAndNumbers) {
    ChannelArgs a;
    ASSERT_TRUE(parseChannelArgs("ON, (@101:103,1)", a));
    EXPECT_EQ(a.params, "ON");
    EXPECT_EQ(a.channels, (std::vector<int>{101, 102, 103, 1}));
    ASSERT_TRUE(parseChannelArgs("(@)", a));
    EXPECT_TRUE(a.hasList);
    EXPECT_TRUE(a.channels.empty());
    EXPECT_FALSE(parseChannelArgs("(@101", a));
    EXPECT_FALSE(parseChannelArgs("(@101) x", a));
    EXPECT_FALSE(parseChannelArgs("(@1:99999)", a)); // too long a range

    EXPECT_EQ(realReply(10), "+1.00000000E+01");
    EXPECT_EQ(realReply(-0.0001), "-1.00000000E-04");
    EXPECT_EQ(realReply(0), "+0.00000000E+00");
    EXPECT_EQ(realReply(9.9e37), "+9.90000000E+37");
    double v = 0;
    EXPECT_TRUE(parseReal("1.000000e-03", v));
    EXPECT_EQ(v, 0.001);
    EXPECT_FALSE(parseReal("1.5x", v));
    EXPECT_FALSE(parseReal("nan", v));
}

} // namespace
