#include "LogMemory.h"

#include "Instrument.h"
#include "comm/ScpiText.h"
#include "files/RecordingWriter.h"
#include "logdata/SetupCells.h"
#include "logdata/SetupTables.h"
#include "scpi/ScpiArgs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace korda::sim {

namespace {

std::string fileName(std::uint32_t number) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "LOG%05u.CSV", number % 100000);
    return buf;
}

// The file named by the quoted name of a command, or none (reported).
std::vector<LogFile>::iterator namedFile(Instrument& in, const Request& q, Reply& r) {
    auto& files = in.log.files;
    std::string_view rest;
    const auto name = korda32ex::scpitext::readQuoted(q.args, rest);
    if (!name || !trimmed(rest).empty()) {
        r.error(q.args.empty() ? scpi_error::kMissingParameter : scpi_error::kIllegalValue);
        return files.end();
    }
    const auto it = std::find_if(files.begin(), files.end(),
                                 [&](const LogFile& f) { return sameWord(f.name, *name); });
    if (it == files.end()) r.error(scpi_error::kFileNameNotFound);
    return it;
}

// A text of CR LF lines as reply lines (the session adds the line ends).
void replyText(Instrument& in, const std::string& text, Reply& r) {
    if (text.empty()) return;
    std::string body = text.substr(0, text.size() - 2); // the last line end
    if (in.lineEnd() != "\r\n") {
        std::string lf;
        lf.reserve(body.size());
        for (const char c : body)
            if (c != '\r') lf.push_back(c);
        body.swap(lf);
    }
    r.lines.push_back(std::move(body));
}

void erase(Instrument& in, std::vector<LogFile>::iterator it) {
    LogMemory& log = in.log;
    const auto index = static_cast<std::size_t>(it - log.files.begin());
    if (log.recording) {
        if (*log.recording == index) {
            log.recording.reset();
            log.writer.reset();
        } else if (*log.recording > index) {
            --*log.recording;
        }
    }
    log.files.erase(it);
}

// A new file holding the running configuration and the header of channels;
// false (reported) when it does not fit.
bool newFile(Instrument& in, const std::vector<int>& channels, Reply& r) {
    LogMemory& log = in.log;
    LogFile file;
    file.setupText = setupFileText(runningConfiguration(in), in.model());
    file.dataText = DataFileWriter::header(channels);
    if (file.bytes() > log.freeBytes()) {
        r.error(scpi_error::kOutOfMemory);
        return false;
    }
    file.name = fileName(log.nextNumber++);
    log.files.push_back(std::move(file));
    return true;
}

void report(Instrument& in, const Reply& r) {
    if (r.errorCode != 0) in.pushError(r.errorCode, r.errorText);
}

// ---- Running configuration ------------------------------------------------------

// A text from a command, in the code page the library writes it in, read
// back as the library reads a setup cell, so that names and units outside
// ASCII survive the round trip.
void setText(VmrChar16 (&field)[VMR_TEXT_UNITS], const std::string& text) {
    korda32ex::logdata::storeCellText(text, field);
}

struct Code {
    const char* word;
    std::uint32_t code;
};

std::uint32_t codeOf(const std::string& word, std::initializer_list<Code> table) {
    for (const auto& e : table)
        if (word == e.word) return e.code;
    return 0;
}

// The index of range among ranges (1e-9 relative), or -1.
int rangeIndex(double range, std::initializer_list<double> ranges) {
    int i = 0;
    for (const double r : ranges) {
        if (std::abs(range - r) <= r * 1e-9) return i;
        ++i;
    }
    return -1;
}

std::uint32_t meterRange(std::uint32_t function, const ChannelState& c) {
    if (function == 1 || function == 2) {
        const int i = rangeIndex(c.range, {0.1, 1, 10, 50, 100, 150, 300});
        const std::uint32_t base = function == 1 ? 16 : 32;
        return c.autoRange || i < 0 ? base + 7 : base + static_cast<std::uint32_t>(i);
    }
    if (function == 3 || function == 4) {
        const int i = rangeIndex(c.range, {0.0001, 0.001, 0.01, 0.1});
        if (c.autoRange || i < 0) return function == 3 ? 53 : 68;
        static const std::uint32_t dc[] = {48, 49, 51, 52};
        return function == 3 ? dc[i] : 64 + static_cast<std::uint32_t>(i);
    }
    if (function == 5 || function == 6) {
        const int i = rangeIndex(c.range, {100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8});
        return c.autoRange || i < 0 ? 8 : 1 + static_cast<std::uint32_t>(i);
    }
    return 0;
}

