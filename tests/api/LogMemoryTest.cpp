// The instrument's log memory through the exported functions that list,
// count, read and clear its files (the virtual instrument's own log-memory
// commands: golden/sim-dialogues.txt).
#include "LogMemory.h"
#include "ScanBuffer.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace korda::test;
using korda::sim::Instrument;
using korda::sim::Model;

namespace {

// Runs lines on the instrument; every line must leave the error queue empty.
void run(Instrument& in, std::initializer_list<const char*> lines) {
    for (const char* line : lines) {
        in.execute(line);
        EXPECT_EQ(ask(in, "SYST:ERR?"), "0,\"No error\"") << line;
    }
}

// A scanning run of `count` timed sweeps of three channels, recorded into the
// log memory, taken on a manual clock ("*OPC?" advances it to the run's end).
void recordRun(Instrument& in, int count) {
    korda::sim::useManualClock(in);
    run(in, {"ROUT:SCAN (@101,102,103)", "FORM:READ:TIME 1", "FORM:READ:ALAR 1", "TRIG:TIM 2",
             "DATA:LOG:AUTO 1", "DATA:LOG:DEST MEM"});
    run(in, {("TRIG:COUN " + std::to_string(count)).c_str(), "INIT"});
    EXPECT_EQ(ask(in, "*OPC?"), "1");
    EXPECT_FALSE(korda::sim::scanning(in));
}

} // namespace

// A run recorded with logging on reads back through dlxVmrScansFileGet, in
// pieces, exactly as dlxVmrScansGet fetches the same scans.
TEST(LogMemoryApi, LoggedScansReadBackInPiecesAsLiveFetch) {
    VirtualInstrumentSession session(Model::M7043A);
    ASSERT_EQ(session.openStatus(), 1);
    auto& in = session.instrument();
    run(in, {"CONF:VOLT (@102)"});
    recordRun(in, 10);

    const std::wstring name = L"LOG00001.CSV";

    // Its chained check codes pass the library's file check.
    TempDir dir;
    const auto log = korda::sim::logFiles(in).front();
    dir.write("setup.csv", log.setupText);
    dir.write("dat00001.csv", log.dataText);
    int count = -1;
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, dir.wideFile("dat00001.csv").c_str(), &count), 1);
    EXPECT_EQ(count, 10);
    count = -1;
    EXPECT_EQ(dlxVmrPCCardScansCountFile(1, name.c_str(), &count), 1);
    EXPECT_EQ(count, 10);
    count = -1;
    EXPECT_EQ(dlxVmrPCCardScansCount(1, &count, 0x100), 1); // low byte 0: the live memory
    EXPECT_EQ(count, 10);
    count = -1;
    EXPECT_EQ(dlxVmrPCCardScansCount(1, &count, 1), 1);
    EXPECT_EQ(count, 10);

    ScanBuffer file(10, 3, 0xA5A5A5A5);
    EXPECT_EQ(dlxVmrScansFileGet(1, name.c_str(), 4, 0, file.record()), 4);
    EXPECT_EQ(file.counts(), std::tuple(52 + 4 * 3, 4, 6));
    ScanBuffer live(10, 3, 0xA5A5A5A5);
    ASSERT_EQ(dlxVmrScansGet(1, 10, live.record()), 1);
    ASSERT_EQ(live.record()->scanCount, 10);
    const std::size_t entry = static_cast<std::size_t>(live.record()->entrySize);
    ASSERT_EQ(file.record()->entrySize, live.record()->entrySize);
    for (const auto& [start, stored, left] :
         {std::tuple(0, 4, 6), std::tuple(4, 4, 2), std::tuple(8, 2, 0)}) {
        EXPECT_EQ(dlxVmrScansFileGet(1, name.c_str(), 4, start, file.record()), stored);
        EXPECT_EQ(file.counts(), std::tuple(static_cast<int>(entry), stored, left));
        EXPECT_EQ(std::memcmp(&file.entry(0), &live.entry(static_cast<std::size_t>(start)),
                              entry * static_cast<std::size_t>(stored)),
                  0)
            << "scans from " << start;
    }

    // The configuration of the log file.
    auto config = std::make_unique<VmrInstConfig>();
    std::memset(config.get(), 0, sizeof *config);
    EXPECT_EQ(dlxVmrPCCardConfigGet(1, config.get(), 0, name.c_str()), 1);
    EXPECT_EQ(config->modules[0].moduleState, 1u);
    EXPECT_EQ(config->modules[0].channels[1].function, 1u);
    EXPECT_EQ(config->modules[0].channels[1].range, 23u); // automatic range
    EXPECT_EQ(config->intervalSeconds, 0u);               // not in the setup text: left alone
    EXPECT_EQ(dlxVmrPCCardConfigGet(1, config.get(), 0, nullptr), -2);

    // Format clears the memory even under data security.
    in.execute("MEMory:LOG:SECurity ON");
    EXPECT_EQ(dlxVmrPCCardFormat(1), 1);
    EXPECT_EQ(ask(in, "MEMory:LOG:NFILes?"), "0");
    char* names = nullptr;
    int files = 0;
    EXPECT_EQ(dlxVmrGetPCCardScansFileList(1, &names, &files), DLXVMR_E_NO_LOG_FILES);
    EXPECT_EQ(names, nullptr);
    count = -1;
    EXPECT_EQ(dlxVmrPCCardScansCount(1, &count, 1), 1);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(dlxVmrPCCardScansGet(1, 0, 0, nullptr), 1);
}
