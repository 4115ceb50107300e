// Recording directories written by the virtual instrument, read back through
// the exported file functions.
#include "FullRecord.h"
#include "RecordingWriter.h"
#include "ScanBuffer.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using korda::sim::Model;
using korda::test::ScanBuffer;
using korda::test::TempDir;
using korda::test::text16;

namespace {

korda::sim::Recording writeDemo(const TempDir& dir, Model model, int scans) {
    korda::sim::RecordingOptions o;
    o.model = model;
    o.scans = scans;
    o.year = 2023, o.month = 12, o.day = 31, o.hour = 23, o.minute = 59, o.second = 50;
    o.millisecond = 125;
    o.intervalMs = 1500;
    o.reading = [](int scan, int column) {
        if (scan == 3 && column == 1) return std::numeric_limits<double>::infinity();
        if (scan == 4 && column == 0) return -std::numeric_limits<double>::infinity();
        return korda::sim::patternReading(scan, column);
    };
    const auto rec = korda::sim::buildRecording(korda::sim::demoConfiguration(model), o);
    EXPECT_TRUE(korda::sim::writeRecording(dir.path().string(), rec));
    return rec;
}

// Checks entry n of the buffer against scan `scan` of the recording, written
// from 2023-12-31 23:59:50.125 every 1.5 s.
void expectScan(ScanBuffer& b, int n, const korda::sim::Recording& rec, int scan) {
    const int ms = 125 + 1500 * scan;
    const int s = 50 + ms / 1000;
    EXPECT_EQ(b.stamp(n), s < 60 ? std::tuple(23, 12, 31, 23, 59, s, ms % 1000)
                                 : std::tuple(24, 1, 1, 0, 0, s - 60, ms % 1000))
        << "scan " << scan;
    const auto& values = rec.readings[static_cast<std::size_t>(scan)];
    EXPECT_EQ(b.readings(n), std::vector<float>(values.begin(), values.end())) << "scan " << scan;
}

class RecordingRoundTrip : public ::testing::TestWithParam<Model> {};

} // namespace

TEST_P(RecordingRoundTrip, ScansReadBackScanForScan) {
    TempDir dir;
    const int scans = 25;
    const auto rec = writeDemo(dir, GetParam(), scans);
    const int columns = static_cast<int>(rec.channels.size());

    int count = -1;
    ASSERT_EQ(dlxVmrPCCardScansFileCountW(0, dir.wideFile("dat00001.csv").c_str(), &count), 1);
    EXPECT_EQ(count, scans);

    ScanBuffer all(scans, columns);
    ASSERT_EQ(dlxVmrPCCardScansFileGet(0, dir.wide().c_str(), 100, 0, all.record()), scans);
    EXPECT_EQ(all.counts(), std::tuple(52 + 4 * columns, scans, 0));
    for (int n = 0; n < scans; ++n)
        expectScan(all, n, rec, n); // scans 3 and 4 hold overloads

    // The same in chunks of 7, passing the record back each time.
    ScanBuffer part(7, columns);
    const int expectedRemaining[] = {18, 11, 4, 0};
    int start = 0;
    for (const int remaining : expectedRemaining) {
        const int got = dlxVmrPCCardScansFileGet(0, dir.wide().c_str(), 7, start, part.record());
        ASSERT_EQ(got, std::min(7, scans - start));
        EXPECT_EQ(part.record()->scansRemaining, remaining);
        for (int n = 0; n < got; ++n)
            expectScan(part, n, rec, start + n);
        start += got;
    }
}

