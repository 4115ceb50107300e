// Records sent to the virtual instrument over TCP and read back into a fresh
// record with the same processors: the cases of
// golden/readback-configurations.txt, and the queries the read-back asks.
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "Transcript.h"
#include "channels/ChannelProcessor.h"
#include "channels/ChannelSettingProcessors.h"
#include "config/InstConfigProcessor.h"
#include "config/InstrumentSettingProcessors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace korda32ex;
using namespace korda::test;

namespace {

// KORDA_UPDATE_GOLDEN=1 prints each case's record as read back.
TEST(ConfigRoundTrip, Transcripts) {
    for (const auto& c : readTranscript("readback-configurations.txt")) {
        SCOPED_TRACE(c.where + ": " + c.name);
        std::string sent, back;
        for (const auto& [kind, line] : c.lines) {
            if (kind == '@' && line.rfind("record ", 0) == 0) sent += line.substr(7) + "\n";
            if (kind == '=') back += line + "\n";
        }
        const int model = c.step("model") == "5129A" ? DLXVMR_MODEL_5129A : DLXVMR_MODEL_7043A;
        SimLink link(model == DLXVMR_MODEL_5129A ? korda::sim::Model::M5129A
                                                 : korda::sim::Model::M7043A);
        ASSERT_EQ(link.openStatus, 1);
        ModelCodeScope scope(model);
        ASSERT_EQ(link.handler->sendCommands(configurationCommands(*recordFromText(sent), model)),
                  1);
        InstConfigProcessor reader(*link.handler, model);
        auto record = zeroRecord();
        std::string text;
        int code = 0;
        const bool ok = link.readBack(reader, *record, text, code);
        const std::string failure = ok ? "" : text + "|" + std::to_string(code);
        if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr) {
            std::printf("%s!!! %s\n", recordText(*record).c_str(), failure.c_str());
            continue;
        }
        EXPECT_EQ(failure, c.all('!').empty() ? "" : c.all('!').front());
        if (ok) {
            EXPECT_EQ(recordText(*record), back);
        }
    }
}

TEST(ConfigRoundTrip, QueriesFollowWhatTheInstrumentRuns) {
    SimLink link(korda::sim::Model::M7043A);
    ASSERT_EQ(link.openStatus, 1);
    ASSERT_EQ(link.handler->sendCommands(
                  {"*RST", "CONF:FREQ (@102)", "CONF:VOLT (@103)", "CONF:TEMP TC,K,(@104)"}),
              1);
    // The queries of a channel's function and range processors, by channel.
    const auto functionAndRange = [&](int index, korda32ex::SCPIHandler* handler) {
        ChannelProcessor p(0, index);
        CommandList queries;
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(p.children()[i]->buildQueries(queries, handler));
        return joined(queries);
    };
    EXPECT_EQ(functionAndRange(0, link.handler.get()), ""); // off: neither
    EXPECT_EQ(functionAndRange(1, link.handler.get()), "CONF? (@102)");
    EXPECT_EQ(functionAndRange(2, link.handler.get()), "CONF? (@103)|VOLT:DC:RANG? (@103)");
    // Without an instrument nothing can be asked: function and range are passed by.
    EXPECT_EQ(functionAndRange(2, nullptr), "");
    // The reference junction is asked of thermocouples only.
    for (const auto& [index, expected] :
         {std::pair(2, ""), std::pair(3, "TEMP:TC:RJUN:TYPE? (@104)")}) {
        CommandList junction;
        ThermoColdJunctionProcessor(0, index).buildQueries(junction, link.handler.get());
        EXPECT_EQ(joined(junction), expected) << index;
    }

    // A skipped function processor on its own marks the channel switched off.
    ChannelProcessor off(0, 0);
    CommandList queries;
    off.children()[0]->buildQueries(queries, link.handler.get());
    auto r = zeroRecord();
    EXPECT_TRUE(parseWith(*off.children()[0], "", *r).ok);
    EXPECT_EQ(r->modules[0].channels[0].function, VMR_CHANNEL_OFF);

    // The automatic-trigger settings are asked only under the automatic source.
    for (const bool automatic : {false, true}) {
        ASSERT_EQ(automatic ? link.handler->sendCommand("TRIG:SOUR AUTO") : 1, 1);
        TriggerAutoOrderProcessor order;
        SourceControlProcessor control;
        queries.clear();
        order.buildQueries(queries, link.handler.get());
        control.buildQueries(queries, link.handler.get());
        EXPECT_EQ(joined(queries), automatic ? "TRIG:AUTO:ORD?|TRIG:AUTO:CONT?" : "");
        EXPECT_EQ(control.isSkipped(), !automatic);
    }
}

} // namespace
