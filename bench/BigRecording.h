// A recording of about 100 MB of scans of the demonstration configuration,
// written as the instrument writes it to a USB drive, in a directory that
// goes when the recording does.
#pragma once

#include "RecordingWriter.h"
#include "TempDir.h"

#include <cstddef>
#include <string>

namespace korda::bench {

struct BigRecording {
    static constexpr std::size_t kTargetBytes = 100u << 20;

    korda::test::TempDir dir;
    std::size_t bytes = 0;
    int scans = 0;
    int columns = 0;
    bool written = false; // the files are on disk
    std::string dataPath; // the data file

    BigRecording() {
        korda::sim::RecordingOptions o;
        o.scans = 100;
        const VmrInstConfig config = korda::sim::demoConfiguration(o.model);
        const auto sample = korda::sim::buildRecording(config, o);
        const std::size_t perScan = sample.dataText.size() / static_cast<std::size_t>(o.scans);
        o.scans = static_cast<int>(kTargetBytes / perScan);
        const auto rec = korda::sim::buildRecording(config, o);
        written = korda::sim::writeRecording(dir.path().string(), rec);
        bytes = rec.dataText.size();
        scans = o.scans;
        columns = static_cast<int>(rec.channels.size());
        dataPath = dir.file("dat00001.csv").string();
    }
};

} // namespace korda::bench