// The configuration as the setup file carries it: golden/drive-setup-*.txt
// (KORDA_UPDATE_GOLDEN=1 writes what is read now).
TEST_P(RecordingRoundTrip, ConfigurationReadsBackAsTheSetupFileCarriesIt) {
    TempDir dir;
    writeDemo(dir, GetParam(), 2);
    auto got = std::make_unique<VmrInstConfig>(); // zeroed
    ASSERT_EQ(dlxVmrPCCardConfigFile(0, dir.wide().c_str(), got.get(), 0, 0), 1);
    const std::string name =
        std::string("drive-setup-") + (GetParam() == Model::M7043A ? "7043A" : "5129A") + ".txt";
    if (std::getenv("KORDA_UPDATE_GOLDEN") != nullptr)
        std::ofstream(korda::test::goldenDir() + "/" + name) << korda::test::recordText(*got);
    EXPECT_EQ(korda::test::recordText(*got), korda::test::goldenText(name));
}

INSTANTIATE_TEST_SUITE_P(BothModels, RecordingRoundTrip,
                         ::testing::Values(Model::M7043A, Model::M5129A), [](const auto& info) {
                             return info.param == Model::M7043A ? std::string("M7043A")
                                                                : std::string("M5129A");
                         });

TEST(UsbDriveFiles, EveryFormOfAPathOpensTheRightFile) {
    TempDir dir;
    writeDemo(dir, Model::M7043A, 3);
    ScanBuffer b(3, 40);
    auto cfg = std::make_unique<VmrInstConfig>();
    const std::wstring forms[] = {dir.wide(L'/'), dir.wide(L'\\'), dir.wideFile("setup.csv"),
                                  dir.path().wstring() + L"\\dat00001.csv",
                                  dir.wide() + L"no-such-file"};
    for (const auto& path : forms) {
        EXPECT_EQ(dlxVmrPCCardScansFileGet(0, path.c_str(), 3, 0, b.record()), 3);
        EXPECT_EQ(dlxVmrPCCardConfigFile(0, path.c_str(), cfg.get(), 0, 0), 1);
    }
    // A directory without a trailing separator names its parent's files.
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, dir.path().wstring().c_str(), 3, 0, b.record()), -2034);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, dir.path().wstring().c_str(), cfg.get(), 0, 0), -2034);
    int count = 0;
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, (dir.wide(L'\\') + L"dat00001.csv").c_str(), &count),
              1);
    EXPECT_EQ(count, 3);
}

namespace {

// A recording of four scans of a 5129A in a directory, and what the calls on
// it need.
struct BadDriveFiles : ::testing::Test {
    TempDir dir;
    const korda::sim::Recording rec = writeDemo(dir, Model::M5129A, 4);
    ScanBuffer b{4, 40};
    std::unique_ptr<VmrInstConfig> cfg = std::make_unique<VmrInstConfig>();
    const std::wstring d = dir.wide();
    const std::wstring data = dir.wideFile("dat00001.csv");
    int count = 77;

    int readScans() { return dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()); }
    int countScans() { return dlxVmrPCCardScansFileCountW(0, data.c_str(), &count); }
    int readSetup() { return dlxVmrPCCardConfigFile(0, d.c_str(), cfg.get(), 0, 0); }
};

} // namespace

TEST_F(BadDriveFiles, BadArgumentsAndBadFilesFail) {
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 1, -1, b.record()), -2);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), nullptr, 0, 0), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, nullptr, &count), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 0, 0, b.record()), -2022); // nothing read
    // A malformed third scan fails the read, keeping the two before it.
    std::string text = rec.dataText;
    text[text.find(' ', text.find("\r\n3,") + 2)] = 'T';
    dir.write("dat00001.csv", text);
    EXPECT_EQ(readScans(), -2022);
    EXPECT_EQ(b.record()->scanCount, 2);
    // A header alone: valid lines, but no scan; then no data file at all.
    dir.write("dat00001.csv", rec.dataText.substr(0, rec.dataText.find('\n') + 1));
    EXPECT_EQ(countScans(), -2034);
    EXPECT_EQ(readScans(), -2022);
    dir.write("dat00001.csv", "just,some,text\r\nmore,text,here\r\n");
    EXPECT_EQ(readScans(), -2034);
    // Setup files need the "Test Setup," line.
    for (const char* setup : {"", "Test Setup\r\nInstrument\r\n"}) {
        dir.write("setup.csv", setup);
        EXPECT_EQ(readSetup(), -2034) << setup;
    }
    dir.write("setup.csv", "Test Setup,\r\nx\r\n");
    EXPECT_EQ(readSetup(), 1);
}

