// Recording directories written by the virtual instrument, read back through
// the exported file functions.
#include "RecordingWriter.h"
#include "TempDir.h"
#include "korda32ext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using korda::sim::Model;
using korda::test::TempDir;

namespace {

struct ScanBuffer {
    std::vector<std::uint64_t> storage;
    ScanBuffer(int scans, int readings)
        : storage(DLXVMR_SCAN_BUFFER_SIZE(scans, readings) / 8 + 1, 0) {}
    ScanRecord* record() { return reinterpret_cast<ScanRecord*>(storage.data()); }
    const unsigned char* entry(int n) {
        return reinterpret_cast<const unsigned char*>(record()) + DLXVMR_SCAN_RECORD_HEADER_SIZE +
               static_cast<std::size_t>(record()->entrySize) * n;
    }
    float reading(int n, int i) {
        float v;
        std::memcpy(&v, entry(n) + DLXVMR_SCAN_ENTRY_HEADER_SIZE + 4 * i, 4);
        return v;
    }
};

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
    const unsigned char* e = b.entry(n);
    const long ms = 125 + 1500L * scan;
    const long s = 50 + ms / 1000;
    const bool nextYear = s >= 60;
    EXPECT_EQ(e[14], nextYear ? 24 : 23) << scan;
    EXPECT_EQ(e[11], nextYear ? 1 : 12) << scan;
    EXPECT_EQ(e[13], nextYear ? 1 : 31) << scan;
    EXPECT_EQ(e[8], nextYear ? 0 : 23) << scan;
    EXPECT_EQ(e[9], nextYear ? 0 : 59) << scan;
    EXPECT_EQ(e[10], s % 60) << scan;
    std::int32_t fraction;
    std::memcpy(&fraction, e + 16, 4);
    EXPECT_EQ(fraction, ms % 1000) << scan;
    const auto& values = rec.readings[static_cast<std::size_t>(scan)];
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(b.reading(n, static_cast<int>(i)), static_cast<float>(values[i]))
            << "scan " << scan << " column " << i;
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
    EXPECT_EQ(all.record()->scanCount, scans);
    EXPECT_EQ(all.record()->scansRemaining, 0);
    EXPECT_EQ(all.record()->entrySize, 52 + 4 * columns);
    for (int n = 0; n < scans; ++n)
        expectScan(all, n, rec, n);
    EXPECT_TRUE(std::isinf(all.reading(3, 1)) && all.reading(3, 1) > 0);
    EXPECT_TRUE(std::isinf(all.reading(4, 0)) && all.reading(4, 0) < 0);

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

TEST_P(RecordingRoundTrip, ConfigurationReadsBackFieldForField) {
    TempDir dir;
    const Model model = GetParam();
    writeDemo(dir, model, 2);
    const VmrInstConfig want = korda::sim::demoConfiguration(model);
    auto got = std::make_unique<VmrInstConfig>();
    std::memset(got.get(), 0, sizeof *got);
    ASSERT_EQ(dlxVmrPCCardConfigFile(0, dir.wide().c_str(), got.get(), 0, 0), 1);

    EXPECT_EQ(got->flags, want.flags & 0x67);
    EXPECT_EQ(got->autoTriggerOrder, want.autoTriggerOrder);
    EXPECT_EQ(got->autoReferenceChannel, want.autoReferenceChannel);
    EXPECT_EQ(got->autoSecondReferenceChannel, want.autoSecondReferenceChannel);

    auto sameText = [](const VmrChar16* a, const VmrChar16* b) {
        return std::memcmp(
                   a, b,
                   2 * (std::char_traits<char16_t>::length(reinterpret_cast<const char16_t*>(a)) +
                        1)) == 0;
    };
    auto checkChannel = [&](const ChannelRecord& w, const ChannelRecord& g, int number) {
        SCOPED_TRACE("channel " + std::to_string(number));
        EXPECT_EQ(g.function, w.function);
        EXPECT_EQ(g.range, w.range);
        EXPECT_EQ(g.delay, w.delay);
        EXPECT_EQ(g.nplc, model == Model::M5129A ? w.nplc : 0.0);
        EXPECT_EQ(g.scaleM, w.scaleM);
        EXPECT_EQ(g.scaleB, w.scaleB);
        EXPECT_TRUE(sameText(g.name, w.name));
        EXPECT_TRUE(sameText(g.unit, w.unit));
        EXPECT_EQ(g.alarmFlags, w.alarmFlags & 0x1E);
        EXPECT_EQ(g.alarm1Limit, (w.alarmFlags & 0x06) ? w.alarm1Limit : 0.0);
        EXPECT_EQ(g.alarm2Limit, (w.alarmFlags & 0x18) ? w.alarm2Limit : 0.0);
        EXPECT_EQ(g.openDetect, w.openDetect);
        EXPECT_EQ(g.refJunction, w.refJunction);
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(g.sensorCoef[k], w.sensorCoef[k]) << k;
    };
    int analog = 0;
    checkChannel(want.channel1, got->channel1, 1);
    for (int s = 0; s < VMR_MODULE_AREAS; ++s) {
        bool any = false;
        for (int i = 0; i < VMR_CHANNELS_PER_AREA; ++i) {
            const ChannelRecord& w = want.modules[s].channels[i];
            if (w.function == 0) continue;
            any = true;
            ++analog;
            checkChannel(w, got->modules[s].channels[i], 100 * s + 101 + i);
        }
        EXPECT_EQ(got->modules[s].moduleState, any ? 1u : 0u) << s;
    }
    EXPECT_GE(analog, 9);
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i) {
        SCOPED_TRACE("computed " + std::to_string(501 + i));
        const ComputedChannelRecord& w = want.computed[i];
        const ComputedChannelRecord& g = got->computed[i];
        EXPECT_EQ(g.function, w.function);
        EXPECT_TRUE(sameText(g.name, w.name));
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(g.coefficients[k], w.coefficients[k]);
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(g.sourceList[k], w.sourceList[k]);
        EXPECT_EQ(g.listHasChannel1, w.listHasChannel1);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModels, RecordingRoundTrip,
                         ::testing::Values(Model::M7043A, Model::M5129A), [](const auto& info) {
                             return info.param == Model::M7043A ? std::string("M7043A")
                                                                : std::string("M5129A");
                         });

TEST(UsbDriveFiles, DirectoriesAndFilesOpenTheRightFile) {
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

TEST(UsbDriveFiles, BadFilesAndArguments) {
    TempDir dir;
    const auto rec = writeDemo(dir, Model::M5129A, 4);
    ScanBuffer b(4, 40);
    auto cfg = std::make_unique<VmrInstConfig>();
    const std::wstring d = dir.wide();
    const std::wstring data = dir.wideFile("dat00001.csv");
    int count = 77;

    // Null pointers and negative numbers.
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, nullptr, 1, 0, b.record()), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 1, 0, nullptr), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), -1, 0, b.record()), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 1, -1, b.record()), -2);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, nullptr, cfg.get(), 0, 0), -2);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), nullptr, 0, 0), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, nullptr, &count), -2);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, data.c_str(), nullptr), -2);

    // Nothing read: -2022.
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 0, 0, b.record()), -2022);

    // A missing directory or file.
    const std::wstring missing = d + L"gone/";
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, missing.c_str(), 1, 0, b.record()), -2034);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, missing.c_str(), cfg.get(), 0, 0), -2034);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, (missing + L"dat00001.csv").c_str(), &count), -2034);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, L"", &count), -2034);
    EXPECT_EQ(count, 77);

    // A tampered line: the count refuses the file, the reader (which does not
    // verify) still takes it.
    std::string text = rec.dataText;
    text[text.find("\r\n3,") + 10] ^= 1;
    dir.write("dat00001.csv", text);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, data.c_str(), &count), -2034);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()), 4);

    // A malformed line in the middle: the scans before it stay, the call fails.
    text = rec.dataText;
    const std::size_t third = text.find("\r\n3,") + 2;
    text.replace(text.find(' ', third), 1, "T");
    dir.write("dat00001.csv", text);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()), -2022);
    EXPECT_EQ(b.record()->scanCount, 2);

    // A header alone: valid lines, but no scan.
    dir.write("dat00001.csv", rec.dataText.substr(0, rec.dataText.find('\n') + 1));
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, data.c_str(), &count), -2034);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()), -2022);
    // Not a data file at all, and an empty file.
    dir.write("dat00001.csv", "just,some,text\r\nmore,text,here\r\n");
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()), -2034);
    dir.write("dat00001.csv", "");
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, d.c_str(), 4, 0, b.record()), -2034);
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, data.c_str(), &count), -2034);

    // Setup files that are empty, of one line, or without "Test Setup,".
    dir.write("setup.csv", "");
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), cfg.get(), 0, 0), -2034);
    dir.write("setup.csv", "Test Setup,");
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), cfg.get(), 0, 0), -2034);
    dir.write("setup.csv", "Test Setup\r\nInstrument\r\n");
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), cfg.get(), 0, 0), -2034);
    dir.write("setup.csv", "Test Setup,\r\nx\r\n");
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, d.c_str(), cfg.get(), 0, 0), 1);
}

TEST(UsbDriveFiles, HugeLinesDoNotHurt) {
    TempDir dir;
    const std::string huge(4 << 20, '7');
    dir.write("setup.csv", "Test Setup,\r\nt,a,b\r\nr,1,2,3," + huge + ",ON\r\n");
    dir.write("dat00001.csv",
              "Record #,Time,A,S,C\r\n1,2024-01-01 00:00:00," + huge + ",0,ABCDE\r\n");
    auto cfg = std::make_unique<VmrInstConfig>();
    std::memset(cfg.get(), 0, sizeof *cfg);
    EXPECT_EQ(dlxVmrPCCardConfigFile(0, dir.wide().c_str(), cfg.get(), 0, 0), 1);
    EXPECT_EQ(cfg->flags, 0x20u);
    ScanBuffer b(1, 1);
    EXPECT_EQ(dlxVmrPCCardScansFileGet(0, dir.wide().c_str(), 1, 0, b.record()), 1);
    int count = 0;
    EXPECT_EQ(dlxVmrPCCardScansFileCountW(0, dir.wideFile("dat00001.csv").c_str(), &count), -2034);
}
