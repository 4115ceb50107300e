// korda: drive an instrument, or the virtual one, through the library.
#include "Instrument.h"
#include "ScanModel.h"
#include "TcpServer.h"
#include "korda32ext.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBcn = 1;
constexpr long long kMaxCount = 2147483647; // counts travel as int
constexpr long long kMaxComPort = 256;
constexpr long long kMaxTcpPort = 65535;

void usage() {
    std::fprintf(
        stderr,
        "usage: korda demo [7043A|5129A]\n"
        "       korda [--host A.B.C.D] --port N [--model 7043A|5129A] COMMAND...\n"
        "       korda --com K [--model 7043A|5129A] COMMAND...   (K = 0 searches COM1-COM64)\n"
        "       korda files DIR [config | count | scans N]\n"
        "       korda usb-enum [HIGHEST]   list the instruments on COM1 to COM<HIGHEST>\n"
        "commands on an instrument, run in order:\n"
        "  check              confirm the model\n"
        "  timeout SECONDS    set the library timeout\n"
        "  clock              set the instrument clock from this PC's local time\n"
        "  dio                read the digital I/O byte\n"
        "  dio MASK VALUE     write the bits of MASK to VALUE\n"
        "  totalizer          read the totalizer; 'totalizer clear' clears it\n"
        "  oem                read the OEM identity; 'oem TEXT' stores TEXT\n"
        "  start | stop       start or stop scanning\n"
        "  clear              discard the readings the instrument holds\n"
        "  count              number of scans the instrument holds\n"
        "  fetch N            fetch up to N scans and print them\n"
        "  monitor CHANNEL    take one monitor reading of CHANNEL\n"
        "demo starts the virtual instrument in this process and runs a short\n"
        "session against it.\n");
}

std::string errorText(int code) {
    char text[256];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    return text;
}

// Prints one step and its status; returns true on success.
bool report(const std::string& what, int status) {
    if (status >= 1)
        std::printf("%-34s -> %d\n", what.c_str(), status);
    else
        std::printf("%-34s -> %d (%s)\n", what.c_str(), status, errorText(status).c_str());
    return status >= 1;
}

// Reads a count given on the command line: a whole number from 1 to most.
// Anything else (negative, zero, too large, not a number) is told to the user
// and gives false.
bool parseCount(const std::string& what, const std::string& text, long long most, int& count) {
    const bool digits = !text.empty() && text.size() <= 18 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const long long value = digits ? std::strtoll(text.c_str(), nullptr, 10) : 0;
    if (value < 1 || value > most) {
        std::fprintf(stderr, "korda: %s must be a whole number from 1 to %lld, not '%s'\n",
                     what.c_str(), most, text.c_str());
        return false;
    }
    count = static_cast<int>(value);
    return true;
}

// A scan buffer for up to `scans` scans of the most readings a scan can have;
// empty (and the user told) when there is not enough memory.
std::vector<unsigned char> scanBuffer(int scans) {
    try {
        return std::vector<unsigned char>(
            DLXVMR_SCAN_BUFFER_SIZE(scans, DLXVMR_MAX_READINGS_PER_SCAN));
    } catch (const std::exception&) {
        std::fprintf(stderr, "korda: not enough memory for %d scans\n", scans);
        return {};
    }
}

int modelCode(const std::string& m) {
    if (m == "7043A") return DLXVMR_MODEL_7043A;
    if (m == "5129A") return DLXVMR_MODEL_5129A;
    return DLXVMR_MODEL_UNIDENTIFIED;
}

void printScans(const ScanRecord* record) {
    const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
    for (int n = 0; n < record->scanCount; ++n) {
        const ScanEntry* e = DLXVMR_SCAN_ENTRY(record, n);
        std::printf("  %04d-%02u-%02u %02u:%02u:%02u.%03d", 2000 + e->year, e->month, e->day,
                    e->hour, e->minute, e->second, e->fraction);
        for (int i = 0; i < readings; ++i)
            std::printf("  %g", e->readings[i]);
        std::printf("\n");
    }
    std::printf("  (%d scans, %d more held)\n", record->scanCount, record->scansRemaining);
}

