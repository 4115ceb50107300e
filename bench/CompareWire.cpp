// compare_wire: the library against plain clients on the same wire work, in
// the same process and run. Prints one ROW line per comparison (tab
// separated: name, library figure, baseline figure, ratio, goal, met|MISSED)
// for bench/compare, and notes on other lines.
//
// The peers answer from bytes built before the clock starts, so that what is
// measured is the client's own cost:
//   readings  dlxVmrScansGet of 10000 scans x 20 readings over loopback vs a
//             plain socket client that writes the same queries, reads the
//             reply and parses it with std::from_chars;
//   USB       a 1 MB reply over a pseudo-terminal through USBCommunication vs
//             a raw read() loop on another pseudo-terminal;
//   apply     dlxVmrConfigSet of a full record vs its floor: the same
//             messages written and the same replies read by a plain client,
//             with the waits the library must make (a 10 ms look for stale
//             input before every exchange, and the 1000 ms pause with its
//             look before the fingerprint is stored);
//   scale     64 instruments fetching at once vs one instrument fetching the
//             same scans 64 times in a row.
#include "FullRecord.h"
#include "Instrument.h"
#include "ReplayPeer.h"
#include "TcpServer.h"
#include "TestSupport.h"
#include "comm/USBCommunication.h"
#include "core/Text.h"
#include "korda32ext.h"
#include "scan/ScansProcessor.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using korda::bench::buildScanReply;
using korda::bench::ReplayPeer;

constexpr int kRepetitions = 5;
constexpr std::size_t kScans = 10000;
constexpr int kReadings = 20;
constexpr double kDrainMs = 10.0;
constexpr double kSettleMs = 1000.0;

// ---- Measuring ---------------------------------------------------------------

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// CPU time of the calling thread only: the peers run on threads of their own.
double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Sample {
    double wallMs = 0;
    double cpuMs = 0;
};

template <class F> Sample measure(F&& f) {
    const double w0 = nowMs(), c0 = threadCpuMs();
    f();
    return {nowMs() - w0, threadCpuMs() - c0};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Medians {
    double wallMs = 0;
    double cpuMs = 0;
};

Medians medians(const std::vector<Sample>& samples) {
    std::vector<double> w, c;
    for (const auto& s : samples) {
        w.push_back(s.wallMs);
        c.push_back(s.cpuMs);
    }
    return {median(w), median(c)};
}

std::string format(const char* fmt, double v) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}

std::string ms(double v) {
    return format(v < 10 ? "%.2f ms" : "%.1f ms", v);
}

void row(const std::string& name, const std::string& library, const std::string& baseline,
         double ratio, const std::string& goal, bool met) {
    std::printf("ROW\t%s\t%s\t%s\t%.2fx\t%s\t%s\n", name.c_str(), library.c_str(), baseline.c_str(),
                ratio, goal.c_str(), met ? "met" : "MISSED");
    std::fflush(stdout);
}

void reportRow(const std::string& name, const std::string& library, const std::string& baseline,
               double ratio) {
    std::printf("ROW\t%s\t%s\t%s\t%.2fx\treport\tmet\n", name.c_str(), library.c_str(),
                baseline.c_str(), ratio);
    std::fflush(stdout);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "compare_wire: %s\n", what.c_str());
    std::exit(1);
}

// ---- Plain sockets -----------------------------------------------------------

int connectLoopback(std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s < 0 || ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        fail("cannot connect to the peer");
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
    return s;
}

// Writes out while reading; every byte read goes to onInput. Ends when
// onInput returns true (the reply is complete). False on a lost connection
// or 10 s without progress.
bool exchangePlain(int s, std::string_view out,
                   const std::function<bool(const char*, std::size_t)>& onInput) {
    static thread_local std::vector<char> buffer(1 << 16);
    std::size_t sent = 0;
    for (;;) {
        pollfd p{s, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 10000) <= 0) return false;
        if ((p.revents & POLLOUT) != 0) {
            const ssize_t n = ::send(s, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<std::size_t>(n);
        }
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::recv(s, buffer.data(), buffer.size(), 0);
            if (n == 0) return false;
            if (n > 0 && onInput(buffer.data(), static_cast<std::size_t>(n)) && sent == out.size())
                return true;
        }
    }
}

