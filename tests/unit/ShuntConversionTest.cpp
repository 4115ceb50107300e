// Shunt-current channels rewritten into the instrument's view before a
// configuration is sent, and back into current channels after a read-back:
// the cases of golden/shunt-channels.txt, and the capture's wait.
#include "config/ShuntConversion.h"
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "TestSupport.h"
#include "Transcript.h"
#include "config/ConfigFingerprint.h"
#include "logdata/ConfigReadBack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace korda32ex;
using namespace korda::test;

namespace {

// KORDA_UPDATE_GOLDEN=1 prints each case's records as converted. The names
// ignore a decimal-comma locale (when the machine has one).
TEST(ShuntConversion, Transcripts) {
    CommaLocale comma;
    for (const auto& c : readTranscript("shunt-channels.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        std::string caller, sent, after;
        for (const auto& [kind, line] : c.lines) {
            if (kind == '@' && line.rfind("record ", 0) == 0) caller += line.substr(7) + "\n";
            if (kind == '=') sent += line + "\n";
            if (kind == '<') after += line + "\n";
        }
        auto application = recordFromText(caller);
        auto working = zeroRecord();
        std::string failure;
        const auto steps = c.all('@');
        if (std::find(steps.begin(), steps.end(), "restore") != steps.end()) {
            std::swap(application, working); // the read-back turns the working copy back
            restoreShuntChannels(*working, *application);
            std::swap(application, working);
        } else {
            const auto r =
                convertShuntChannels(*application, *working, c.step("convert") == "7043A" ? 4 : 5);
            if (!r.ok())
                failure =
                    "detail " + std::to_string(r.detail) + " channel " + std::to_string(r.channel);
        }
        if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr) {
            std::printf("%s<<<\n%s!!! %s\n", recordText(*working).c_str(),
                        recordText(*application).c_str(), failure.c_str());
            continue;
        }
        EXPECT_EQ(failure, c.all('!').empty() ? "" : c.all('!').front());
        EXPECT_EQ(recordText(*working), sent);
        EXPECT_EQ(recordText(*application), after);
    }
}

struct Converted {
    std::unique_ptr<VmrInstConfig> application = zeroRecord();
    std::unique_ptr<VmrInstConfig> working = zeroRecord();
    ShuntConversionResult result;
};

// One shunt channel at module area 0, index 4 (channel 105), converted for model.
Converted convertOne(std::uint32_t function, std::uint32_t range, double ohms, double m, double b,
                     int model = 5, const std::u16string& name = u"Flow") {
    Converted c;
    ChannelRecord& ch = c.application->modules[0].channels[4];
    ch.function = function;
    ch.range = range;
    ch.shuntOhms = ohms;
    ch.scaleM = m;
    ch.scaleB = b;
    setText(ch.name, name);
    c.result = convertShuntChannels(*c.application, *c.working, model);
    return c;
}

TEST(ShuntConversion, RaisedResistanceGivesTheFingerprintOfTheRaisedRecord) {
    const Converted raised = convertOne(3, 0, 2, 1, 0);
    const Converted ten = convertOne(3, 0, 10, 1, 0);
    EXPECT_EQ(configurationFingerprint(*raised.working), configurationFingerprint(*ten.working));
    // Converting the already raised record again gives the same working copy.
    auto again = zeroRecord();
    ASSERT_TRUE(convertShuntChannels(*raised.application, *again, 5).ok());
    EXPECT_EQ(std::memcmp(again.get(), raised.working.get(), sizeof *again), 0);
}

TEST(ConfigReadBack, CaptureWaitGrowsWithTheScanList) {
    std::string list = "(@101";
    for (int i = 2; i <= 70; ++i)
        list += "," + std::to_string(100 + i);
    EXPECT_EQ(captureWaitMs(list + ")"), 70000u);
    EXPECT_EQ(captureWaitMs("(@101,102,103,104,105,106,107,108,109,110,111,112)"), 60000u);
    EXPECT_EQ(captureWaitMs(""), 60000u);
}

} // namespace
