// dlxVmrConfigSet and dlxVmrGetInstalledModules against the virtual
// instrument and a scripted one, with the settle pause shortened.
#include "ConfigSupport.h"
#include "FullRecord.h"
#include "TestSupport.h"
#include "Transcript.h"
#include "config/ConfigFingerprint.h"
#include "config/ShuntConversion.h"
#include "frontend/ConfigApply.h"
#include "frontend/DirectOperations.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <thread>

using namespace korda32ex;
using namespace korda::test;
using korda::sim::Instrument;
using korda::sim::Model;

namespace {

class ConfigSet : public ::testing::Test {
  protected:
    void SetUp() override { setConfigSettlePauseMs(5); }
    void TearDown() override { setConfigSettlePauseMs(1000); }
};

double number(const std::string& reply) {
    return std::strtod(reply.c_str(), nullptr);
}

// The fingerprint dlxVmrConfigSet stores for record on a model.
std::string fingerprintOf(const VmrInstConfig& record, int model) {
    auto application = std::make_unique<VmrInstConfig>(record);
    auto working = zeroRecord();
    EXPECT_TRUE(convertShuntChannels(*application, *working, model).ok());
    return configurationFingerprint(*working);
}

// The command lists themselves are the golden lists of the build tests; here
// the instrument takes the whole transfer, ends with the list's scan list and
// holds the record's fingerprint, stored after the last batch.
TEST_F(ConfigSet, FullRecordIsTakenWholeAndFingerprinted) {
    for (const auto& [simModel, model] :
         {std::pair{Model::M7043A, DLXVMR_MODEL_7043A}, {Model::M5129A, DLXVMR_MODEL_5129A}}) {
        SCOPED_TRACE(model);
        VirtualInstrumentSession session(simModel);
        ASSERT_EQ(session.openStatus(), 1);
        Instrument& in = session.instrument();
        auto record = fullRecord(model);
        const auto before = std::make_unique<VmrInstConfig>(*record);
        int detail = -1;
        ASSERT_EQ(dlxVmrConfigSet(1, record.get(), 0, &detail), 1) << errorString(-222);
        EXPECT_EQ(detail, 0);
        // The caller's record is only read (no resistance needed raising).
        EXPECT_EQ(std::memcmp(before.get(), record.get(), sizeof *record), 0);
        const CommandList commands = configurationCommands(*record, model);
        EXPECT_NE(std::find(commands.begin(), commands.end(), "ROUT:SCAN " + ask(in, "ROUT:SCAN?")),
                  commands.end());
        const std::string identity = ask(in, "SYST:OEM:IDEN?");
        ASSERT_GE(identity.size(), 2u);
        EXPECT_EQ(identity.front(), '"');
        EXPECT_EQ(identity.back(), '"');
        EXPECT_EQ(identity.substr(1, identity.size() - 2), fingerprintOf(*record, model));
        EXPECT_EQ(in.popError().first, 0);
    }
}

TEST_F(ConfigSet, UnchangedRecordIsSkippedUntilTheIdentityChanges) {
    VirtualInstrumentSession session(Model::M5129A);
    ASSERT_EQ(session.openStatus(), 1);
    Instrument& in = session.instrument();
    auto record = zeroRecord();
    record->modules[0].channels[3].function = 3; // a shunt raised from 5 to 10 ohms
    record->modules[0].channels[3].shuntOhms = 5;
    record->modules[0].channels[3].scaleM = 1;
    ASSERT_EQ(dlxVmrConfigSet(1, record.get(), DLXVMR_CONFIG_SKIP_UNCHANGED, nullptr), 1);
    EXPECT_EQ(record->modules[0].channels[3].shuntOhms, 10.0);
    EXPECT_EQ(number(ask(in, "VOLT:DC:RANG? (@104)")), 1); // 0.2 V at 20 mA
    const auto linesAfter = [&](int options) {
        const auto before = in.linesExecuted();
        EXPECT_EQ(dlxVmrConfigSet(1, record.get(), options, nullptr), 1);
        return in.linesExecuted() - before;
    };
    EXPECT_EQ(linesAfter(DLXVMR_CONFIG_SKIP_UNCHANGED), 1u); // the identity query alone
    EXPECT_GT(linesAfter(0), 10u);                           // without the option: sent
    EXPECT_EQ(linesAfter(DLXVMR_CONFIG_SKIP_UNCHANGED), 1u); // and the fingerprint stored
    // Another OEM identity, or another record, means sending again.
    ASSERT_EQ(dlxVmrOEMIdentitySetA(1, "ACME"), 1);
    EXPECT_GT(linesAfter(DLXVMR_CONFIG_SKIP_UNCHANGED), 10u);
    record->modules[0].channels[3].scaleB = 1;
    EXPECT_GT(linesAfter(DLXVMR_CONFIG_SKIP_UNCHANGED), 10u);
}

TEST_F(ConfigSet, WireSequenceOfASkipThenATransfer) {
    auto record = fullRecord(DLXVMR_MODEL_7043A);
    const std::string fingerprint = fingerprintOf(*record, DLXVMR_MODEL_7043A);
    std::string lower = fingerprint;
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // A checked batch of commands, as each write of a transfer is.
    std::vector<TranscriptLine> script;
    const auto batch = [&](auto first, auto last) {
        script.push_back({'>', "*CLS"});
        for (; first != last; ++first)
            script.insert(script.end(),
                          {{'>', *first}, {'>', "SYST:ERR?"}, {'<', "0,\"No error\""}});
    };
    const CommandList open{"SYST:COMM:TERM CRLF"};
    batch(open.begin(), open.end());
    // The identity already holds the fingerprint: one query, nothing else.
    script.insert(script.end(), {{'>', "SYST:OEM:IDEN?"}, {'<', "\"" + fingerprint + "\""}});
    // A longer identity, or one in other letter case, is another one: the
    // whole transfer follows, the fingerprint stored last.
    const CommandList expected = configurationCommands(*record, DLXVMR_MODEL_7043A);
    const CommandList store{oemIdentityCommand(fingerprint)};
    for (const std::string& identity : {fingerprint + "0", lower}) {
        script.insert(script.end(), {{'>', "SYST:OEM:IDEN?"},
                                     {'<', "\"" + identity + "\""},
                                     {'>', "*OPT?"},
                                     {'<', "MUX22,0,MUX22,0"},
                                     {'>', "ROUT:SCAN?"},
                                     {'<', "(@)"}});
        for (std::size_t b = 0; b < expected.size(); b += 20)
            batch(expected.begin() + static_cast<long>(b),
                  expected.begin() + static_cast<long>(std::min(b + 20, expected.size())));
        batch(store.begin(), store.end());
    }
    ReplayPeer peer(script);
    dlxVmrLibInit(0);
    ASSERT_EQ(openLoopback(1, peer.port()), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dlxVmrConfigSet(1, record.get(), DLXVMR_CONFIG_SKIP_UNCHANGED, nullptr), 1) << i;
    EXPECT_EQ(peer.outcome(), "");
    // Each batch is one write: the open, 3 queries, the batches and the store, twice.
    EXPECT_EQ(peer.messages().size(), 2 + 2 * (3 + (expected.size() + 19) / 20 + 1));
    dlxVmrCommClose(1);
    dlxVmrLibExit();
}

TEST_F(ConfigSet, UnconvertibleShuntSendsNothing) {
    VirtualInstrumentSession session(Model::M5129A);
    ASSERT_EQ(session.openStatus(), 1);
    for (const auto& [range, m, expected] :
         {std::tuple{112u, 1e-37, 33}, std::tuple{0u, 1e38, 34}}) {
        auto r = zeroRecord();
        r->modules[0].channels[4].function = 4;
        r->modules[0].channels[4].range = range;
        r->modules[0].channels[4].shuntOhms = 100;
        r->modules[0].channels[4].scaleM = m;
        r->modules[0].channels[0].function = 1;
        const auto before = session.instrument().linesExecuted();
        int detail = 0;
        EXPECT_EQ(dlxVmrConfigSet(1, r.get(), 0, &detail), DLXVMR_E_INVALID_CONFIGURATION);
        EXPECT_EQ(detail, expected);
        EXPECT_EQ(dlxVmrConfigSet(1, r.get(), 0, nullptr), DLXVMR_E_INVALID_CONFIGURATION);
        EXPECT_EQ(session.instrument().linesExecuted(), before);
        const std::string text = errorString(DLXVMR_E_INVALID_CONFIGURATION);
        EXPECT_NE(text.find("channel 105, detail " + std::to_string(expected)), std::string::npos)
            << text;
    }
}

// A record with nothing to scan sets nothing; a null record or an instrument
// not open is refused; a trigger channel that is not configured is sent.
TEST_F(ConfigSet, RecordsRefusedOrTakenAsTheyStand) {
    VirtualInstrumentSession session(Model::M7043A);
    ASSERT_EQ(session.openStatus(), 1);
    auto r = zeroRecord();
    const auto before = session.instrument().linesExecuted();
    int detail = -1;
    EXPECT_EQ(dlxVmrConfigSet(1, r.get(), DLXVMR_CONFIG_SKIP_UNCHANGED, &detail),
              DLXVMR_CONFIG_NO_CHANNEL);
    EXPECT_EQ(detail, 0);
    EXPECT_EQ(errorString(DLXVMR_CONFIG_NO_CHANNEL), "No channel configured");
    // The identity, the modules and the scan list were asked; nothing was set.
    EXPECT_EQ(session.instrument().linesExecuted() - before, 3u);
    EXPECT_EQ(dlxVmrConfigSet(1, nullptr, 0, &detail), DLXVMR_E_INVALID_PARAMETER);
    EXPECT_EQ(dlxVmrConfigSet(7, r.get(), 0, &detail), DLXVMR_E_NOT_OPEN);
    r->modules[0].channels[0].function = 1;
    r->triggerSource = 2;
    r->alarmTriggerChannel = 102;
    EXPECT_EQ(dlxVmrConfigSet(1, r.get(), 0, nullptr), 1);
    EXPECT_EQ(ask(session.instrument(), "TRIG:ALAR:CHAN?"), "102");
}

TEST_F(ConfigSet, InstrumentErrorEndsTheTransferAfterItsBatch) {
    VirtualInstrumentSession session(Model::M5129A);
    ASSERT_EQ(session.openStatus(), 1);
    Instrument& in = session.instrument();
    auto record = fullRecord(DLXVMR_MODEL_5129A);
    const CommandList commands = configurationCommands(*record, DLXVMR_MODEL_5129A);
    const auto failing = std::find(commands.begin(), commands.end(), "TRIG:COUN 10");
    ASSERT_NE(failing, commands.end());
    const std::size_t batch = static_cast<std::size_t>(failing - commands.begin()) / 20;
    ASSERT_LT((batch + 1) * 20, commands.size()); // a later batch exists
    in.forceError("TRIG:COUN", -222, "Data out of range");

    const auto before = in.linesExecuted();
    EXPECT_EQ(dlxVmrConfigSet(1, record.get(), 0, nullptr), -222);
    EXPECT_EQ(errorString(-222).rfind("TRIG:COUN 10 => \"Data out of range", 0), 0u);
    // "*OPT?", "ROUT:SCAN?", then whole batches up to the failing one.
    std::uint64_t lines = 2;
    for (std::size_t b = 0; b <= batch; ++b)
        lines += 1 + 2 * std::min<std::size_t>(20, commands.size() - 20 * b);
    EXPECT_EQ(in.linesExecuted() - before, lines);
    EXPECT_EQ(ask(in, "ROUT:SCAN?"), "(@)");
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?").find(fingerprintOf(*record, 5)), std::string::npos);
}

TEST_F(ConfigSet, EmptySlotChannelsAreRejectedByTheInstrument) {
    VirtualInstrumentSession session(Model::M5129A, 1, {"MUX22", "", "MUX22"});
    ASSERT_EQ(session.openStatus(), 1);
    EXPECT_EQ(dlxVmrGetInstalledModules(1), 5);
    auto r = zeroRecord();
    r->modules[0].channels[0].function = 1;
    r->modules[1].channels[0].function = 1; // no module in slot 2
    r->modules[2].channels[0].function = 1;
    EXPECT_EQ(dlxVmrConfigSet(1, r.get(), 0, nullptr), -222);
    EXPECT_EQ(errorString(-222).rfind("ROUT:SCAN (@101,201,301) => \"Data out of range", 0), 0u);
    r->modules[1].moduleState = VMR_MODULE_ABSENT;
    EXPECT_EQ(dlxVmrConfigSet(1, r.get(), 0, nullptr), 1);
    EXPECT_EQ(ask(session.instrument(), "ROUT:SCAN?"), "(@101,301)");
}

TEST_F(ConfigSet, TwoModelsAtOnceKeepTheirOwnRules) {
    VirtualInstrumentSession older(Model::M7043A, 1);
    VirtualInstrumentSession newer(Model::M5129A, 2);
    ASSERT_EQ(older.openStatus(), 1);
    ASSERT_EQ(newer.openStatus(), 1);
    // AC volts exist on the 5129A only; a 1000-ohm shunt needs 100 V there, 50 V
    // on the 7043A. A model seen by the wrong thread fails or sets another range.
    auto r = zeroRecord();
    ChannelRecord* ch = r->modules[0].channels;
    ch[0].function = 2;
    ch[0].range = 33;
    ch[1].function = 3;
    ch[1].shuntOhms = 1000;
    ch[1].scaleM = 1;
    ch[2].function = 1;
    ch[2].range = 18;
    std::vector<int> results[2];
    auto run = [&](int bcn, std::vector<int>& out) {
        auto own = std::make_unique<VmrInstConfig>(*r);
        for (int i = 0; i < 8; ++i)
            out.push_back(dlxVmrConfigSet(bcn, own.get(), 0, nullptr));
    };
    std::thread a(run, 1, std::ref(results[0]));
    std::thread b(run, 2, std::ref(results[1]));
    a.join();
    b.join();
    EXPECT_EQ(results[0], std::vector<int>(8, 1));
    EXPECT_EQ(results[1], std::vector<int>(8, 1));
    EXPECT_EQ(ask(older.instrument(), "ROUT:CHAN:STAT? (@101)"), "0");
    EXPECT_EQ(ask(newer.instrument(), "CONF? (@101)"), "\"VOLT:AC\"");
    EXPECT_EQ(number(ask(older.instrument(), "VOLT:DC:RANG? (@102)")), 50);
    EXPECT_EQ(number(ask(newer.instrument(), "VOLT:DC:RANG? (@102)")), 100);
}

TEST(InstalledModules, MaskFromTheOptReply) {
    EXPECT_EQ(dlxVmrGetInstalledModules(1), DLXVMR_E_NOT_INITIALIZED);
    {
        VirtualInstrumentSession session(Model::M7043A);
        ASSERT_EQ(session.openStatus(), 1);
        EXPECT_EQ(dlxVmrGetInstalledModules(1), 3);
        EXPECT_EQ(dlxVmrGetInstalledModules(2), DLXVMR_E_NOT_OPEN);
        session.instrument().setModule(0, "");
        EXPECT_EQ(dlxVmrGetInstalledModules(1), 2);
        session.instrument().setModule(1, "");
        EXPECT_EQ(dlxVmrGetInstalledModules(1), 0);
    }
    {
        VirtualInstrumentSession session(Model::M5129A);
        EXPECT_EQ(dlxVmrGetInstalledModules(1), 7);
    }
}

} // namespace
