#include "Commands.h"

#include "ConfigJson.h"
#include "Output.h"
#include "korda32ext.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace korda::tool {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

// While a scan or a monitor runs, Ctrl-C asks it to stop the instrument and
// end; elsewhere Ctrl-C ends korda at once, as usual.
class InterruptScope {
  public:
    InterruptScope() {
        interrupted = false;
        previous_ = std::signal(SIGINT, onInterrupt);
    }
    ~InterruptScope() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

  private:
    void (*previous_)(int) = SIG_DFL;
};

constexpr long long kMostScans = 1000000000; // a count beyond this is a typing error
constexpr long long kMostMonitorReadings = 1000000;
constexpr long long kLongestInterval = 359999; // 99:59:59, the instrument's longest
constexpr long long kLongestTimeout = 86400;
constexpr int kFetchChunk = 1000;
constexpr int kListBcn = 2;

struct CommandInfo {
    const char* name;
    const char* usage;
    const char* example;
    const char* what;
};

const CommandInfo kCommands[] = {
    {"idn", "idn", "korda tcp://192.168.0.20 idn", "print the instrument's identity"},
    {"list", "list [ADDRESS...]", "korda list",
     "identify the instruments at the addresses, or search the USB ports"},
    {"config", "config get [-o FILE] | set FILE [--skip-unchanged] | example MODEL [-o FILE]",
     "korda config set examples/5129A-thermocouples.json",
     "read, write or start a configuration (JSON)"},
    {"scan", "scan --count N [--interval S] [-o FILE]", "korda scan --count 20 -o run.csv",
     "start scanning, fetch N scans as CSV, stop"},
    {"monitor", "monitor CHANNEL [--count N]", "korda monitor 101 --count 5",
     "read one channel through the monitor"},
    {"log", "log list | read NAME [-o FILE] | config NAME [-o FILE] | status | format",
     "korda log read LOG00001 -o run.csv", "the instrument's log memory"},
    {"files", "files DIR [read|verify|config] [-o FILE]", "korda files /media/usb/run1/ verify",
     "a recording copied from a USB drive: CSV, check codes, setup"},
    {"dio", "dio [MASK VALUE]", "korda usb:4 dio 0x03 0x01",
     "read the digital I/O byte, or set the bits of MASK"},
    {"totalizer", "totalizer [clear]", "korda totalizer", "read or clear the totalizer"},
    {"clock", "clock [--utc]", "korda tcp://lab-7043 clock",
     "set the instrument clock from this PC's clock"},
    {"oem", "oem [TEXT]", "korda oem \"Bench 4\"", "read or store the OEM identity text"},
    {"raw", "raw SCPI...", "korda raw \"TRIG:TIM?\" \"SYST:ERR?\"",
     "send SCPI commands as they stand; print query replies"},
    {"doctor", "doctor", "korda usb:3 doctor",
     "check the library, the connection, the identity and the error queue"},
};

bool isCommandName(const std::string& s) {
    for (const auto& c : kCommands)
        if (s == c.name) return true;
    return false;
}

// The arguments of the command line, taken in order.
class Args {
  public:
    explicit Args(const std::vector<std::string>& a) : a_(a) {}
    bool more() const { return i_ < a_.size(); }
    const std::string& peek() const { return a_[i_]; }
    std::string take() { return a_[i_++]; }
    // The value after an option or a command.
    std::string value(const std::string& what) {
        if (!more()) throw UsageError(what + " is missing");
        return take();
    }
    // The next argument, unless it is a command name or an option.
    bool hasOperand() const {
        return more() && !isCommandName(peek()) && peek().rfind("--", 0) != 0;
    }

  private:
    const std::vector<std::string>& a_;
    std::size_t i_ = 0;
};

