// korda config check, and the same check that config set makes before it
// sends: every value an instrument of the model would not hold as written,
// as the user sees it.
#include "Instrument.h"
#include "KordaRun.h"
#include "TcpServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

#if !defined(_WIN32)

using korda::test::runKorda;
using korda::test::TempDir;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Pieces of documents: a module slot with its channels, a voltage channel.
std::string slot(int s, const std::string& channels) {
    return "\"modules\": [{\"slot\": " + std::to_string(s) + ", \"channels\": [" + channels + "]}]";
}

std::string volts(int channel, const std::string& more = "") {
    return "{\"channel\": " + std::to_string(channel) +
           ", \"function\": \"VOLT\", \"range\": \"AUTO\"" + more + "}";
}

} // namespace

TEST(ConfigCheck, ListsEachKindOfValueTheInstrumentWouldNotHold) {
    TempDir dir;
    const struct {
        const char* model;
        std::string members; // of the document
        std::string finding; // the line before the count
    } cases[] = {
        {"5129A", slot(1, volts(104, ", \"name\": \"Thermocouple in the oven door\"")),
         "modules[0].channels[0].name: \"Thermocouple in the oven door\" is cut to 15 characters: "
         "\"Thermocouple in\""},
        {"5129A",
         slot(1, volts(101, ", \"alarmFlags\": {\"alarm1High\": true}, \"alarm1Output\": 9")),
         "modules[0].channels[0].alarm1Output: 9 is clamped to 8"},
        {"5129A", slot(1, "{\"channel\": 101, \"function\": \"VOLT\", \"range\": 99}"),
         "modules[0].channels[0].range: 99 is replaced by \"100mV\""},
        // The library raises a shunt of 10 ohms or less to 10.
        {"5129A",
         slot(1, "{\"channel\": 105, \"function\": \"CURR\", \"range\": 112, \"shuntOhms\": 5}"),
         "modules[0].channels[0].shuntOhms: 5 is clamped to 10"},
        {"7043A", "\"channel1\": " + volts(1) + ", " + slot(3, volts(301)),
         "modules[0].channels[0]: channel 301 is dropped: slot 3 of the 7043A holds no module"},
        {"7043A",
         slot(1,
              "{\"channel\": 101, \"function\": \"VOLT_AC\", \"range\": \"AUTO\"}, " + volts(102)),
         "modules[0].channels[0].function: \"VOLT_AC\" is dropped: channel 101 is not configured "
         "on "
         "the instrument"},
        {"7043A", "\"flags\": {\"rate\": \"NPLC\"}, " + slot(1, volts(101, ", \"nplc\": 2")),
         "modules[0].channels[0].nplc: 2 is dropped (the instrument holds 0)"},
        {"5129A",
         slot(1,
              "{\"channel\": 101, \"function\": \"TEMP_TC\", \"range\": \"POLY\", \"openDetect\": "
              "true}, " +
                  volts(102)),
         "modules[0].channels[0]: the instrument rejects \"TEMP:TC:ODET ON, (@101)\": Settings "
         "conflict (-221)"},
        {"5129A", "\"triggerCount\": 100000, \"channel1\": " + volts(1),
         "the instrument rejects \"TRIG:COUN 100000\": Data out of range (-222); nothing after it "
         "is sent, nor checked"},
        // Warnings: the instrument holds the value in effect.
        {"5129A", slot(1, volts(101, ", \"scaleM\": 1.234567891")),
         "warning: modules[0].channels[0].scaleM: 1.234567891 is rounded to 1.23457"},
        {"5129A", "\"flags\": {\"rate\": \"FAST\"}, " + slot(1, volts(101, ", \"nplc\": 1e300")),
         "warning: modules[0].channels[0].nplc: 1e+300 is not sent while the rate is FAST (the "
         "instrument holds 1)"},
    };
    for (const auto& c : cases) {
        dir.write("doc.json", "{" + c.members + "}");
        const auto r = runKorda(dir, std::string("config check doc.json --model ") + c.model);
        const bool warning = c.finding.rfind("warning: ", 0) == 0;
        EXPECT_EQ(r.code, warning ? 0 : 1) << c.members << "\n" << r.err;
        EXPECT_EQ(r.out, c.finding + "\ndoc.json: " +
                             (warning ? "0 errors, 1 warning" : "1 error, 0 warnings") +
                             " for the " + c.model + "\n")
            << c.members;
    }
}

TEST(ConfigCheck, WhatConfigExampleWritesPasses) {
    TempDir dir;
    for (const std::string model : {"5129A", "7043A"}) {
        ASSERT_EQ(runKorda(dir, "config example " + model + " -o example.json").code, 0);
        const auto r = runKorda(dir, "config check example.json --model " + model);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "example.json: 0 errors, 0 warnings for the " + model + "\n");
    }
}

// config set checks against the model of the instrument it reaches: a
// document with an error (here one for the other model, and one with a name
// too long) leaves the instrument untouched; --force sends it all the same.
TEST(ConfigCheck, SetSendsNothingWhileTheCheckFindsAnErrorAndForceSends) {
    TempDir dir;
    korda::sim::Instrument instrument(korda::sim::Model::M7043A);
    korda::sim::TcpServer server(instrument);
    const std::string at = "tcp://127.0.0.1:" + std::to_string(server.port());
    const auto untouched = [&] {
        std::lock_guard<std::recursive_mutex> g(instrument.mutex());
        // "*RST" would have put the interval back to 10 s.
        return instrument.settings.timerSeconds == 7 && instrument.scanList().empty();
    };
    {
        std::lock_guard<std::recursive_mutex> g(instrument.mutex());
        instrument.settings.timerSeconds = 7;
    }
    dir.write("long.json",
              "{" + slot(1, volts(104, ", \"name\": \"Thermocouple in the oven door\"")) + "}");
    const std::string other =
        "'" + std::string(KORDA_SOURCE_DIR) + "/examples/5129A-thermocouples.json'";
    for (const auto& [file, says] :
         {std::pair{other, "korda: modules[2].channels[0]: channel 301 is dropped: slot 3 of the "
                           "7043A holds no module\n"},
          std::pair{std::string("long.json"), "korda: modules[0].channels[0].name: "}}) {
        const auto r = runKorda(dir, at + " config set " + file);
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_TRUE(contains(r.err, says)) << r.err;
        EXPECT_TRUE(contains(r.err, "; nothing was sent (--force sends it all the same)\n"))
            << r.err;
        EXPECT_TRUE(untouched()) << file;
    }
    const auto r =
        runKorda(dir, at + " config set long.json --force raw \"ROUT:CHAN:NAME? (@104)\"");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "\"Thermocouple in\"\n");
    EXPECT_TRUE(contains(r.err, "long.json: 1 error, 0 warnings for the 7043A at " + at +
                                    "; sent all the same (--force)\n"))
        << r.err;
    EXPECT_FALSE(untouched());
}

#endif
