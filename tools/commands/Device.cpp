// The commands of one or two exchanges each: identity, instrument list,
// digital I/O, totalizer, clock, OEM text, raw SCPI, the doctor's check and
// the timeout.
#include "Commands.h"
#include "Output.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace korda::tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kLongestTimeout = 86400;
constexpr int kListBcn = 2;

void printIdentity(const std::string& where, int bcn) {
    char buffer[1024] = {};
    const int st = dlxVmrRawCommandA(bcn, "*IDN?", buffer, sizeof buffer);
    std::printf("%s\t%s\n", where.c_str(),
                st == DLXVMR_OK ? buffer : ("no identity: " + statusText(st)).c_str());
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

} // namespace

Step parseIdn(Args&) {
    return instrumentStep("idn", [](Run& run) {
        std::string reply;
        const int code = rawStep(run, "*IDN?", reply);
        if (code == kExitOk) std::printf("%s\n", reply.c_str());
        return code;
    });
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
    if (args.takeIf("clear")) {
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
    const bool utc = args.takeIf("--utc");
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

} // namespace korda::tool