const std::string kNoError = "0,\"No error\"\r\n";

// ---- The plain readings client -----------------------------------------------

// Parses scan lines with std::from_chars into entries of the scan record's
// layout, as a plain client would.
struct PlainParser {
    explicit PlainParser(std::vector<unsigned char>& out) : out_(out) {}
    std::size_t scans = 0;

    // Takes what arrived; true when `expected` lines have been parsed.
    bool feed(const char* data, std::size_t n, std::size_t expected) {
        partial_.append(data, n);
        std::size_t at = 0;
        for (;;) {
            const std::size_t end = partial_.find('\n', at);
            if (end == std::string::npos) break;
            parseLine(std::string_view(partial_.data() + at, end - at));
            at = end + 1;
        }
        partial_.erase(0, at);
        return scans >= expected;
    }

    void parseLine(std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;
        std::string_view fields[kReadings + 8];
        std::size_t count = 0;
        for (std::size_t at = 0; count < std::size(fields);) {
            const std::size_t comma = line.find(',', at);
            fields[count++] = line.substr(at, comma - at);
            if (comma == std::string_view::npos) break;
            at = comma + 1;
        }
        const std::size_t readings = count - 7;
        unsigned char* entry = out_.data() + 12 + scans * (52 + 4 * readings);
        std::memset(entry, 0, 52);
        int t[6] = {};
        for (int i = 0; i < 5; ++i) {
            const auto f = fields[readings + 1 + static_cast<std::size_t>(i)];
            std::from_chars(f.data(), f.data() + f.size(), t[i]);
        }
        const auto sec = fields[readings + 6];
        int fraction = 0;
        const auto r = std::from_chars(sec.data(), sec.data() + sec.size(), t[5]);
        if (r.ptr < sec.data() + sec.size() && *r.ptr == '.')
            std::from_chars(r.ptr + 1, sec.data() + sec.size(), fraction);
        entry[8] = static_cast<unsigned char>(t[3]);
        entry[9] = static_cast<unsigned char>(t[4]);
        entry[10] = static_cast<unsigned char>(t[5]);
        entry[11] = static_cast<unsigned char>(t[1]);
        entry[13] = static_cast<unsigned char>(t[2]);
        entry[14] = static_cast<unsigned char>(t[0] + 48);
        std::memcpy(entry + 16, &fraction, 4);
        for (std::size_t i = 0; i < readings; ++i) {
            const char* b = fields[i].data();
            if (*b == '+') ++b;
            float v = 0;
            if (fields[i] == "9.900000e+37")
                v = std::numeric_limits<float>::infinity(); // the overload word
            else
                std::from_chars(b, fields[i].data() + fields[i].size(), v);
            std::memcpy(entry + 52 + 4 * i, &v, 4);
        }
        ++scans;
    }

    std::vector<unsigned char>& out_;
    std::string partial_;
};

// The count query, then one "DATA:READ?" per scan, parsed as it arrives.
std::size_t plainFetch(int s, const std::string& queries, std::vector<unsigned char>& out,
                       bool looks = false) {
    // With looks, a 10 ms wait for stale input before each exchange, as the
    // library's drain makes.
    auto look = [&] {
        if (!looks) return;
        pollfd p{s, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(kDrainMs));
    };
    std::size_t available = 0;
    std::string reply;
    look();
    if (!exchangePlain(s, "DATA:POIN?\r\n", [&](const char* d, std::size_t n) {
            reply.append(d, n);
            return reply.find('\n') != std::string::npos;
        }))
        fail("plain count query failed");
    std::from_chars(reply.data(), reply.data() + reply.size(), available);
    const std::size_t n = std::min(available, kScans);
    PlainParser parser(out);
    look();
    if (!exchangePlain(s, std::string_view(queries).substr(0, n * 12),
                       [&](const char* d, std::size_t len) { return parser.feed(d, len, n); }))
        fail("plain fetch failed");
    return parser.scans;
}