long long number(const std::string& text, long long lowest, long long highest,
                 const std::string& what) {
    const auto n = parseWholeNumber(text, lowest, highest);
    if (!n)
        throw UsageError(what + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not '" + text + "'");
    return *n;
}

// A byte for dio: decimal, or hexadecimal after 0x.
int byteArgument(const std::string& text, const std::string& what) {
    if (text.size() > 2 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
        const std::string hex = text.substr(2);
        if (hex.size() <= 2 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            return static_cast<int>(std::strtol(hex.c_str(), nullptr, 16));
        throw UsageError(what + " must be a byte, 0 to 255 or 0x00 to 0xFF, not '" + text + "'");
    }
    const auto n = parseWholeNumber(text, 0, 255);
    if (!n)
        throw UsageError(what + " must be a byte, 0 to 255 or 0x00 to 0xFF, not '" + text + "'");
    return static_cast<int>(*n);
}

std::wstring widePath(const std::string& path) {
    std::wstring out(path.size() + 1, L'\0');
    const std::size_t n = std::mbstowcs(out.data(), path.c_str(), out.size());
    if (n == static_cast<std::size_t>(-1)) return std::wstring(path.begin(), path.end());
    out.resize(n);
    return out;
}

// Where a command writes: standard output, or a file (made when the command
// runs, so that nothing is created by a command line that fails to parse).
class OutputFile {
  public:
    explicit OutputFile(const std::string& path) : path_(path) {}
    ~OutputFile() { finish(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* open() {
        if (path_.empty()) return stdout;
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) message("cannot write " + path_ + ": " + std::strerror(errno));
        return file_;
    }
    bool toTerminal() const { return path_.empty() && Progress::outputIsTerminal(); }
    // False when the writes failed.
    bool finish() {
        bool ok = true;
        if (file_) {
            ok = std::fclose(file_) == 0;
            file_ = nullptr;
        } else if (path_.empty()) {
            ok = std::fflush(stdout) == 0;
        }
        if (!ok) message("cannot write " + (path_.empty() ? std::string("the output") : path_));
        return ok;
    }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

std::string readFile(const std::string& path) {
    std::string text;
    if (!json::readDocument(path, text))
        throw UsageError("cannot read " + path + ": " + std::strerror(errno));
    return text;
}

// ---- Channel columns ---------------------------------------------------

// Name and unit of a channel in a record; empty when not configured there.
void describeChannel(const VmrInstConfig& c, Column& col) {
    const VmrChar16* name = nullptr;
    const VmrChar16* unit = nullptr;
    const int n = col.channel;
    if (n == 1) {
        name = c.channel1.name;
        unit = c.channel1.unit;
    } else if (n >= 501 && n < 501 + VMR_COMPUTED_CHANNELS) {
        name = c.computed[n - 501].name;
        unit = c.computed[n - 501].unit;
    } else if (n / 100 >= 1 && n / 100 <= VMR_MODULE_AREAS && n % 100 >= 1 &&
               n % 100 <= VMR_CHANNELS_PER_AREA) {
        const ChannelRecord& r = c.modules[n / 100 - 1].channels[n % 100 - 1];
        name = r.name;
        unit = r.unit;
    }
    if (name) col.name = textToUtf8(name);
    if (unit) col.unit = textToUtf8(unit);
}

// The channels a record scans, in the instrument's order: channel 1, the
// channels of the present modules, the computed channels.
std::vector<int> scannedChannels(const VmrInstConfig& c) {
    std::vector<int> out;
    if (c.channel1.function >= 1 && c.channel1.function <= 13) out.push_back(1);
    for (int m = 0; m < 3; ++m) {
        if (c.modules[m].moduleState == VMR_MODULE_ABSENT) continue;
        for (int k = 0; k < VMR_CHANNELS_PER_AREA; ++k) {
            const auto f = c.modules[m].channels[k].function;
            if (f >= 1 && f <= 13) out.push_back(100 * m + 101 + k);
        }
    }
    for (int i = 0; i < VMR_COMPUTED_CHANNELS; ++i) {
        const auto f = c.computed[i].function;
        if (f >= 0x5000 && f <= 0x500E) out.push_back(501 + i);
    }
    return out;
}

// Channel numbers of a "(@101,102,105:107)" reply.
std::vector<int> parseChannelList(const std::string& reply) {
    std::vector<int> out;
    std::string s;
    for (const char c : reply)
        if (c != '(' && c != ')' && c != '@' && c != ' ' && c != '"') s.push_back(c);
    std::stringstream in(s);
    std::string piece;
    while (std::getline(in, piece, ',')) {
        const auto colon = piece.find(':');
        const auto first = parseWholeNumber(piece.substr(0, colon), 1, 999);
        const auto last =
            colon == std::string::npos ? first : parseWholeNumber(piece.substr(colon + 1), 1, 999);
        if (!first || !last || *last < *first || *last - *first > 200) return {};
        for (long long n = *first; n <= *last; ++n)
            out.push_back(static_cast<int>(n));
    }
    return out;
}

std::vector<Column> columnsFor(const std::vector<int>& channels, int readings,
                               const VmrInstConfig* config) {
    std::vector<Column> out;
    if (static_cast<int>(channels.size()) == readings) {
        for (const int n : channels) {
            Column c;
            c.channel = n;
            if (config) describeChannel(*config, c);
            out.push_back(c);
        }
        return out;
    }
    // Channels not known: columns by position.
    for (int i = 0; i < readings; ++i) {
        Column c;
        c.channel = i + 1;
        c.name = "reading";
        out.push_back(c);
    }
    return out;
}

std::unique_ptr<VmrInstConfig> newRecord() {
    auto c = std::make_unique<VmrInstConfig>();
    std::memset(c.get(), 0, sizeof(VmrInstConfig));
    return c;
}

std::vector<unsigned char> scanBuffer(int scans) {
    return std::vector<unsigned char>(DLXVMR_SCAN_BUFFER_SIZE(scans, DLXVMR_MAX_READINGS_PER_SCAN));
}

// Sleeps up to ms, ending early on Ctrl-C.
void pause(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!interrupted && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
}

// ---- Commands ------------------------------------------------------------

// A query or setting through the raw export, reported on failure. A query
// that gets no reply is followed by a look at the error queue, which tells
// why (an unknown header, for one).
int rawStep(Run& run, const std::string& command, std::string& reply) {
    const int st = run.connection.raw(command, reply);
    if (st == DLXVMR_OK) return kExitOk;
    const int code = reportFailure("sending " + command, st);
    if (st == DLXVMR_E_TIMEOUT) {
        std::string error;
        if (run.connection.raw("SYST:ERR?", error) == DLXVMR_OK && std::atoi(error.c_str()) != 0) {
            message("the instrument reports " + error);
            return kExitInstrument;
        }
    }
    return code;
}

Step instrumentStep(std::string name, std::function<int(Run&)> body) {
    return Step{name, [body = std::move(body)](Run& run) {
                    const int open = run.ensureOpen();
                    return open != kExitOk ? open : body(run);
                }};
}

Step parseIdn(Args&) {
    return instrumentStep("idn", [](Run& run) {
        std::string reply;
        const int code = rawStep(run, "*IDN?", reply);
        if (code == kExitOk) std::printf("%s\n", reply.c_str());
        return code;
    });
}

void printIdentity(const std::string& where, int bcn) {
    char buffer[1024] = {};
    const int st = dlxVmrRawCommandA(bcn, "*IDN?", buffer, sizeof buffer);
    std::printf("%s\t%s\n", where.c_str(),
                st == DLXVMR_OK ? buffer : ("no identity: " + statusText(st)).c_str());
}

Step parseList(Args& args) {
    std::vector<Address> addresses;
    while (args.hasOperand()) {
        std::string why;
        const auto a = parseAddress(args.peek(), why);
        if (!a) throw UsageError("list: " + why);
        args.take();
        addresses.push_back(*a);
    }
    return Step{"list", [addresses](Run& run) {
                    std::vector<Address> given = addresses;
                    if (given.empty() && run.addressGiven) given.push_back(run.address);
                    if (!given.empty()) {
                        int worst = kExitOk;
                        for (const auto& a : given) {
                            Connection c(kListBcn);
                            const int code = c.open(a, run.model, true);
                            if (code != kExitOk) {
                                std::printf("%s\tunreachable: %s\n", a.text.c_str(),
                                            c.failure().c_str());
                                worst = std::max(worst, code);
                                continue;
                            }
                            printIdentity(a.text, kListBcn);
                        }
                        return worst;
                    }
                    // The USB search: COM1 to COM64, then each port's identity.
                    constexpr int kHighest = 64;
                    std::vector<int> ports(kHighest, 0), models(kHighest, 0);
                    const int st = dlxVmrUsbEnum(ports.data(), models.data(), kHighest);
                    if (st != DLXVMR_OK) return reportFailure("searching the USB ports", st);
                    int found = 0;
                    for (std::size_t i = 0; i < ports.size() && ports[i] != 0; ++i) {
                        ++found;
                        Address a;
                        a.kind = Address::Kind::Usb;
                        a.port = ports[i];
                        a.text = "usb:" + std::to_string(ports[i]);
                        Connection c(kListBcn);
                        if (c.open(a, 0, true) != kExitOk) {
                            std::printf("%s\t%s\n", a.text.c_str(), modelName(models[i]));
                            continue;
                        }
                        printIdentity(a.text, kListBcn);
                    }
                    if (found == 0) std::printf("none found\n");
                    return kExitOk;
                }};
}

std::string optionalOutput(Args& args) {
    if (args.more() && args.peek() == "-o") {
        args.take();
        return args.value("-o: the output file");
    }
    return {};
}

int writeJson(const VmrInstConfig& config, const std::string& path) {
    OutputFile out(path);
    std::FILE* f = out.open();
    if (!f) return kExitFailure;
    const std::string text = json::write(configToJson(config));
    std::fwrite(text.data(), 1, text.size(), f);
    return out.finish() ? kExitOk : kExitFailure;
}

Step parseConfig(Args& args) {
    const std::string what = args.value("config: get, set or example");
    if (what == "example") {
        const std::string modelText = args.value("config example: the model (7043A or 5129A)");
        const int model = modelFromName(modelText);
        if (!model)
            throw UsageError("config example: the model is 7043A or 5129A, not '" + modelText +
                             "'");
        const std::string path = optionalOutput(args);
        return Step{"config example", [model, path](Run&) {
                        auto c = newRecord();
                        exampleConfig(model, *c);
                        return writeJson(*c, path);
                    }};
    }
    if (what == "set") {
        const std::string path = args.value("config set: the JSON file");
        int options = 0;
        if (args.more() && args.peek() == "--skip-unchanged") {
            args.take();
            options = DLXVMR_CONFIG_SKIP_UNCHANGED;
        }
        std::shared_ptr<VmrInstConfig> record = newRecord();
        try {
            configFromJson(json::parse(readFile(path)), *record);
        } catch (const json::Error& e) {
            throw UsageError(path + ": " + e.what());
        }
        return instrumentStep("config set", [record, path, options](Run& run) -> int {
            // The library may raise a shunt resistance in the record it is
            // given; the file's record stays as read.
            auto sent = newRecord();
            std::memcpy(sent.get(), record.get(), sizeof(VmrInstConfig));
            int detail = 0;
            const int st = dlxVmrConfigSet(Connection::kBcn, sent.get(), options, &detail);
            if (st == DLXVMR_CONFIG_NO_CHANNEL) {
                message("configuring from " + path + ": " + statusText(st) +
                        " (the record scans no channel; nothing was sent)");
                return kExitInstrument;
            }
            if (st != DLXVMR_OK) {
                if (detail != 0)
                    message("configuring from " + path + ": detail code " + std::to_string(detail));
                return reportFailure("configuring from " + path, st);
            }
            run.config = record;
            return kExitOk;
        });
    }
    if (what == "get") {
        const std::string path = optionalOutput(args);
        return instrumentStep("config get", [path](Run& run) -> int {
            std::shared_ptr<VmrInstConfig> record = newRecord();
            const int st = dlxVmrConfigGet(Connection::kBcn, record.get());
            if (st != DLXVMR_OK) return reportFailure("reading the configuration back", st);
            run.config = record;
            return writeJson(*record, path);
        });
    }
    throw UsageError("config: get, set or example, not '" + what + "'");
}

struct ScanOptions {
    int count = 0;
    long long interval = -1; // -1: the instrument's own
    std::string path;
};

int runScan(Run& run, const ScanOptions& o) {
    InterruptScope scope;
    Connection& conn = run.connection;
    std::string reply;
    if (o.interval >= 0) {
        const int code = rawStep(run, "TRIG:TIM " + std::to_string(o.interval), reply);
        if (code != kExitOk) return code;
    }
    // The interval decides how long to wait for a scan before giving up.
    long long interval = o.interval;
    if (interval < 0 && conn.raw("TRIG:TIM?", reply) == DLXVMR_OK)
        interval = std::atoll(reply.c_str());
    std::vector<int> channels;
    if (conn.raw("ROUT:SCAN?", reply) == DLXVMR_OK) channels = parseChannelList(reply);

    OutputFile out(o.path);
    std::FILE* f = out.open();
    if (!f) return kExitFailure;
    CsvWriter csv(f);
    Progress progress("scan", !out.toTerminal());

    int st = dlxVmrScansClear(Connection::kBcn);
    if (st != DLXVMR_OK) return reportFailure("clearing old readings", st);
    st = dlxVmrScansEnable(Connection::kBcn, 1);
    if (st != DLXVMR_OK) return reportFailure("starting the scan", st);

    uint32_t timeoutSeconds = 10;
    dlxVmrTimeoutGet(&timeoutSeconds);
    const auto patience =
        std::max<Clock::duration>(std::chrono::seconds(timeoutSeconds + std::max(interval, 0LL)),
                                  std::chrono::milliseconds(200));
    // Asked often enough to keep up, seldom enough to leave a slow serial
    // line to the readings: a quarter of the interval, 20 to 250 ms.
    const int pollMs = static_cast<int>(std::clamp(interval * 250, 20LL, 250LL));
    std::vector<unsigned char> buffer = scanBuffer(std::min(o.count, kFetchChunk));
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    int fetched = 0;
    bool headerWritten = false;
    int result = kExitOk;
    auto lastScan = Clock::now();
    while (fetched < o.count && !interrupted) {
        int held = 0;
        st = dlxVmrGetScansCount(Connection::kBcn, &held);
        if (st != DLXVMR_OK) {
            result = reportFailure("counting the scans held", st);
            break;
        }
        if (held <= 0) {
            if (Clock::now() - lastScan > patience) {
                message(
                    "no scan arrived for " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(patience).count()) +
                    " ms after " + std::to_string(fetched) + " of " + std::to_string(o.count) +
                    " scans: the trigger count, source or interval of the instrument stops it");
                result = kExitInstrument;
                break;
            }
            pause(pollMs);
            continue;
        }
        const int want = std::min({held, o.count - fetched, kFetchChunk});
        st = dlxVmrScansGet(Connection::kBcn, static_cast<uint32_t>(want), record);
        if (st < DLXVMR_OK) {
            result = reportFailure("fetching scans", st);
            break;
        }
        if (record->scanCount > 0 && !headerWritten) {
            const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
            csv.header(columnsFor(channels, readings, run.config.get()));
            headerWritten = true;
        }
        if (!csv.rows(*record)) {
            result = kExitFailure;
            break;
        }
        fetched += record->scanCount;
        lastScan = Clock::now();
        progress.update(fetched, o.count);
    }
    // Stopped in every case, Ctrl-C included.
    st = dlxVmrScansEnable(Connection::kBcn, 0);
    if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("stopping the scan", st);
    if (!out.finish() && result == kExitOk) result = kExitFailure;
    if (interrupted) {
        message("interrupted after " + std::to_string(fetched) +
                " scans; the instrument is stopped");
        return kExitInterrupted;
    }
    return result;
}

Step parseScan(Args& args) {
    ScanOptions o;
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--count")
            o.count =
                static_cast<int>(number(args.value("scan --count"), 1, kMostScans, "scan --count"));
        else if (opt == "--interval")
            o.interval = number(args.value("scan --interval"), 0, kLongestInterval,
                                "scan --interval (seconds)");
        else if (opt == "-o")
            o.path = args.value("scan -o: the CSV file");
        else
            throw UsageError("scan: unknown option '" + opt + "'");
    }
    if (o.count == 0) throw UsageError("scan needs --count N");
    return instrumentStep("scan", [o](Run& run) { return runScan(run, o); });
}

Step parseMonitor(Args& args) {
    const int channel =
        static_cast<int>(number(args.value("monitor: the channel"), 1, 999, "the channel"));
    long long count = 1;
    if (args.more() && args.peek() == "--count") {
        args.take();
        count = number(args.value("monitor --count"), 1, kMostMonitorReadings, "monitor --count");
    }
    return instrumentStep("monitor", [channel, count](Run&) {
        InterruptScope scope;
        int st = dlxVmrInstMonitor(Connection::kBcn, 1, static_cast<unsigned>(channel));
        if (st != DLXVMR_OK)
            return reportFailure("monitoring channel " + std::to_string(channel), st);
        std::printf("time,%d\n", channel);
        int result = kExitOk;
        for (long long i = 0; i < count && !interrupted; ++i) {
            float reading = 0;
            st = dlxVmrSpyGet(Connection::kBcn * 1000 + channel, &reading);
            if (st != DLXVMR_OK) {
                result = reportFailure("reading channel " + std::to_string(channel), st);
                break;
            }
            std::printf("%s,%s\n", isoNow().c_str(), readingText(reading).c_str());
            std::fflush(stdout);
        }
        st = dlxVmrSpyEnable(Connection::kBcn, 0);
        if (st != DLXVMR_OK && result == kExitOk) result = reportFailure("ending the monitor", st);
        return interrupted ? kExitInterrupted : result;
    });
}

// ---- USB-drive recordings -------------------------------------------------

Step parseFiles(Args& args) {
    std::string dir = args.value("files: the recording directory");
    if (dir.empty()) throw UsageError("files: the recording directory is missing");
    std::string what = "read";
    if (args.more() &&
        (args.peek() == "read" || args.peek() == "verify" || args.peek() == "config"))
        what = args.take();
    const std::string path = optionalOutput(args);
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    return Step{
        "files", [dir, what, path](Run& run) -> int {
            const std::string dataPath = dir + "dat00001.csv";
            if (what == "config") {
                auto c = newRecord();
                const int st = dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), c.get(), 0, 0);
                if (st != DLXVMR_OK) return reportFailure("files " + dir + " config", st);
                return writeJson(*c, path);
            }
            int count = 0;
            int st = dlxVmrPCCardScansFileCountW(0, widePath(dataPath).c_str(), &count);
            // The library's detail names the file and the failing line.
            if (st != DLXVMR_OK) return reportFailure("files " + dir, st);
            if (what == "verify") {
                std::printf("%s: %d scans, every line's check code verified\n", dataPath.c_str(),
                            count);
                return kExitOk;
            }
            // The channels of the recording, from its setup file.
            auto setup = newRecord();
            const bool haveSetup =
                dlxVmrPCCardConfigFile(0, widePath(dir).c_str(), setup.get(), 0, 0) == DLXVMR_OK;
            const std::vector<int> channels =
                haveSetup ? scannedChannels(*setup) : std::vector<int>();
            OutputFile out(path);
            std::FILE* f = out.open();
            if (!f) return kExitFailure;
            CsvWriter csv(f);
            std::vector<unsigned char> buffer = scanBuffer(std::min(count, kFetchChunk));
            auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
            int read = 0;
            while (read < count) {
                const int want = std::min(count - read, kFetchChunk);
                st = dlxVmrPCCardScansFileGet(0, widePath(dir).c_str(), want, read, record);
                if (st < DLXVMR_OK) return reportFailure("reading " + dataPath, st);
                if (read == 0) {
                    const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
                    csv.header(columnsFor(channels, readings, haveSetup ? setup.get() : nullptr));
                }
                if (!csv.rows(*record)) return kExitFailure;
                if (record->scanCount <= 0) break;
                read += record->scanCount;
            }
            (void)run;
            return out.finish() ? kExitOk : kExitFailure;
        }};
}

