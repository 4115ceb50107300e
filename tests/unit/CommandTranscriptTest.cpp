// Command texts byte for byte, from records kept as text: the cases of
// golden/commands-*.txt. Each case sets a zeroed record ("@ record" lines in
// the form of FullRecord.h), a model ("@ model", none by default) and what to
// build ("@ build"): one analog channel ("channel 101", or "channel SLOT
// INDEX" for any address), one computed channel, the instrument-level
// settings, or the whole configuration as dlxVmrConfigSet sends it. The
// commands built are the "> " lines; a build that fails, or notes a problem
// and goes on, ends with "= [refused] code text". KORDA_UPDATE_GOLDEN=1
// prints every case as built.
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "Transcript.h"
#include "channels/ChannelProcessor.h"
#include "channels/ComputedChannelProcessor.h"
#include "config/InstConfigProcessor.h"
#include "config/InstrumentSettingProcessors.h"
#include "config/ShuntConversion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace korda32ex;
using namespace korda::test;

namespace {

int modelCode(const std::string& name) {
    return name == "7043A" ? DLXVMR_MODEL_7043A : name == "5129A" ? DLXVMR_MODEL_5129A : 0;
}

// The processors the build step names.
std::unique_ptr<IProcessor> processorFor(const std::string& build) {
    std::istringstream words(build);
    std::string what;
    int a = 0, b = -1000;
    words >> what >> a >> b;
    if (what == "computed")
        return std::make_unique<ComputedChannelProcessor>(kComputedSlot, a - 501);
    if (what == "channel" && b != -1000) return std::make_unique<ChannelProcessor>(a, b);
    if (what == "channel")
        return std::make_unique<ChannelProcessor>(a == 1 ? -1 : a / 100 - 1, a % 100 - 1);
    auto all = std::make_unique<CompositeProcessor>();
    for (ProcessorPtr p : std::initializer_list<ProcessorPtr>{
             std::make_shared<TempConfigProcessor>(), std::make_shared<DestinationProcessor>(),
             std::make_shared<SampleRateProcessor>(), std::make_shared<ScanCountProcessor>(),
             std::make_shared<TriggerTypeProcessor>(),
             std::make_shared<TriggerAutoOrderProcessor>(),
             std::make_shared<ResumeScanOnPowerProcessor>(),
             std::make_shared<DataSecurityProcessor>(), std::make_shared<SourceControlProcessor>(),
             std::make_shared<AutoRecordingProcessor>(), std::make_shared<ScanIntervalProcessor>(),
             std::make_shared<TotalizerDebounceProcessor>(),
             std::make_shared<TotalizerStartCountProcessor>(),
             std::make_shared<TotalizerModeProcessor>(),
             std::make_shared<TotalizerResetProcessor>()})
        all->addChild(p);
    return all;
}

void checkCommands(const std::string& file) {
    const bool update = std::getenv("KORDA_UPDATE_GOLDEN") != nullptr;
    for (const TranscriptCase& c : readTranscript(file)) {
        SCOPED_TRACE(c.where + ": " + c.name);
        auto record = zeroRecord();
        std::string recordText;
        for (const auto& line : c.lines)
            if (line.kind == '@' && line.text.rfind("record ", 0) == 0)
                recordText += line.text.substr(7) + "\n";
        ASSERT_EQ(applyRecordText(*record, recordText), "");
        const int model = modelCode(c.step("model"));
        const std::string build = c.step("build");
        CommandList commands;
        std::string text;
        int code = 0;
        bool ok = true;
        if (build == "configuration") {
            // As dlxVmrConfigSet builds it: shunt channels converted, against
            // a virtual instrument of the model.
            SimLink link(model == DLXVMR_MODEL_5129A ? korda::sim::Model::M5129A
                                                     : korda::sim::Model::M7043A);
            auto working = zeroRecord();
            ASSERT_TRUE(convertShuntChannels(*record, *working, model).ok());
            ok = InstConfigProcessor(*link.handler, model)
                     .buildCommands(*working, commands, text, code);
        } else {
            ModelCodeScope scope(model);
            ok = processorFor(build)->buildCommands(*record, commands, text, code);
        }
        // A build that fails, or notes a problem and goes on: "= [refused] code text".
        std::vector<std::string> outcome;
        if (!ok || code != 0)
            outcome.push_back((ok ? "" : "refused ") + std::to_string(code) + " " + text);
        if (update) {
            std::printf("# %s\n", c.name.c_str());
            for (const auto& l : c.lines)
                if (l.kind == '@') std::printf("@ %s\n", l.text.c_str());
            for (const auto& command : commands)
                std::printf("> %s\n", command.c_str());
            for (const auto& o : outcome)
                std::printf("= %s\n", o.c_str());
            std::printf("\n");
            continue;
        }
        EXPECT_EQ(commands, c.all('>'));
        EXPECT_EQ(outcome, c.all('='));
    }
}

} // namespace

TEST(CommandTranscripts, AnalogChannels) {
    checkCommands("commands-channels.txt");
}

TEST(CommandTranscripts, ComputedChannels) {
    checkCommands("commands-computed.txt");
}

TEST(CommandTranscripts, InstrumentSettings) {
    checkCommands("commands-settings.txt");
}

TEST(CommandTranscripts, WholeConfigurations) {
    checkCommands("commands-configurations.txt");
}
