// The commands of one or two exchanges each: identity, instrument list,
// digital I/O, totalizer, clock, OEM text, raw SCPI, the doctor's check and
// the timeout.
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"

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
    sayf("%s\t%s\n", where.c_str(),
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
            sayf("last on the wire: nothing\n");
            return exitCode;
        }
        sayf("last on the wire:\n");
        for (std::size_t i = 0; i < lines_.size(); ++i)
            sayf("  %s\n", lines_[(next_ + i) % lines_.size()].c_str());
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

// The lines the library receives while the object lives, through its
// trace: a reply of several lines whole, where the raw export hands on its
// first line only.
class ReplyLines {
  public:
    ReplyLines() { dlxVmrTraceSet(&ReplyLines::keep, this); }
    ~ReplyLines() { dlxVmrTraceSet(nullptr, nullptr); }
    ReplyLines(const ReplyLines&) = delete;
    ReplyLines& operator=(const ReplyLines&) = delete;

    std::vector<std::string> lines;
    long long discarded = 0; // bytes that came late and were dropped

  private:
    static void KORDA_CALL keep(void* context, int, int direction, const char* text,
                                uint32_t length) {
        auto& self = *static_cast<ReplyLines*>(context);
        const std::string line(text, length);
        const std::string drained = "drain discarded ";
        if (direction == DLXVMR_TRACE_RECEIVED)
            self.lines.push_back(line);
        else if (direction == DLXVMR_TRACE_EVENT && line.rfind(drained, 0) == 0)
            self.discarded += std::atoll(line.c_str() + drained.size());
    }
};

// A query through the raw export, its whole reply printed: a reply of
// several lines (a long text) is read on to the error queue's line, and what
// the library could not keep is reported.
int rawQuery(Run& run, const std::string& query) {
    std::string reply;
    std::vector<std::string> lines;
    {
        ReplyLines seen;
        const int code = rawStep(run, query, reply);
        if (code != kExitOk) return code;
        lines = seen.lines;
    }
    if (lines.empty()) lines.push_back(reply);
    std::string text;
    for (const auto& l : lines)
        text += l + "\n";
    if (!say(text)) return kExitFailure;
    if (lines.size() == 1) return kExitOk;
    ReplyLines after;
    std::string error;
    if (rawStep(run, "SYST:ERR?", error) != kExitOk) return kExitInstrument;
    if (after.discarded > 0) {
        message(query + ": the reply went on for " + std::to_string(after.discarded) +
                " more bytes that came too late to be kept");
        return kExitInstrument;
    }
    if (std::atoi(error.c_str()) != 0) {
        message(query + ": the instrument reports " + error);
        return kExitInstrument;
    }
    return kExitOk;
}

} // namespace

Step parseIdn(Args&) {
    return instrumentStep("idn", [](Run& run) {
        std::string reply;
        const int code = rawStep(run, "*IDN?", reply);
        if (code == kExitOk) sayf("%s\n", reply.c_str());
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
                                sayf("%s\tunreachable: %s\n", a.text.c_str(), c.failure().c_str());
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
                            sayf("%s\t%s\n", a.text.c_str(), modelName(models[i]));
                            continue;
                        }
                        printIdentity(a.text, kListBcn);
                    }
                    if (found == 0) sayf("none found\n");
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
        sayf("%d\n", value);
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
        sayf("%d\n", count);
        return kExitOk;
    });
}

Step parseClock(Args& args) {
    const bool utc = args.takeIf("--utc");
    return instrumentStep("clock", [utc](Run&) {
        const int st = utc ? dlxVmrTimeSetUTC(Connection::kBcn) : dlxVmrTimeSet(Connection::kBcn);
        if (st != DLXVMR_OK) return reportFailure("setting the instrument clock", st);
        sayf("instrument clock set from this PC's %s: %s\n", utc ? "UTC" : "local time",
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
        sayf("%s\n", text);
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
            const int code =
                c.find('?') != std::string::npos ? rawQuery(run, c) : rawStep(run, c, reply);
            if (code != kExitOk) return code;
        }
        return kExitOk;
    });
}

Step parseDoctor(Args&) {
    return Step{"doctor", [](Run& run) {
                    WireTail wire;
                    char version[64] = {};
                    dlxVmrGetVersion(nullptr, nullptr, nullptr, version, sizeof version);
                    sayf("library: KORDA32Ext %s\n", version);
                    sayf("address: %s\n", run.address.text.c_str());
                    uint32_t timeout = 0;
                    dlxVmrTimeoutGet(&timeout);
                    sayf("timeout: %u s\n", timeout);
                    const auto start = Clock::now();
                    const int open = run.ensureOpen(true);
                    if (open != kExitOk) {
                        sayf("reachable: no (%s)\n", run.connection.failure().c_str());
                        return wire.report(open);
                    }
                    sayf("reachable: yes, %s, opened and identified in %.1f ms\n",
                         run.connection.where().c_str(), millisecondsSince(start));
                    std::string reply;
                    const auto asked = Clock::now();
                    int st = run.connection.raw("*IDN?", reply);
                    if (st != DLXVMR_OK) return wire.report(reportFailure("asking *IDN?", st));
                    sayf("identity: %s (%.1f ms)\n", reply.c_str(), millisecondsSince(asked));
                    sayf("model: %s\n", modelName(run.connection.model()));
                    // The error queue, emptied: at most 32 entries.
                    int errors = 0;
                    for (int i = 0; i < 32; ++i) {
                        st = run.connection.raw("SYST:ERR?", reply);
                        if (st != DLXVMR_OK)
                            return wire.report(reportFailure("reading the error queue", st));
                        if (std::atoi(reply.c_str()) == 0) break;
                        sayf("error queue: %s\n", reply.c_str());
                        ++errors;
                    }
                    if (errors == 0) sayf("error queue: empty\n");
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
