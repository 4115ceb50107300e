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
    for (const auto& c : korda::test::goldenRows(
             "tool/config-check.txt")) { // model, document, the finding before the count
        const std::string &model = c.at(0), &document = c.at(1), &finding = c.at(2);
        dir.write("doc.json", document);
        const auto r = runKorda(dir, "config check doc.json --model " + model);
        const bool warning = finding.rfind("warning: ", 0) == 0;
        EXPECT_EQ(r.code, warning ? 0 : 1) << document << "\n" << r.err;
        EXPECT_EQ(r.out, finding + "\ndoc.json: " +
                             (warning ? "0 errors, 1 warning" : "1 error, 0 warnings") +
                             " for the " + model + "\n")
            << document;
    }
}

// config example writes the checked-in examples, and they pass: applied to
// the instrument they read back as written.
TEST(ConfigCheck, WhatConfigExampleWritesPasses) {
    TempDir dir;
    for (const std::string model : {"5129A", "7043A"}) {
        ASSERT_EQ(runKorda(dir, "config example " + model + " -o example.json").code, 0);
        EXPECT_EQ(dir.read("example.json"),
                  dir.read(KORDA_SOURCE_DIR "/examples/" + model + "-thermocouples.json"));
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
