#include "RecordingWriter.h"

#include "logdata/LineCheck.h"
#include "logdata/SetupCells.h"
#include "scpi/ScanArgs.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace korda::sim {

namespace {

bool analogOn(std::uint32_t f) {
    return f >= 1 && f <= 13;
}
bool computedOn(std::uint32_t f) {
    return f >= 0x5000 && f <= 0x500E;
}

void setText(VmrChar16 (&field)[VMR_TEXT_UNITS], const char* text) {
    korda32ex::logdata::storeCellText(text, field);
}

ChannelRecord& channel(VmrInstConfig& c, int number) {
    return number == 1 ? c.channel1 : c.modules[number / 100 - 1].channels[number % 100 - 1];
}

void analog(VmrInstConfig& c, int number, std::uint32_t function, std::uint32_t range,
            const char* name, const char* unit) {
    ChannelRecord& ch = channel(c, number);
    ch.function = function;
    ch.range = range;
    ch.scaleM = 1.0;
    setText(ch.name, name);
    setText(ch.unit, unit);
}

} // namespace

std::vector<int> scannedChannels(const VmrInstConfig& c, Model model) {
    std::vector<int> channels;
    if (analogOn(c.channel1.function)) channels.push_back(1);
    const int slots = traitsOf(model).moduleSlots;
    for (int s = 0; s < slots; ++s) {
        if (c.modules[s].moduleState == VMR_MODULE_ABSENT) continue;
        for (int i = 0; i < VMR_CHANNELS_PER_AREA; ++i)
            if (analogOn(c.modules[s].channels[i].function)) channels.push_back(100 * s + 101 + i);
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i)
        if (computedOn(c.computed[i].function)) channels.push_back(501 + i);
    return channels;
}

double patternReading(int scan, int column) {
    // Whole thousandths below 100000: at most seven significant digits.
    const int thousandths = (column + 1) * 1000 + (scan * 37 + column * 11) % 1000;
    return (column % 2 == 0 ? 1 : -1) * thousandths / 1000.0;
}

Recording buildRecording(const VmrInstConfig& config, const RecordingOptions& o) {
    Recording rec;
    rec.channels = scannedChannels(config, o.model);
    rec.setupText = setupFileText(config, o.model);

    DataFileWriter writer(rec.setupText);
    rec.dataText = DataFileWriter::header(rec.channels);
    const std::int64_t first =
        toEpochMs(CivilTime{o.year, o.month, o.day, o.hour, o.minute, o.second, o.millisecond});
    const std::size_t columns = rec.channels.size();
    rec.readings.reserve(static_cast<std::size_t>(o.scans > 0 ? o.scans : 0));
    for (int n = 0; n < o.scans; ++n) {
        std::vector<double> values(columns);
        for (std::size_t col = 0; col < columns; ++col)
            values[col] = o.reading ? o.reading(n, static_cast<int>(col))
                                    : patternReading(n, static_cast<int>(col));
        writer.appendScan(rec.dataText, first + std::int64_t{o.intervalMs} * n, values);
        rec.readings.push_back(std::move(values));
    }
    return rec;
}

bool writeRecording(const std::string& directory, const Recording& recording) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(directory, ec);
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream f(fs::path(directory) / name, std::ios::binary | std::ios::trunc);
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
        return static_cast<bool>(f);
    };
    return write("setup.csv", recording.setupText) && write("dat00001.csv", recording.dataText);
}