std::uint32_t sensorCode(const ChannelState& c) {
    if (c.sensor == "POLY") return 0x6F01;
    static const std::string thermocouples = "KTRSJNEBCDGLMUW";
    if (c.function == "TEMP TC" && c.sensor.size() == 1) {
        const auto k = thermocouples.find(c.sensor[0]);
        if (k != std::string::npos) return 0x6001 + 0x100 * static_cast<std::uint32_t>(k);
    }
    return codeOf(c.sensor, {{"SPRT", 80},
                             {"A385", 81},
                             {"A392", 82},
                             {"ABC", 83},
                             {"R2K2", 96},
                             {"R5K", 97},
                             {"R10K", 99},
                             {"RPOL", 100}});
}

// The sensor values of the channel into the seven coefficients, where the
// configuration keeps them.
void sensorCoefficients(const ChannelState& c, double (&coef)[7]) {
    auto put = [&](const char* key, std::size_t first) {
        const auto it = c.sensorValues.find(key);
        if (it == c.sensorValues.end()) return;
        for (std::size_t i = 0; i < it->second.size() && first + i < 7; ++i)
            coef[first + i] = it->second[i];
    };
    put("SPRT:RTPW", 0);
    put("SPRT:COEF:LOW", 1);
    put("SPRT:COEF:HIGH", 3);
    put("ABC:RZER", 0);
    put("ABC:COEF", 1);
    put("A385:RZER", 0);
    put("A392:RZER", 0);
    put("RPOL:COEF", 0);
    put("TC:POLY:COEF", 0);
    put("TC:R:COEF", 0);
    put("TC:S:COEF", 0);
}

std::uint32_t alarmBits(const ChannelSettings& s) {
    std::uint32_t bits = 0;
    if (s.alarm[0] == AlarmState::Low) bits |= 0x02;
    if (s.alarm[0] == AlarmState::High) bits |= 0x04;
    if (s.alarm[1] == AlarmState::Low) bits |= 0x08;
    if (s.alarm[1] == AlarmState::High) bits |= 0x10;
    return bits;
}

// The alarms, scaling, name and unit, alike in analog and computed channels.
template <class Record> void sharedFields(const ChannelSettings& s, Record& ch) {
    ch.alarmFlags = alarmBits(s);
    ch.alarm1Limit = s.limit[0];
    ch.alarm2Limit = s.limit[1];
    ch.alarm1Output = static_cast<std::uint32_t>(s.output[0]);
    ch.alarm2Output = static_cast<std::uint32_t>(s.output[1]);
    ch.scaleM = s.scaling ? s.gain : 1.0;
    ch.scaleB = s.scaling ? s.offset : 0.0;
    setText(ch.name, s.name);
    setText(ch.unit, s.unit);
}

void analogRecord(const ChannelState& c, ChannelRecord& ch) {
    // The setup file's own words for the measurement functions (1 to 13).
    const auto function = korda32ex::logdata::setupTokenCode(c.function);
    ch.function = function && *function >= 1 && *function <= 13 ? *function : 0;
    ch.range = ch.function >= 7 && ch.function <= 12 ? sensorCode(c) : meterRange(ch.function, c);
    sensorCoefficients(c, ch.sensorCoef);
    sharedFields(c.settings, ch);
    const ChannelSettings& s = c.settings;
    ch.nplc = s.nplc;
    ch.delay = s.delay;
    ch.openDetect = s.openDetect ? 1 : 0;
    ch.refJunction = static_cast<std::uint32_t>(s.refJunction);
}