// Fetches up to `requested` scans, never more than the instrument holds.
int fetch(int requested) {
    int held = 0;
    const int counted = dlxVmrGetScansCount(kBcn, &held);
    if (!report("dlxVmrGetScansCount", counted)) return counted;
    if (held < requested) requested = held;
    if (requested < 1) {
        std::printf("  (no scans held)\n");
        return 1;
    }
    std::vector<unsigned char> buffer = scanBuffer(requested);
    if (buffer.empty()) return -1;
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    const int st = dlxVmrScansGet(kBcn, static_cast<uint32_t>(requested), record);
    if (report("dlxVmrScansGet " + std::to_string(requested), st)) printScans(record);
    return st;
}

// Runs one command starting at args[i]; advances i past its arguments.
bool runCommand(const std::vector<std::string>& args, std::size_t& i) {
    const std::string& c = args[i];
    auto hasArg = [&] {
        return i + 1 < args.size() &&
               args[i + 1].find_first_not_of("0123456789") == std::string::npos;
    };
    if (c == "check") return report("dlxVmrModelCheck", dlxVmrModelCheck(kBcn));
    if (c == "timeout" && i + 1 < args.size()) {
        const auto s = static_cast<uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
        return report("dlxVmrTimeoutSet " + std::to_string(s), dlxVmrTimeoutSet(s));
    }
    if (c == "clock") return report("dlxVmrTimeSet", dlxVmrTimeSet(kBcn));
    if (c == "dio") {
        if (hasArg() && i + 2 < args.size()) {
            const int mask = std::atoi(args[++i].c_str());
            const int value = std::atoi(args[++i].c_str());
            return report("dlxVmrDIOSet", dlxVmrDIOSet(kBcn, mask, value));
        }
        int value = 0;
        const bool ok = report("dlxVmrDIOGet", dlxVmrDIOGet(kBcn, &value));
        if (ok) std::printf("  digital I/O byte: %d (0x%02X)\n", value, value);
        return ok;
    }
    if (c == "totalizer") {
        if (i + 1 < args.size() && args[i + 1] == "clear") {
            ++i;
            return report("dlxVmrTotalizerClear", dlxVmrTotalizerClear(kBcn));
        }
        int count = 0;
        const bool ok = report("dlxVmrTotalizerGet", dlxVmrTotalizerGet(kBcn, &count));
        if (ok) std::printf("  totalizer: %d\n", count);
        return ok;
    }
    if (c == "oem") {
        static const char* const kCommands[] = {"check",     "timeout", "clock", "dio",
                                                "totalizer", "oem",     "start", "stop",
                                                "clear",     "count",   "fetch", "monitor"};
        bool nextIsCommand = i + 1 >= args.size();
        for (const char* k : kCommands)
            nextIsCommand = nextIsCommand || args[i + 1] == k;
        if (!nextIsCommand) {
            const std::string text = args[++i];
            return report("dlxVmrOEMIdentitySetA", dlxVmrOEMIdentitySetA(kBcn, text.c_str()));
        }
        char text[256] = {};
        const bool ok =
            report("dlxVmrOEMIdentityGetA", dlxVmrOEMIdentityGetA(kBcn, text, sizeof text));
        if (ok) std::printf("  OEM identity: %s\n", text);
        return ok;
    }
    if (c == "start") return report("dlxVmrScansEnable 1", dlxVmrScansEnable(kBcn, 1));
    if (c == "stop") return report("dlxVmrScansEnable 0", dlxVmrScansEnable(kBcn, 0));
    if (c == "clear") return report("dlxVmrScansClear", dlxVmrScansClear(kBcn));
    if (c == "count") {
        int count = 0;
        const bool ok = report("dlxVmrGetScansCount", dlxVmrGetScansCount(kBcn, &count));
        if (ok) std::printf("  scans held: %d\n", count);
        return ok;
    }
    if (c == "fetch" && i + 1 < args.size()) {
        int requested = 0;
        if (!parseCount("the count of fetch", args[++i], kMaxCount, requested)) return false;
        return fetch(requested) >= 1;
    }
    if (c == "monitor" && hasArg()) {
        const auto channel = static_cast<unsigned>(std::atoi(args[++i].c_str()));
        if (!report("dlxVmrInstMonitor " + std::to_string(channel),
                    dlxVmrInstMonitor(kBcn, 1, channel)))
            return false;
        float reading = 0;
        const bool ok =
            report("dlxVmrSpyGet", dlxVmrSpyGet(kBcn * 1000 + static_cast<int>(channel), &reading));
        if (ok) std::printf("  channel %u: %g\n", channel, reading);
        return ok;
    }
    std::fprintf(stderr, "korda: unknown command or missing argument: '%s'\n", c.c_str());
    return false;
}