std::string readQueries() {
    std::string q;
    for (std::size_t i = 0; i < kScans; ++i)
        q += "DATA:READ?\r\n";
    return q;
}

// ---- Readings ----------------------------------------------------------------

std::map<std::string, std::string> identityTable(korda::sim::Instrument& in) {
    std::map<std::string, std::string> t;
    for (const char* q : {"*IDN?", "*OPT?", "ROUT:SCAN?", "*OPC?", "SYST:OEM:IDEN?"})
        t[q] = korda::test::ask(in, q) + "\r\n";
    t["SYST:ERR?"] = kNoError;
    return t;
}

int openBcn(int bcn, std::uint16_t port, int model) {
    std::uint8_t ip[4] = {127, 0, 0, 1};
    dlxVmrCCFsetBCN(bcn, 1, port, ip, model);
    return dlxVmrCommOpen(bcn);
}

void readingsRows() {
    korda::sim::Instrument reference(korda::sim::Model::M7043A);
    ReplayPeer peer(identityTable(reference), buildScanReply(kScans, kReadings));
    if (openBcn(1, peer.port(), DLXVMR_MODEL_7043A) != 1) fail("cannot open BCN 1 to the peer");
    const int plain = connectLoopback(peer.port());
    const std::string queries = readQueries();
    std::vector<unsigned char> plainOut(DLXVMR_SCAN_BUFFER_SIZE(kScans, kReadings));
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(kScans, kReadings) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());

    std::vector<Sample> lib, base, looks;
    for (int rep = 0; rep < kRepetitions + 1; ++rep) {
        // The plain client with the library's two 10 ms looks for stale input.
        const Sample w = measure([&] {
            if (plainFetch(plain, queries, plainOut, true) != kScans)
                fail("plain fetch incomplete");
        });
        const Sample l = measure([&] {
            if (dlxVmrScansGet(1, kScans, record) != 1 ||
                record->scanCount != static_cast<int>(kScans))
                fail("dlxVmrScansGet against the replay peer failed");
        });
        const Sample b = measure([&] {
            if (plainFetch(plain, queries, plainOut) != kScans) fail("plain fetch incomplete");
        });
        if (rep == 0) continue; // warm-up
        lib.push_back(l);
        base.push_back(b);
        looks.push_back(w);
    }
    // The plain client parsed the same values.
    if (std::memcmp(plainOut.data() + 12, reinterpret_cast<unsigned char*>(record) + 12,
                    plainOut.size() - 12) != 0)
        std::printf("note: the plain parse differs from the library's\n");
    ::close(plain);
    dlxVmrCommClose(1);

    // The parse alone, on the same reply text already in memory: the part
    // of the CPU time that is the scan-line parser's.
    {
        const std::string text = buildScanReply(kScans, kReadings);
        std::vector<double> libParse, plainParse;
        for (int rep = 0; rep < kRepetitions; ++rep) {
            libParse.push_back(measure([&] {
                                   korda32ex::ScansProcessor processor;
                                   record->entrySize = 12;
                                   record->scanCount = 0;
                                   std::string error;
                                   int code = 0;
                                   korda32ex::forEachLine(
                                       text, korda32ex::LineRule::Reply, [&](std::string_view l) {
                                           if (processor.parseLine(l, record, error, code))
                                               ++record->scanCount;
                                       });
                               }).cpuMs);
            plainParse.push_back(measure([&] {
                                     PlainParser parser(plainOut);
                                     parser.feed(text.data(), text.size(), kScans);
                                 }).cpuMs);
        }
        std::printf("note: readings: parse alone, library %.2f ms, plain from_chars %.2f ms\n",
                    median(libParse), median(plainParse));
    }
    const Medians L = medians(lib), B = medians(base);
    const double allowed = 1.25 * B.wallMs + 2 * kDrainMs;
    row("readings 10000x20 replay: time", ms(L.wallMs), ms(B.wallMs), L.wallMs / B.wallMs,
        "<= 1.25x + 20 ms (" + ms(allowed) + ")", L.wallMs <= allowed);
    row("readings 10000x20 replay: CPU", ms(L.cpuMs), ms(B.cpuMs), L.cpuMs / B.cpuMs, "<= 1.5x",
        L.cpuMs <= 1.5 * B.cpuMs);
    std::printf("note: readings: the plain client with two 10 ms looks takes %.1f ms\n",
                medians(looks).wallMs);
}