// ---- The instrument's log memory ---------------------------------------------

// The names of a file list: each quoted as the instrument answers it and
// followed by "*"; a doubled quotation mark inside stands for one.
std::vector<std::string> logFileNames(const char* list) {
    std::vector<std::string> out;
    std::string name;
    bool quoted = false;
    for (const char* p = list; *p; ++p) {
        if (*p == '"') {
            if (quoted && p[1] == '"') {
                name.push_back('"');
                ++p;
            } else {
                quoted = !quoted;
            }
        } else if (*p == '*' && !quoted) {
            out.push_back(name);
            name.clear();
        } else {
            name.push_back(*p);
        }
    }
    if (!name.empty()) out.push_back(name);
    return out;
}

Step parseLog(Args& args) {
    const std::string what = args.value("log: list, read, config, status or format");
    if (what == "list") {
        return instrumentStep("log list", [](Run&) {
            char* names = nullptr;
            int count = 0;
            const int st = dlxVmrGetPCCardScansFileList(Connection::kBcn, &names, &count);
            if (st == -1001) return kExitOk; // no log file: an empty list
            if (st != DLXVMR_OK) return reportFailure("listing the log files", st);
            for (const auto& n : logFileNames(names))
                std::printf("%s\n", n.c_str());
            dlxVmrDeleteBuffer(names);
            return kExitOk;
        });
    }
    if (what == "status") {
        return instrumentStep("log status", [](Run&) {
            int32_t room[3] = {-1, -1, -1};
            const int st = dlxVmrPCCardStatus(Connection::kBcn, room);
            if (st != DLXVMR_OK) return reportFailure("reading the log memory's room", st);
            if (room[0] < 0) {
                message("the instrument did not tell the log memory's room");
                return kExitInstrument;
            }
            std::printf("free: %d KiB\nused: %d KiB\ntotal: %d KiB\n", room[1], room[2], room[0]);
            return kExitOk;
        });
    }
    if (what == "format") {
        return instrumentStep("log format", [](Run&) {
            const int st = dlxVmrPCCardFormat(Connection::kBcn);
            return st == DLXVMR_OK ? kExitOk : reportFailure("emptying the log memory", st);
        });
    }
    if (what == "read" || what == "config") {
        const std::string name = args.value("log " + what + ": the log file name");
        if (name.empty()) throw UsageError("log " + what + ": the log file name is missing");
        const std::string path = optionalOutput(args);
        return instrumentStep("log " + what, [what, name, path](Run&) -> int {
            const std::wstring wide = widePath(name);
            auto setup = newRecord();
            const int cst = dlxVmrPCCardConfigGet(Connection::kBcn, setup.get(), 0, wide.c_str());
            if (what == "config") {
                if (cst != DLXVMR_OK) return reportFailure("reading the setup of " + name, cst);
                return writeJson(*setup, path);
            }
            int count = -1;
            int st = dlxVmrPCCardScansCountFile(Connection::kBcn, wide.c_str(), &count);
            if (st != DLXVMR_OK) return reportFailure("counting the scans of " + name, st);
            if (count < 0) {
                message(name + " is not a log file of scans");
                return kExitInstrument;
            }
            OutputFile out(path);
            std::FILE* f = out.open();
            if (!f) return kExitFailure;
            CsvWriter csv(f);
            const std::vector<int> channels =
                cst == DLXVMR_OK ? scannedChannels(*setup) : std::vector<int>();
            if (count > 0) {
                // One read: every call transfers the whole file.
                std::vector<unsigned char> buffer = scanBuffer(count);
                auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
                st = dlxVmrScansFileGet(Connection::kBcn, wide.c_str(), count, 0, record);
                if (st < DLXVMR_OK) return reportFailure("reading " + name, st);
                const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
                csv.header(
                    columnsFor(channels, readings, cst == DLXVMR_OK ? setup.get() : nullptr));
                if (!csv.rows(*record)) return kExitFailure;
            }
            return out.finish() ? kExitOk : kExitFailure;
        });
    }
    throw UsageError("log: list, read NAME, config NAME, status or format, not '" + what + "'");
}

