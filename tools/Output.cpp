#include "Output.h"

#include "OutputFile.h"
#include "store/Times.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#define KORDA_ISATTY _isatty
#define KORDA_FILENO _fileno
#else
#include <unistd.h>
#define KORDA_ISATTY isatty
#define KORDA_FILENO fileno
#endif

namespace korda::tool {

namespace {

// An instrument's message arrives quoted ("FROB 1 => \"Undefined header"):
// the closing mark is put back.
std::string balanced(std::string text) {
    if (std::count(text.begin(), text.end(), '"') % 2 != 0) text += '"';
    return text;
}

} // namespace

std::string statusText(int status) {
    char text[512] = {};
    dlxVmrGetErrorStringA(status, text, sizeof text);
    return balanced(text);
}

int exitCodeFor(int status) {
    switch (status) {
    case DLXVMR_E_CANNOT_OPEN_SOCKET:
    case DLXVMR_E_SOCKET_READ:
    case DLXVMR_E_SOCKET_SEND:
    case DLXVMR_E_TIMEOUT:
    case DLXVMR_E_WINSOCK_GENERAL:
    case DLXVMR_E_WINSOCK_INIT:
    case DLXVMR_E_NETWORK_TIMEOUT:
    case DLXVMR_E_CONNECTION_REFUSED:
    case DLXVMR_E_INVALID_COM_PORT:
    case DLXVMR_E_CONNECT_TIMEOUT:
    case DLXVMR_E_INSTRUMENT_NOT_FOUND:
        return kExitCommunication;
    default:
        return kExitInstrument;
    }
}

void message(const std::string& text) {
    // What was printed before the message comes before it.
    standardOutput().flush();
    std::fprintf(stderr, "korda: %s\n", text.c_str());
}

std::string failureText(const std::string& doing, int status) {
    // The library's text for a refused connection guesses at causes that
    // do not apply to most (a second user); the plain fact reads better.
    const std::string text = status == DLXVMR_E_CONNECTION_REFUSED
                                 ? "nothing accepts connections at that address and port"
                                 : statusText(status);
    std::string out = doing + ": " + text + " (" + std::to_string(status) + ")";
    char detail[1024] = {};
    dlxVmrGetLastErrorDetailA(detail, sizeof detail);
    const std::string d = balanced(detail);
    if (d.empty() || d == text) return out;
    out += ": " + d;
#if !defined(_WIN32)
    if (d.find("/dev/tty") != std::string::npos && d.find("Permission denied") != std::string::npos)
        out += " \u2014 is the user in the dialout group?";
#endif
    return out;
}

int reportFailure(const std::string& doing, int status) {
    message(failureText(doing, status));
    return exitCodeFor(status);
}

std::string isoTime(const ScanEntry& e) {
    // The instrument's clock keeps this PC's local time.
    const std::int64_t local =
        store::civilToMs(2000 + e.year, e.month, e.day, e.hour, e.minute, e.second, e.fraction);
    const int offset = store::localOffsetMinutes(local);
    return store::isoText(local - static_cast<std::int64_t>(offset) * 60000, offset, true);
}

std::string isoNow() {
    return store::nowIso();
}

std::string counted(long long n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string readingText(float value) {
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (noReading(value)) return "";
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

Progress::Progress(std::string what, bool wanted)
    : what_(std::move(what)), terminal_(wanted && KORDA_ISATTY(KORDA_FILENO(stderr)) != 0) {}

bool Progress::outputIsTerminal() {
    return KORDA_ISATTY(KORDA_FILENO(stdout)) != 0;
}

Progress::~Progress() {
    if (shown_) std::fputs("\n", stderr);
}

void Progress::update(long long done, long long total) {
    if (!terminal_) return;
    if (total > 0)
        std::fprintf(stderr, "\r%s: %lld of %lld", what_.c_str(), done, total);
    else
        std::fprintf(stderr, "\r%s: %lld (Ctrl-C stops)", what_.c_str(), done);
    std::fflush(stderr);
    shown_ = true;
}

struct WaitNotice::Impl {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
};

WaitNotice::WaitNotice(std::string what) {
    if (KORDA_ISATTY(KORDA_FILENO(stderr)) == 0) return;
    impl_ = std::make_unique<Impl>();
    impl_->thread = std::thread([impl = impl_.get(), what = std::move(what)] {
        std::unique_lock<std::mutex> lock(impl->mutex);
        if (impl->done.wait_for(lock, std::chrono::seconds(2), [impl] { return impl->finished; }))
            return;
        std::fprintf(stderr, "korda: waiting for the instrument: %s...\n", what.c_str());
    });
}

WaitNotice::~WaitNotice() {
    if (!impl_) return;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->finished = true;
    }
    impl_->done.notify_one();
    impl_->thread.join();
}

} // namespace korda::tool