void virtualInstrumentRows() {
    korda::sim::Instrument in(korda::sim::Model::M7043A);
    korda::sim::TcpServer server(in);
    if (openBcn(3, server.port(), DLXVMR_MODEL_7043A) != 1) fail("cannot open the instrument");
    std::vector<int> channels;
    for (int i = 0; i < kReadings; ++i)
        channels.push_back(101 + i);
    korda::sim::setScanChannels(in, channels);
    in.execute("FORM:READ:TIME 1");
    in.execute("FORM:READ:ALAR 1");
    const int plain = connectLoopback(server.port());
    {
        // The plain connection ends its lines as the library's does.
        std::string ignore;
        exchangePlain(plain, "SYST:COMM:TERM CRLF\r\n*OPC?\r\n", [&](const char* d, std::size_t n) {
            ignore.append(d, n);
            return ignore.find('\n') != std::string::npos;
        });
    }
    const std::string queries = readQueries();
    std::vector<unsigned char> plainOut(DLXVMR_SCAN_BUFFER_SIZE(kScans, kReadings + 1));
    std::vector<std::uint32_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(kScans, kReadings + 1) / 4 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    std::vector<Sample> lib, base;
    for (int rep = 0; rep < 3; ++rep) {
        korda::sim::storeScans(in, kScans);
        const Sample l = measure([&] {
            if (dlxVmrScansGet(3, kScans, record) != 1) fail("dlxVmrScansGet from the instrument");
        });
        korda::sim::storeScans(in, kScans);
        const Sample b = measure([&] { plainFetch(plain, queries, plainOut); });
        lib.push_back(l);
        base.push_back(b);
    }
    ::close(plain);
    dlxVmrCommClose(3);
    const Medians L = medians(lib), B = medians(base);
    reportRow("readings 10000x20 virtual instrument: time", ms(L.wallMs), ms(B.wallMs),
              L.wallMs / B.wallMs);
    reportRow("readings 10000x20 virtual instrument: CPU", ms(L.cpuMs), ms(B.cpuMs),
              L.cpuMs / B.cpuMs);
}

// ---- USB ---------------------------------------------------------------------

// A pseudo-terminal whose master side answers "*IDN?" with an identity and
// any other line with the pre-built reply.
class PtyPeer {
  public:
    explicit PtyPeer(const std::string& reply) : reply_(reply) {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) fail("no pseudo-terminal");
        path_ = name;
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        thread_ = std::thread([this] { serve(); });
    }
    ~PtyPeer() {
        running_ = false;
        thread_.join();
        ::close(slave_);
        ::close(master_);
    }
    const std::string& path() const { return path_; }

  private:
    void serve() {
        std::string pending;
        char buffer[4096];
        while (running_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) continue;
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                const std::string& out = line.rfind("*IDN?", 0) == 0 ? identity_ : reply_;
                for (std::size_t done = 0; done < out.size();) {
                    const ssize_t w = ::write(master_, out.data() + done, out.size() - done);
                    if (w > 0) done += static_cast<std::size_t>(w);
                }
            }
        }
    }

    const std::string& reply_;
    const std::string identity_ = "KORDA,7043A,0,1.0\r\n";
    int master_ = -1, slave_ = -1;
    std::string path_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