Step parseDio(Args& args) {
    if (args.hasOperand()) {
        const int mask = byteArgument(args.take(), "dio MASK");
        if (!args.hasOperand()) throw UsageError("dio MASK VALUE: the value is missing");
        const int value = byteArgument(args.take(), "dio VALUE");
        return instrumentStep("dio", [mask, value](Run&) {
            const int st = dlxVmrDIOSet(Connection::kBcn, mask, value);
            return st == DLXVMR_OK ? kExitOk : reportFailure("setting the digital I/O byte", st);
        });
    }
    return instrumentStep("dio", [](Run&) {
        int value = 0;
        const int st = dlxVmrDIOGet(Connection::kBcn, &value);
        if (st != DLXVMR_OK) return reportFailure("reading the digital I/O byte", st);
        std::printf("%d\n", value);
        return kExitOk;
    });
}

Step parseTotalizer(Args& args) {
    if (args.more() && args.peek() == "clear") {
        args.take();
        return instrumentStep("totalizer", [](Run&) {
            const int st = dlxVmrTotalizerClear(Connection::kBcn);
            return st == DLXVMR_OK ? kExitOk : reportFailure("clearing the totalizer", st);
        });
    }
    return instrumentStep("totalizer", [](Run&) {
        int count = 0;
        const int st = dlxVmrTotalizerGet(Connection::kBcn, &count);
        if (st != DLXVMR_OK) return reportFailure("reading the totalizer", st);
        std::printf("%d\n", count);
        return kExitOk;
    });
}