void computedRecord(const ChannelState& c, ComputedChannelRecord& ch) {
    static const char* const words[] = {"POLY", "SRO",  "POW", "EXP",  "LOG", "ABS", "REC", "SUBT",
                                        "ADD",  "MULT", "DIV", "AVER", "MAX", "MIN", "SUM"};
    for (std::uint32_t k = 0; k < 15; ++k)
        if (c.math.function == words[k]) ch.function = 0x5000 + k;
    ch.sourceA = static_cast<std::uint32_t>(c.math.sourceA);
    ch.sourceB = static_cast<std::uint32_t>(c.math.sourceB);
    for (const int n : c.math.list) {
        if (n == 1) {
            ch.listHasChannel1 = 1;
        } else if (n / 100 >= 1 && n / 100 <= 5 && n % 100 >= 1 && n % 100 <= 32) {
            ch.sourceList[n / 100 - 1] |= 1u << (n % 100 - 1);
        }
    }
    for (std::size_t k = 0; k < 7; ++k)
        ch.coefficients[k] = c.math.coefficients[k];
    sharedFields(c.settings, ch);
}

void instrumentFields(const InstrumentSettings& s, VmrInstConfig& c) {
    c.flags = codeOf(s.rate, {{"FAST", 0}, {"MED", 1}, {"SLOW", 3}, {"NPLC", 6}});
    if (s.temperatureUnit == "F") c.flags |= 0x10;
    if (s.logSecurity) c.flags |= 0x20;
    if (s.autoContinuous) c.flags |= 0x40;
    if (s.resumeScan) c.flags |= 0x80;
    const long long t = s.timerSeconds < 0 ? 0 : s.timerSeconds;
    c.intervalHours = static_cast<std::uint32_t>(t / 3600);
    c.intervalMinutes = static_cast<std::uint32_t>(t % 3600 / 60);
    c.intervalSeconds = static_cast<std::uint32_t>(t % 60);
    c.triggerCount = static_cast<std::uint32_t>(s.triggerCount);
    c.recordDestination = !s.logAuto ? 0 : s.logDestination == "MEM" ? 1 : 2;
    c.alarmTriggerChannel = static_cast<std::uint32_t>(s.alarmChannel);
    c.autoTriggerOrder = codeOf(s.autoOrder, {{"LIN", 0}, {"ALT", 1}, {"REV", 2}, {"000", 3}});
    c.autoReferenceChannel = static_cast<std::uint32_t>(s.autoReference);
    c.autoSecondReferenceChannel = static_cast<std::uint32_t>(s.autoSecondReference);
    c.triggerSource = codeOf(s.triggerSource, {{"TIM", 0}, {"EXT", 1}, {"ALAR", 2}, {"AUTO", 3}});
    c.totalizerDebounce = s.totalizerDebounce ? 1 : 0;
    c.totalizerCount = s.totalizerCount;
    c.totalizerType = s.totalizerType == "RRES" ? 1 : 0;
    c.totalizerState = s.totalizerOn ? 1 : 0;
}

} // namespace

std::size_t LogMemory::used() const {
    std::size_t bytes = 0;
    for (const auto& f : files)
        bytes += f.bytes();
    return bytes;
}

VmrInstConfig runningConfiguration(const Instrument& in) {
    VmrInstConfig c;
    std::memset(&c, 0, sizeof c);
    instrumentFields(in.settings, c);
    auto analog = [&](int number, ChannelRecord& ch) {
        const ChannelState* state = in.channels.find(number);
        if (state != nullptr && state->on) analogRecord(*state, ch);
    };
    analog(1, c.channel1);
    for (int s = 0; s < VMR_MODULE_AREAS; ++s) {
        if (s >= in.slotCount() || in.module(s).empty()) {
            c.modules[s].moduleState = VMR_MODULE_ABSENT;
            continue;
        }
        c.modules[s].moduleState = 1;
        for (int i = 0; i < VMR_CHANNELS_PER_AREA; ++i)
            analog(100 * s + 101 + i, c.modules[s].channels[i]);
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i) {
        const ChannelState* state = in.channels.find(501 + i);
        if (state != nullptr && state->on) computedRecord(*state, c.computed[i]);
    }
    return c;
}

void beginLogRun(Instrument& in, const std::vector<int>& channels) {
    endLogRun(in);
    if (!in.settings.logAuto || in.settings.logDestination != "MEM") return;
    Reply r;
    if (!newFile(in, channels, r)) return report(in, r);
    in.log.recording = in.log.files.size() - 1;
    in.log.writer.emplace(in.log.files.back().setupText);
}