VmrInstConfig demoConfiguration(Model model) {
    VmrInstConfig c;
    std::memset(&c, 0, sizeof c);
    const korda32ex::ModelTraits& traits = traitsOf(model);
    const int slots = traits.moduleSlots;
    for (int s = slots; s < VMR_MODULE_AREAS; ++s)
        c.modules[s].moduleState = VMR_MODULE_ABSENT;
    for (int s = 0; s < slots; ++s)
        c.modules[s].moduleState = 1;
    c.flags = 0x03 | 0x20 | 0x40; // slow rate, data security, continuous automatic trigger
    c.intervalSeconds = 1;
    c.recordDestination = 2;
    c.autoTriggerOrder = 1;
    if (traits.referenceChannels) {
        c.autoReferenceChannel = 101;
        c.autoSecondReferenceChannel = 102;
    }

    analog(c, 1, 1, 23, "Supply", "V");
    analog(c, 101, 12, 0x6001, "Oven", "C");
    ChannelRecord& oven = channel(c, 101);
    oven.openDetect = 1;
    oven.alarmFlags = 0x04 | 0x08;
    oven.alarm1Limit = 250;
    oven.alarm2Limit = 10;
    analog(c, 102, 9, 81, "Bath", "C");
    channel(c, 102).sensorCoef[0] = 100;
    analog(c, 103, 6, 3, "Strain", "Ohm");
    analog(c, 104, 3, 49, "Loop", "mA");
    channel(c, 104).scaleM = 1000;
    channel(c, 104).scaleB = -4;
    analog(c, 105, 10, 99, "Air", "C");
    analog(c, 106, 13, 0, "Shaft", "Hz");
    analog(c, 107, 2, 34, "Mains", "V");
    channel(c, 107).delay = 0.25;
    analog(c, 108, 8, 83, "Probe", "C");
    const double abc[] = {100, 0.0039083, -5.775e-07};
    for (int k = 0; k < 3; ++k)
        channel(c, 108).sensorCoef[k] = abc[k];
    analog(c, 201, 1, 16, "Bridge", "mV");
    channel(c, 201).alarmFlags = 0x02;
    channel(c, 201).alarm1Limit = -0.05;
    if (traits.integrationTime)
        for (const int n : {1, 101, 102, 103, 104, 105, 106, 107, 108, 201})
            channel(c, n).nplc = 10;
    if (slots >= 3) {
        analog(c, 301, 12, 0x6401, "Flue", "C");
        channel(c, 301).refJunction = 1;
        analog(c, 302, 12, 0x6F01, "Custom", "C");
        const double poly[] = {0.5, 25.1, -0.25, 0.001, 0, 0, 0};
        for (int k = 0; k < 7; ++k)
            channel(c, 302).sensorCoef[k] = poly[k];
        channel(c, 302).refJunction = 2;
    }

    ComputedChannelRecord& avg = c.computed[0];
    avg.function = 0x500B;
    avg.sourceList[0] = 0x1 | 0x2 | 0x80; // 101, 102, 108
    avg.listHasChannel1 = 1;
    setText(avg.name, "Mean temp");
    ComputedChannelRecord& poly = c.computed[1];
    poly.function = 0x5000;
    poly.sourceA = 104;
    const double coef[] = {1.5, 2, 0.25, 0, 0, 0, 0};
    for (int k = 0; k < 7; ++k)
        poly.coefficients[k] = coef[k];
    setText(poly.name, "Flow");
    ComputedChannelRecord& diff = c.computed[2];
    diff.function = 0x5007;
    diff.sourceA = 101;
    diff.sourceB = 102;
    setText(diff.name, "Delta");
    return c;
}

int writeDemoRecording(const std::string& directory, Model model, int scans, bool numbered) {
    RecordingOptions o;
    o.model = model;
    o.scans = scans;
    if (numbered) o.reading = [](int scan, int) { return scan + 1.0; };
    const Recording rec = buildRecording(demoConfiguration(model), o);
    if (!writeRecording(directory, rec)) {
        std::fprintf(stderr, "korda-sim: cannot write the recording into %s\n", directory.c_str());
        return 1;
    }
    std::printf("korda-sim: wrote setup.csv and dat00001.csv (%d scans of %zu channels, model %s) "
                "into %s\n",
                scans, rec.channels.size(), traitsOf(model).name.data(), directory.c_str());
    return 0;
}

} // namespace korda::sim