void usbRow() {
    std::string reply = buildScanReply(4200, kReadings);
    reply.resize(1 << 20);
    reply += "\r\n" + kNoError;
    PtyPeer libraryPeer(reply), plainPeer(reply);
    ::setenv("KORDA_COM9", libraryPeer.path().c_str(), 1);
    korda32ex::USBCommunication usb(9);
    if (usb.open(1000) != 1) fail("USBCommunication cannot open the pseudo-terminal");
    usb.drain(100); // the rest of the identity

    const bool blocking = std::getenv("COMPARE_USB_BLOCKING") != nullptr;
    const int fd = ::open(plainPeer.path().c_str(),
                          O_RDWR | O_NOCTTY | O_CLOEXEC | (blocking ? 0 : O_NONBLOCK));
    if (fd < 0) fail("cannot open the plain pseudo-terminal");
    std::vector<char> raw(reply.size());

    const std::string request = "DATA:READ?\r\n";
    // A pseudo-terminal's speed swings with how the two threads of each
    // side are scheduled: many short rounds, alternating, give steady medians.
    std::vector<Sample> lib, base;
    for (int rep = 0; rep < 4 * kRepetitions + 1; ++rep) {
        std::string text;
        text.reserve(reply.size()); // the room the raw loop reads into
        const Sample l = measure([&] {
            if (usb.sendBulk(request, 1000) != 1) fail("USB write failed");
            while (text.size() < reply.size())
                if (usb.receive(1000, text) != 1) fail("USB read failed");
        });
        if (text != reply) fail("USB reply differs");
        const Sample b = measure([&] {
            if (::write(fd, request.data(), request.size()) < 0) fail("plain write failed");
            std::size_t got = 0;
            while (got < raw.size()) {
                const ssize_t n = ::read(fd, raw.data() + got, raw.size() - got);
                if (n < 0 && errno == EAGAIN) {
                    pollfd p{fd, POLLIN, 0};
                    ::poll(&p, 1, 1000);
                    continue;
                }
                if (n <= 0) fail("plain read failed");
                got += static_cast<std::size_t>(n);
            }
        });
        if (rep == 0) continue;
        lib.push_back(l);
        base.push_back(b);
    }
    ::close(fd);
    const Medians L = medians(lib), B = medians(base);
    row("USB 1 MB reply over a pseudo-terminal", ms(L.wallMs), ms(B.wallMs), L.wallMs / B.wallMs,
        "<= 1.5x", L.wallMs <= 1.5 * B.wallMs);
    std::printf("note: USB: CPU of the reading thread, library %.2f ms, raw loop %.2f ms\n",
                L.cpuMs, B.cpuMs);
}

// ---- Configuration apply -----------------------------------------------------

// Lines of a message that the replay peer answers.
std::size_t repliesExpected(const std::string& message,
                            const std::map<std::string, std::string>& table) {
    std::size_t count = 0;
    for (const auto& line : korda::test::lines(message))
        count += table.count(line);
    return count;
}

void applyRow() {
    korda::sim::Instrument reference(korda::sim::Model::M5129A);
    const auto table = identityTable(reference);
    ReplayPeer peer(table, "");
    if (openBcn(2, peer.port(), DLXVMR_MODEL_5129A) != 1) fail("cannot open BCN 2 to the peer");
    auto record = korda::test::fullRecord(DLXVMR_MODEL_5129A);

    // The messages of one apply, as the library writes them.
    peer.record(true);
    if (dlxVmrConfigSet(2, record.get(), 0, nullptr) != 1) fail("dlxVmrConfigSet failed");
    peer.record(false);
    // One read may hold less or more than one write; rebuild the writes from
    // the replies each needs: a write ends with its last answered line.
    std::string all;
    for (const auto& m : peer.recorded())
        all += m;
    std::vector<std::string> messages;
    {
        // Each exchange starts with "*CLS" (a checked batch, the store) or is
        // a single query (*OPT?, ROUT:SCAN?).
        std::string current;
        for (const auto& line : korda::test::lines(all)) {
            if (line.empty()) continue;
            const bool starts = line == "*CLS" || line == "*OPT?" || line == "ROUT:SCAN?";
            if (starts && !current.empty()) messages.push_back(current), current.clear();
            current += line + "\r\n";
        }
        if (!current.empty()) messages.push_back(current);
    }

    const int plain = connectLoopback(peer.port());
    // The plain client's part of the floor: the same writes and the same
    // replies, one exchange after the other, with no wait in between.
    auto plainExchanges = [&] {
        for (const auto& message : messages) {
            const std::size_t want = repliesExpected(message, table);
            std::size_t lines = 0;
            if (!exchangePlain(plain, message,
                               [&](const char* d, std::size_t n) {
                                   lines += static_cast<std::size_t>(std::count(d, d + n, '\n'));
                                   return lines >= want;
                               }) &&
                want > 0)
                fail("floor exchange failed");
        }
    };
    // The waits the library must make, counted rather than slept: a 10 ms
    // look for stale input before every exchange, the pause after the
    // commands, and the look that follows it.
    const double waits = static_cast<double>(messages.size()) * kDrainMs + kSettleMs + kDrainMs;

    std::vector<Sample> lib, base;
    for (int rep = 0; rep < 3; ++rep) {
        lib.push_back(measure([&] {
            if (dlxVmrConfigSet(2, record.get(), 0, nullptr) != 1) fail("dlxVmrConfigSet failed");
        }));
    }
    for (int rep = 0; rep < kRepetitions; ++rep)
        base.push_back(measure(plainExchanges));
    ::close(plain);
    dlxVmrCommClose(2);
    const Medians L = medians(lib), B = medians(base);
    const double floorMs = B.wallMs + waits;
    row("configuration apply (full 5129A record)", ms(L.wallMs), ms(floorMs), L.wallMs / floorMs,
        "<= 1.2x floor: plain client's same writes and replies + " + ms(waits) +
            " of waits (10 ms look per exchange, 1000 ms pause, 10 ms look)",
        L.wallMs <= 1.2 * floorMs);
    std::printf("note: apply: %zu exchanges, %zu bytes written; plain exchanges %.1f ms; library "
                "CPU %.1f ms\n",
                messages.size(), all.size(), B.wallMs, L.cpuMs);
}