struct Target {
    int kind = DLXVMR_INTERFACE_TCPIP;
    uint8_t address[4] = {127, 0, 0, 1};
    int port = -1;
    int model = DLXVMR_MODEL_UNIDENTIFIED;
};

int runSession(const Target& t, const std::vector<std::string>& commands) {
    report("dlxVmrLibInit", dlxVmrLibInit(0));
    int failures = 0;
    if (!report("dlxVmrCCFsetBCN", dlxVmrCCFsetBCN(kBcn, t.kind, t.port, t.address, t.model)) ||
        !report("dlxVmrCommOpen", dlxVmrCommOpen(kBcn))) {
        dlxVmrLibExit();
        return 1;
    }
    for (std::size_t i = 0; i < commands.size(); ++i)
        failures += !runCommand(commands, i);
    report("dlxVmrCommClose", dlxVmrCommClose(kBcn));
    report("dlxVmrLibExit", dlxVmrLibExit());
    return failures == 0 ? 0 : 1;
}

int demo(const std::string& modelName) {
    using namespace korda::sim;
    Instrument instrument(modelName == "5129A" ? Model::M5129A : Model::M7043A);
    {
        // What the instrument's front panel would have set up: three
        // channels scanned every second.
        std::lock_guard<std::recursive_mutex> g(instrument.mutex());
        instrument.settings.timerSeconds = 1;
        instrument.settings.triggerCount = 0;
    }
    setScanChannels(instrument, {101, 102, 103});
    TcpServer server(instrument);
    if (!server.listening()) {
        std::fprintf(stderr, "korda: the virtual instrument cannot listen\n");
        return 1;
    }
    std::printf("virtual %s listening on 127.0.0.1:%u\n", instrument.modelName(), server.port());
    Target t;
    t.port = server.port();
    t.model = modelCode(modelName);
    report("dlxVmrLibInit", dlxVmrLibInit(0));
    report("dlxVmrCCFsetBCN", dlxVmrCCFsetBCN(kBcn, t.kind, t.port, t.address, t.model));
    if (!report("dlxVmrCommOpen", dlxVmrCommOpen(kBcn))) return 1;
    int failures = 0;
    std::vector<std::string> first = {"check", "clock", "dio",       "dio", "3",
                                      "1",     "dio",   "totalizer", "oem", "demo-unit-17",
                                      "oem",   "clear", "start"};
    for (std::size_t i = 0; i < first.size(); ++i)
        failures += !runCommand(first, i);
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    std::vector<std::string> second = {"stop", "count", "fetch", "5", "monitor", "102"};
    for (std::size_t i = 0; i < second.size(); ++i)
        failures += !runCommand(second, i);
    report("dlxVmrCommClose", dlxVmrCommClose(kBcn));
    report("dlxVmrLibExit", dlxVmrLibExit());
    return failures == 0 ? 0 : 1;
}