Step parseClock(Args& args) {
    bool utc = false;
    if (args.more() && args.peek() == "--utc") {
        args.take();
        utc = true;
    }
    return instrumentStep("clock", [utc](Run&) {
        const int st = utc ? dlxVmrTimeSetUTC(Connection::kBcn) : dlxVmrTimeSet(Connection::kBcn);
        if (st != DLXVMR_OK) return reportFailure("setting the instrument clock", st);
        std::printf("instrument clock set from this PC's %s: %s\n", utc ? "UTC" : "local time",
                    isoNow().c_str());
        return kExitOk;
    });
}

Step parseOem(Args& args) {
    if (args.hasOperand()) {
        const std::string text = args.take();
        return instrumentStep("oem", [text](Run&) {
            const int st = dlxVmrOEMIdentitySetA(Connection::kBcn, text.c_str());
            return st == DLXVMR_OK ? kExitOk : reportFailure("storing the OEM identity", st);
        });
    }
    return instrumentStep("oem", [](Run&) {
        char text[1024] = {};
        const int st = dlxVmrOEMIdentityGetA(Connection::kBcn, text, sizeof text);
        if (st != DLXVMR_OK) return reportFailure("reading the OEM identity", st);
        std::printf("%s\n", text);
        return kExitOk;
    });
}