TEST(UsbDriveFiles, HugeLinesDoNotHurt) {
    TempDir dir;
    const std::string huge(4 << 20, '7');
    dir.write("setup.csv", "Test Setup,\r\nt,a,b\r\nr,1,2,3," + huge + ",ON\r\n");
    dir.write("dat00001.csv",
              "Record #,Time,A,S,C\r\n1,2024-01-01 00:00:00," + huge + ",0,ABCDE\r\n");
    auto cfg = std::make_unique<VmrInstConfig>(); // zeroed
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, dir.wide().c_str(), cfg.get(), 0, 0), 1);
    EXPECT_EQ(cfg->flags, 0x20u);
    ScanBuffer b(1, 1);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, dir.wide().c_str(), 1, 0, b.record()), 1);
    int count = 0;
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, dir.wideFile("dat00001.csv").c_str(), &count), -2034);
}

TEST(UsbDriveFiles, EveryKindOfLineEndIsVerifiedLineByLine) {
    TempDir dir;
    const auto rec = writeDemo(dir, Model::M7043A, 4);
    const std::wstring data = dir.wideFile("dat00001.csv");
    ScanBuffer b(4, 40);
    for (const char* end : {"\r", "\n"}) {
        std::string text;
        for (std::size_t pos = 0, crlf;
             (crlf = rec.dataText.find("\r\n", pos)) != std::string::npos; pos = crlf + 2)
            text += rec.dataText.substr(pos, crlf - pos) + end;
        dir.write("dat00001.csv", text);
        int count = 0;
        EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, data.c_str(), &count), 1) << int(*end);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(dlxVmrPCCardScansFileGet(0, dir.wide().c_str(), 4, 0, b.record()), 4);
    }
}

std::string lastDetail() {
    char buffer[1024] = {};
    dlxVmrGetLastErrorDetailA(buffer, sizeof buffer);
    return buffer;
}

// A failing file function leaves what it was doing, the file and the reason
// (the system's own words on each system) as the calling thread's last
// failure detail.
TEST_F(BadDriveFiles, FailuresNameTheFileAndTheReason) {
    using ::testing::EndsWith;
    using ::testing::MatchesRegex;
    const std::wstring missing = d + L"gone/";
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, missing.c_str(), cfg.get(), 0, 0), -2034);
    EXPECT_THAT(lastDetail(), MatchesRegex("reading the setup file: open .*gone/setup.csv: .+"));
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, missing.c_str(), 1, 0, b.record()), -2034);
    EXPECT_THAT(lastDetail(), MatchesRegex("reading the data file: open .*gone/dat00001.csv: .+"));
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, (missing + L"dat00001.csv").c_str(), &count), -2034);
#if !defined(_WIN32)
    EXPECT_EQ(lastDetail(), "verifying the data file: open " + dir.path().string() +
                                "/gone/dat00001.csv: No such file or directory");
#else
    EXPECT_THAT(lastDetail(),
                MatchesRegex("verifying the data file: open .*gone/dat00001.csv: .+"));
#endif
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, L"", &count), -2034);
    EXPECT_EQ(count, 77); // a failed count leaves it

    dir.write("setup.csv", "no,setup\r\nat,all\r\n");
    EXPECT_EQ(readSetup(), -2034);
    EXPECT_THAT(lastDetail(), EndsWith("setup.csv: no \"Test Setup\" section"));
    dir.write("dat00001.csv", "");
    EXPECT_EQ(readScans(), -2034);
    EXPECT_THAT(lastDetail(), EndsWith("dat00001.csv: the file is empty"));
    dir.write("dat00001.csv", rec.dataText);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 99, b.record()), -2022);
    EXPECT_THAT(lastDetail(), EndsWith("dat00001.csv: no scan read from scan 99 on"));
}
