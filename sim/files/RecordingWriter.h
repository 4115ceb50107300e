// The virtual instrument's recordings on a USB drive: a directory with
// "setup.csv" (the configuration of the recording) and "dat00001.csv" (its
// scans, each line closed by its check code), as the instrument writes them.
#pragma once

#include "DataFileWriter.h"
#include "SetupFileWriter.h"
#include "korda32ext.h"
#include "state/Instrument.h"

#include <functional>
#include <string>
#include <vector>

namespace korda::sim {

struct RecordingOptions {
    Model model = Model::M7043A;
    int scans = 10;
    // Time stamp of the first scan, and the time between scans.
    int year = 2024, month = 5, day = 6, hour = 12, minute = 34, second = 56, millisecond = 0;
    unsigned intervalMs = 1000;
    // The reading of a column in a scan (scan and column from 0); infinities
    // are written as the overload words. Empty: a fixed pattern (see
    // patternReading).
    std::function<double(int scan, int column)> reading;
};

struct Recording {
    std::vector<int> channels;                 // channel number of each reading column, in order
    std::vector<std::vector<double>> readings; // per scan, per column
    std::string setupText;
    std::string dataText;
};

// The channels a configuration scans, in column order: channel 1, the module
// channels of the model's slots whose module is present, the computed
// channels; each only when its function is set.
std::vector<int> scannedChannels(const VmrInstConfig& config, Model model);

// The default reading of a column in a scan: a value with at most seven
// significant digits, so it survives the file exactly as a float.
double patternReading(int scan, int column);

// Builds the whole recording (both file texts and what they hold).
Recording buildRecording(const VmrInstConfig& config, const RecordingOptions& options);

// Writes the recording into directory (created when missing). False when a
// file cannot be written.
bool writeRecording(const std::string& directory, const Recording& recording);

// A configuration with channels of every kind the model can hold.
VmrInstConfig demoConfiguration(Model model);

// The command-line form: writes a demonstration recording into directory and
// reports it on standard output (numbered: every reading of the n-th scan is
// n). Returns the program's exit code.
int writeDemoRecording(const std::string& directory, Model model, int scans, bool numbered);

} // namespace korda::sim