Step parseRaw(Args& args) {
    std::vector<std::string> commands;
    while (args.more() && !isCommandName(args.peek()) && args.peek() != "--timeout") {
        std::string c = args.take();
        if (c.empty()) throw UsageError("raw: an empty command");
        for (const char ch : c)
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
                throw UsageError("raw: one command per argument, without line ends");
        commands.push_back(c);
    }
    if (commands.empty()) throw UsageError("raw needs at least one SCPI command");
    return instrumentStep("raw", [commands](Run& run) {
        for (const auto& c : commands) {
            std::string reply;
            const int code = rawStep(run, c, reply);
            if (code != kExitOk) return code;
            if (c.find('?') != std::string::npos) std::printf("%s\n", reply.c_str());
        }
        return kExitOk;
    });
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The last lines and events on the wire, kept through the library's trace
// while the object lives, for a report of what was seen before a failure.
class WireTail {
  public:
    WireTail() { dlxVmrTraceSet(&WireTail::keep, this); }
    ~WireTail() { dlxVmrTraceSet(nullptr, nullptr); }
    WireTail(const WireTail&) = delete;
    WireTail& operator=(const WireTail&) = delete;

    // Prints what was kept, oldest first; returns exitCode.
    int report(int exitCode) const {
        if (lines_.empty()) {
            std::printf("last on the wire: nothing\n");
            return exitCode;
        }
        std::printf("last on the wire:\n");
        for (std::size_t i = 0; i < lines_.size(); ++i)
            std::printf("  %s\n", lines_[(next_ + i) % lines_.size()].c_str());
        return exitCode;
    }

  private:
    static constexpr std::size_t kLines = 8;
    static constexpr std::size_t kLineBytes = 160;

    static void KORDA_CALL keep(void* context, int, int direction, const char* text,
                                uint32_t length) {
        auto& self = *static_cast<WireTail*>(context);
        static const char* const kMarks[] = {"> ", "< ", "* "};
        std::string line = direction >= 0 && direction <= 2 ? kMarks[direction] : "? ";
        for (uint32_t i = 0; i < length && i < kLineBytes; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != 0x7F) {
                line.push_back(static_cast<char>(c));
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                line += hex;
            }
        }
        if (length > kLineBytes) line += "... (" + std::to_string(length) + " bytes)";
        if (self.lines_.size() < kLines) {
            self.lines_.push_back(std::move(line));
        } else {
            self.lines_[self.next_] = std::move(line);
            self.next_ = (self.next_ + 1) % kLines;
        }
    }

    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

Step parseDoctor(Args&) {
    return Step{"doctor", [](Run& run) {
                    WireTail wire;
                    char version[64] = {};
                    dlxVmrGetVersion(nullptr, nullptr, nullptr, version, sizeof version);
                    std::printf("library: KORDA32Ext %s\n", version);
                    std::printf("address: %s\n", run.address.text.c_str());
                    uint32_t timeout = 0;
                    dlxVmrTimeoutGet(&timeout);
                    std::printf("timeout: %u s\n", timeout);
                    const auto start = Clock::now();
                    const int open = run.ensureOpen(true);
                    if (open != kExitOk) {
                        std::printf("reachable: no (%s)\n", run.connection.failure().c_str());
                        return wire.report(open);
                    }
                    std::printf("reachable: yes, %s, opened and identified in %.1f ms\n",
                                run.connection.where().c_str(), millisecondsSince(start));
                    std::string reply;
                    const auto asked = Clock::now();
                    int st = run.connection.raw("*IDN?", reply);
                    if (st != DLXVMR_OK) return wire.report(reportFailure("asking *IDN?", st));
                    std::printf("identity: %s (%.1f ms)\n", reply.c_str(),
                                millisecondsSince(asked));
                    std::printf("model: %s\n", modelName(run.connection.model()));
                    // The error queue, emptied: at most 32 entries.
                    int errors = 0;
                    for (int i = 0; i < 32; ++i) {
                        st = run.connection.raw("SYST:ERR?", reply);
                        if (st != DLXVMR_OK)
                            return wire.report(reportFailure("reading the error queue", st));
                        if (std::atoi(reply.c_str()) == 0) break;
                        std::printf("error queue: %s\n", reply.c_str());
                        ++errors;
                    }
                    if (errors == 0) std::printf("error queue: empty\n");
                    return kExitOk;
                }};
}

Step parseTimeout(Args& args) {
    const long long seconds =
        number(args.value("--timeout"), 1, kLongestTimeout, "--timeout (seconds)");
    return Step{"--timeout", [seconds](Run&) {
                    const int st = dlxVmrTimeoutSet(static_cast<uint32_t>(seconds));
                    return st == DLXVMR_OK ? kExitOk : reportFailure("setting the timeout", st);
                }};
}

} // namespace