void logSweep(Instrument& in, const StoredScan& scan) {
    LogMemory& log = in.log;
    if (!log.recording || !log.writer) return;
    LogFile& file = log.files[*log.recording];
    if (DataFileWriter::longestLine(scan.values.size()) > log.freeBytes()) {
        // The memory is full: the run goes on, its recording stops.
        in.pushError(scpi_error::kOutOfMemory);
        endLogRun(in);
        return;
    }
    log.writer->appendScan(file.dataText, scan.rtcEpochMs, scan.values);
}

void endLogRun(Instrument& in) {
    in.log.recording.reset();
    in.log.writer.reset();
}

void registerLogCommands(CommandTable& t) {
    t.add("MEMory:LOG:NFILes?", [](Instrument& in, const Request&, Reply& r) {
        catchUpScanning(in);
        r.lines.push_back(std::to_string(in.log.files.size()));
    });
    t.add("MEMory:LOG:NAME?", [](Instrument& in, const Request& q, Reply& r) {
        catchUpScanning(in);
        long long n = 0;
        if (q.args.empty()) return r.error(scpi_error::kMissingParameter);
        if (!parseInteger(q.args, n)) return r.error(scpi_error::kDataType);
        if (n < 1 || n > static_cast<long long>(in.log.files.size()))
            return r.error(scpi_error::kDataOutOfRange);
        r.lines.push_back(
            korda32ex::scpitext::quoted(in.log.files[static_cast<std::size_t>(n - 1)].name));
    });
    t.add("MEMory:LOG:READ?", [](Instrument& in, const Request& q, Reply& r) {
        catchUpScanning(in);
        const auto it = namedFile(in, q, r);
        if (it != in.log.files.end()) replyText(in, it->dataText, r);
    });
    // Without a name: the configuration of the newest log file.
    t.add("MEMory:LOG:READ:CONFiguration?", [](Instrument& in, const Request& q, Reply& r) {
        catchUpScanning(in);
        auto& files = in.log.files;
        if (trimmed(q.args).empty()) {
            if (files.empty()) return r.error(scpi_error::kFileNameNotFound);
            return replyText(in, files.back().setupText, r);
        }
        const auto it = namedFile(in, q, r);
        if (it != files.end()) replyText(in, it->setupText, r);
    });
    // Without a name: the newest log file.
    t.add("MEMory:LOG:DELete", [](Instrument& in, const Request& q, Reply& r) {
        catchUpScanning(in);
        auto& files = in.log.files;
        if (trimmed(q.args).empty()) {
            if (files.empty()) return r.error(scpi_error::kFileNameNotFound);
            return erase(in, files.end() - 1);
        }
        const auto it = namedFile(in, q, r);
        if (it != files.end()) erase(in, it);
    });
    // Data security protects the log memory from being cleared.
    t.add("MEMory:LOG:CLEar", [](Instrument& in, const Request&, Reply& r) {
        catchUpScanning(in);
        if (in.settings.logSecurity) return r.error(scpi_error::kSettingsConflict);
        endLogRun(in);
        in.log.files.clear();
    });
    // Free bytes, bytes in use.
    t.add("MEMory:LOG:FREE?", [](Instrument& in, const Request&, Reply& r) {
        catchUpScanning(in);
        r.lines.push_back(std::to_string(in.log.freeBytes()) + "," + std::to_string(in.log.used()));
    });
    // A log file of the running configuration, holding no scan.
    t.add("MEMory:LOG:STORe", [](Instrument& in, const Request&, Reply& r) {
        catchUpScanning(in);
        newFile(in, in.channels.scanList, r);
    });
    // The instrument keeps no stored setups of its own: nothing to clear.
    t.add("MEMory:STATe:CLEar", [](Instrument&, const Request&, Reply&) {});
}

void setLogMemoryCapacity(Instrument& in, std::size_t bytes) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    in.log.capacity = bytes;
}

std::vector<LogFile> logFiles(Instrument& in) {
    std::lock_guard<std::recursive_mutex> g(in.mutex());
    catchUpScanning(in);
    return in.log.files;
}

} // namespace korda::sim
