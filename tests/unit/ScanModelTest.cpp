// The virtual instrument's scanning, monitoring and direct-operation model.
#include "Instrument.h"

#include <gtest/gtest.h>

using namespace korda::sim;

namespace {

std::string ask(Instrument& in, const std::string& query) {
    const auto r = in.execute(query);
    return r.empty() ? std::string("<none>") : r.front();
}

int lastError(Instrument& in) {
    return in.popError().first;
}

} // namespace

TEST(ScanModel, ReadingFormatAndMemory) {
    Instrument in(Model::M5129A);
    useManualClock(in);
    in.execute("SYST:DATE 2030,12,31");
    in.execute("SYST:TIME 23,59,59.5");
    in.execute("TRIG:TIM 1");
    setScanChannels(in, {101, 301});
    setChannelValue(in, 101, 0.5);
    setChannelValue(in, 301, -12.0);
    EXPECT_EQ(ask(in, "DATA:READ?"), "9.910000E+37"); // nothing stored
    storeScans(in, 2);
    EXPECT_EQ(ask(in, "DATA:POIN?"), "2");
    EXPECT_EQ(ask(in, "DATA:READ?"), "5.000000e-01,-1.200000e+01");
    in.execute("FORM:READ:TIME ON");
    in.execute("FORM:READ:ALAR 1");
    // One interval later the year has turned.
    EXPECT_EQ(ask(in, "DATA:READ?"), "5.000000e-01,-1.200000e+01,0,2031,1,1,0,0,0.500");
    EXPECT_EQ(ask(in, "DATA:POIN?"), "0");
}

TEST(ScanModel, TimedSweepsOnTheManualClock) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    setScanChannels(in, {101});
    in.execute("TRIG:TIM 0"); // as fast as the instrument goes
    in.execute("TRIG:COUN 0"); // until stopped
    in.execute("INIT");
    EXPECT_TRUE(scanning(in));
    EXPECT_EQ(storedScanCount(in), 1u);
    // The run keeps the settings it started with.
    in.execute("TRIG:COUN 1");
    in.execute("TRIG:TIM 5");
    advanceClock(in, 100);
    EXPECT_TRUE(scanning(in));
    EXPECT_EQ(storedScanCount(in), 11u);
    // An hour of sweeps: the memory keeps the newest ones, and quickly.
    advanceClock(in, 3600 * 1000);
    EXPECT_EQ(storedScanCount(in), ScanState::kMemoryScans);
    in.execute("ABOR");
    advanceClock(in, 1000);
    EXPECT_EQ(storedScanCount(in), ScanState::kMemoryScans);
    in.execute("DATA:CLE");
    EXPECT_EQ(ask(in, "DATA:POIN?"), "0");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "0");
}

TEST(ScanModel, MonitoringAndOperationStatus) {
    Instrument in(Model::M7043A);
    useManualClock(in);
    EXPECT_EQ(ask(in, "ROUT:MON:DATA?"), "<none>");
    EXPECT_EQ(lastError(in), -221);
    in.execute("ROUT:MON:STAT ON"); // no channel chosen yet
    EXPECT_EQ(lastError(in), -221);
    in.execute("ROUT:MON (@1)");
    in.execute("ROUT:MON:STAT ON");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "0"); // not measured yet
    in.execute("TRIG:COUN 1");
    in.execute("INIT");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "512");
    setChannelValue(in, 1, 9.9e37);
    EXPECT_EQ(ask(in, "ROUT:MON:DATA?"), "9.900000e+37");
    setScanChannels(in, {102});
    in.execute("TRIG:COUN 0");
    in.execute("INIT");
    EXPECT_EQ(ask(in, "STAT:OPER?"), "768");
    in.execute("INIT");
    EXPECT_EQ(lastError(in), -213);
}

TEST(ScanModel, DirectStateAndReset) {
    Instrument in(Model::M7043A);
    in.execute("SYST:OEM:IDEN:STOR \"say \"\"hi\"\"\",\"FLASH\"");
    EXPECT_EQ(lastError(in), 0);
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "say \"hi\"");
    for (const auto& [command, error] : std::vector<std::pair<std::string, int>>{
             {"SYST:OEM:IDEN:STOR \"open", -102},
             {"SYST:OEM:IDEN:STOR \"a\"b\",\"FLASH\"", -102},
             {"SYST:OEM:IDEN:STOR \"a\",\"RAM\"", -224},
             {"SYST:OEM:IDEN:STOR \"" + std::string(64, 'x') + "\"", -223},
             {"SOUR:DIG:DATA:BYTE 256", -222},
             {"SOUR:DIG:DATA:BYTE x", -104},
             {"SYST:DATE 2026,2,29", -222},
             {"SYST:TIME 24,0,0", -222},
             {"SYST:KLOC MAYBE", -224},
         }) {
        in.execute(command);
        EXPECT_EQ(lastError(in), error) << command;
    }
    in.execute("SOUR:DIG:DATA:BYTE 3");
    in.execute("SYST:KLOC ON");
    addTotalizerCounts(in, 5);
    EXPECT_EQ(ask(in, "TOT:DATA?"), "5");
    in.execute("TOT:CLE");
    EXPECT_EQ(ask(in, "TOT:DATA?"), "0");
    addTotalizerCounts(in, 5);
    setChannelValue(in, 101, 1.0);
    in.execute("*RST");
    EXPECT_EQ(ask(in, "SOUR:DIG:DATA:BYTE?"), "255");
    EXPECT_EQ(ask(in, "SYST:KLOC?"), "0");
    EXPECT_EQ(ask(in, "TOT:DATA?"), "0");
    EXPECT_EQ(ask(in, "SYST:OEM:IDEN?"), "say \"hi\"");
    in.execute("ROUT:MON (@101)");
    in.execute("ROUT:MON:STAT ON");
    EXPECT_EQ(ask(in, "ROUT:MON:DATA?"), "1.000000e+00"); // test signals survive *RST
}