int Run::ensureOpen(bool quiet) {
    if (connection.isOpen()) return kExitOk;
    return connection.open(address, model, quiet);
}

std::vector<Step> parseCommandLine(const std::vector<std::string>& argv, Run& run, bool& help) {
    Args args(argv);
    std::vector<Step> steps;
    if (args.more() && looksLikeAddress(args.peek())) {
        std::string why;
        const auto a = parseAddress(args.take(), why);
        if (!a) throw UsageError(why);
        run.address = *a;
        run.addressGiven = true;
    } else {
        run.address.text = "sim:";
    }
    while (args.more()) {
        const std::string word = args.take();
        if (word == "--help" || word == "-h") {
            help = true;
            return {};
        }
        if (word == "--timeout")
            steps.push_back(parseTimeout(args));
        else if (word == "--model") {
            const std::string m = args.value("--model");
            run.model = modelFromName(m);
            if (!run.model) throw UsageError("--model is 7043A or 5129A, not '" + m + "'");
        } else if (word == "idn")
            steps.push_back(parseIdn(args));
        else if (word == "list")
            steps.push_back(parseList(args));
        else if (word == "config")
            steps.push_back(parseConfig(args));
        else if (word == "scan")
            steps.push_back(parseScan(args));
        else if (word == "monitor")
            steps.push_back(parseMonitor(args));
        else if (word == "files")
            steps.push_back(parseFiles(args));
        else if (word == "log")
            steps.push_back(parseLog(args));
        else if (word == "dio")
            steps.push_back(parseDio(args));
        else if (word == "totalizer")
            steps.push_back(parseTotalizer(args));
        else if (word == "clock")
            steps.push_back(parseClock(args));
        else if (word == "oem")
            steps.push_back(parseOem(args));
        else if (word == "raw")
            steps.push_back(parseRaw(args));
        else if (word == "doctor")
            steps.push_back(parseDoctor(args));
        else if (looksLikeAddress(word))
            throw UsageError("the address (" + word + ") comes first, before the commands");
        else
            throw UsageError("unknown command '" + word + "'");
    }
    if (steps.empty()) throw UsageError("no command given");
    return steps;
}

std::string helpText() {
    std::string out =
        "usage: korda [ADDRESS] [--model MODEL] [--timeout S] COMMAND [ARGS] [COMMAND [ARGS]...]\n"
        "\n"
        "ADDRESS: tcp://HOST[:PORT] (port 5025 by default), usb:N (COM port N), usb: (search),\n"
        "         sim:[7043A|5129A] (a virtual instrument inside korda, a 5129A unless named; the\n"
        "         default).\n"
        "Commands run in order against one instrument; the model is read from its identity\n"
        "unless --model names it. --timeout S sets the library timeout from where it stands.\n"
        "\n"
        "commands:\n";
    for (const auto& c : kCommands) {
        char line[512];
        std::snprintf(line, sizeof line, "  %-58s %s\n      e.g. %s\n", c.usage, c.what, c.example);
        out += line;
    }
    out += "\n"
           "exit codes: 0 done, 1 local failure (a file), 2 bad arguments (nothing sent),\n"
           "3 the instrument or the library refused, 4 the instrument could not be reached,\n"
           "130 interrupted (a running scan is stopped first).\n";
    return out;
}

} // namespace korda::tool