// ---- Scale -------------------------------------------------------------------

void scaleRow() {
    constexpr int kInstruments = 64;
    constexpr std::size_t kScaleScans = 2000;
    korda::sim::Instrument reference(korda::sim::Model::M7043A);
    ReplayPeer peer(identityTable(reference), buildScanReply(kScaleScans, kReadings));
    for (int b = 1; b <= kInstruments; ++b)
        if (openBcn(100 + b, peer.port(), DLXVMR_MODEL_7043A) != 1) fail("cannot open the 64");
    const std::size_t bytes = DLXVMR_SCAN_BUFFER_SIZE(kScaleScans, kReadings) / 4 + 1;
    std::vector<std::vector<std::uint32_t>> buffers(kInstruments,
                                                    std::vector<std::uint32_t>(bytes));
    auto fetch = [&](int i) {
        auto* record = reinterpret_cast<ScanRecord*>(buffers[static_cast<std::size_t>(i)].data());
        if (dlxVmrScansGet(101 + i, kScaleScans, record) != 1 ||
            record->scanCount != static_cast<int>(kScaleScans))
            fail("scale fetch failed");
    };
    std::vector<double> serial, parallel;
    for (int rep = 0; rep < 3; ++rep) {
        serial.push_back(measure([&] {
                             for (int k = 0; k < kInstruments; ++k)
                                 fetch(0);
                         }).wallMs);
        parallel.push_back(measure([&] {
                               std::vector<std::thread> threads;
                               for (int i = 0; i < kInstruments; ++i)
                                   threads.emplace_back(fetch, i);
                               for (auto& t : threads)
                                   t.join();
                           }).wallMs);
    }
    for (int b = 1; b <= kInstruments; ++b)
        dlxVmrCommClose(100 + b);
    const double total = static_cast<double>(kInstruments * kScaleScans);
    const double one = total / (median(serial) / 1e3), all = total / (median(parallel) / 1e3);
    row("scale: 64 instruments at once vs one x 64", format("%.0f scans/s", all),
        format("%.0f scans/s", one), all / one, ">= 0.8x", all >= 0.8 * one);
}

} // namespace

int main(int argc, char** argv) {
    std::string only = argc > 1 ? argv[1] : "";
    dlxVmrLibInit(0);
    dlxVmrTimeoutSet(60);
    if (only.empty() || only == "readings") readingsRows();
    if (only.empty() || only == "vi") virtualInstrumentRows();
    if (only.empty() || only == "usb") usbRow();
    if (only.empty() || only == "apply") applyRow();
    if (only.empty() || only == "scale") scaleRow();
    dlxVmrLibExit();
    return 0;
}