int files(const std::vector<std::string>& args) {
    if (args.empty()) {
        usage();
        return 2;
    }
    std::wstring dir(args[0].begin(), args[0].end());
    if (dir.empty()) {
        usage();
        return 2;
    }
    if (dir.back() != L'/' && dir.back() != L'\\') dir += L'/';
    const std::string what = args.size() > 1 ? args[1] : "count";
    if (what == "config") {
        auto config = std::make_unique<VmrInstConfig>();
        std::memset(config.get(), 0, sizeof(VmrInstConfig));
        const int st = dlxVmrPCCardConfigFile(kBcn, dir.c_str(), config.get(), 0, 0);
        if (!report("dlxVmrPCCardConfigFile", st)) return 1;
        std::printf("  flags 0x%X, trigger source %u, interval %u:%02u:%02u, destination %u\n",
                    config->flags, config->triggerSource, config->intervalHours,
                    config->intervalMinutes, config->intervalSeconds, config->recordDestination);
        for (int m = 0; m < VMR_MODULE_AREAS; ++m)
            for (int c = 0; c < VMR_CHANNELS_PER_AREA; ++c) {
                const ChannelRecord& ch = config->modules[m].channels[c];
                if (ch.function >= 1 && ch.function <= 13)
                    std::printf("  channel %d: function %u, range %u\n", 100 * m + 101 + c,
                                ch.function, ch.range);
            }
        return 0;
    }
    if (what == "scans") {
        int n = 0;
        if (!parseCount("the count of scans", args.size() > 2 ? args[2] : "", kMaxCount, n))
            return 2;
        // Never more than the file holds (its check codes verified on the way).
        int held = 0;
        const std::wstring data = dir + L"dat00001.csv";
        if (!report("dlxVmrPCCardScansFileCountW",
                    dlxVmrPCCardScansFileCountW(kBcn, data.c_str(), &held)))
            return 1;
        if (held < n) n = held;
        std::vector<unsigned char> buffer = scanBuffer(n);
        if (buffer.empty()) return 1;
        auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
        const int st = dlxVmrPCCardScansFileGet(kBcn, dir.c_str(), n, 0, record);
        if (!report("dlxVmrPCCardScansFileGet", st)) return 1;
        printScans(record);
        return 0;
    }
    int count = 0;
    const std::wstring data = dir + L"dat00001.csv";
    if (!report("dlxVmrPCCardScansFileCountW",
                dlxVmrPCCardScansFileCountW(kBcn, data.c_str(), &count)))
        return 1;
    std::printf("  %d scans, every line's check code verified\n", count);
    return 0;
}

// Lists the instruments found on COM1 to COM<highest>.
int usbEnum(int highest) {
    report("dlxVmrLibInit", dlxVmrLibInit(0));
    const std::size_t slots = static_cast<std::size_t>(highest > 1 ? highest : 1);
    std::vector<int> ports(slots, 0), models(slots, -1);
    const bool ok = report("dlxVmrUsbEnum", dlxVmrUsbEnum(ports.data(), models.data(), highest));
    for (std::size_t i = 0; i < slots && ports[i] != 0; ++i) {
        const int m = models[i];
        std::printf("  COM%d: %s\n", ports[i],
                    m == DLXVMR_MODEL_7043A   ? "7043A"
                    : m == DLXVMR_MODEL_5129A ? "5129A"
                                              : "unidentified instrument");
    }
    report("dlxVmrLibExit", dlxVmrLibExit());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args[0] == "demo") return demo(args.size() > 1 ? args[1] : "7043A");
    if (args[0] == "files") return files({args.begin() + 1, args.end()});
    if (args[0] == "usb-enum") {
        int highest = 64;
        if (args.size() > 1 && !parseCount("HIGHEST", args[1], kMaxComPort, highest)) return 2;
        return usbEnum(highest);
    }
    Target t;
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--host" && i + 1 < args.size()) {
            unsigned b[4];
            if (std::sscanf(args[++i].c_str(), "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]) != 4) {
                usage();
                return 2;
            }
            for (int k = 0; k < 4; ++k)
                t.address[k] = static_cast<uint8_t>(b[k]);
        } else if (a == "--port" && i + 1 < args.size()) {
            if (!parseCount("the port", args[++i], kMaxTcpPort, t.port)) return 2;
        } else if (a == "--com" && i + 1 < args.size()) {
            t.kind = DLXVMR_INTERFACE_USB;
            // 0 searches every COM port.
            if (args[i + 1] == "0")
                t.port = 0;
            else if (!parseCount("the COM number", args[i + 1], kMaxComPort, t.port))
                return 2;
            ++i;
        } else if (a == "--model" && i + 1 < args.size()) {
            t.model = modelCode(args[++i]);
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            commands.push_back(a);
        }
    }
    if (t.port < 0) {
        usage();
        return 2;
    }
    // Counts are checked before anything is sent, so that a mistyped one
    // costs nothing on the instrument.
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (commands[i] != "fetch") continue;
        int requested = 0;
        if (!parseCount("the count of fetch", i + 1 < commands.size() ? commands[i + 1] : "",
                        kMaxCount, requested))
            return 2;
    }
    return runSession(t, commands);
}
