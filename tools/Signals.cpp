#include "Signals.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace korda::tool {

namespace {

std::atomic<bool> stop{false};
std::atomic<int> scopes{0};
std::atomic<int> signalSeen{0};

// The unfinished output file, for the handler: a fixed buffer, as a
// handler may not allocate. An empty text is no file.
char pending[4096];

extern "C" void onStopSignal(int s) {
    if (scopes > 0) {
        signalSeen = s;
        stop = true;
        return;
    }
#if defined(_WIN32)
    if (pending[0] != '\0') std::remove(pending);
    std::signal(s, SIG_DFL);
#else
    if (pending[0] != '\0') unlink(pending);
    struct sigaction a {};
    a.sa_handler = SIG_DFL;
    sigemptyset(&a.sa_mask);
    sigaction(s, &a, nullptr);
#endif
    std::raise(s);
}

} // namespace

void installSignalHandlers() {
#if defined(_WIN32)
    for (const int s : {SIGINT, SIGTERM})
        std::signal(s, onStopSignal);
#else
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        // Restarted system calls: a signal never turns a read or a write of
        // the library into a failure.
        struct sigaction a {};
        a.sa_handler = onStopSignal;
        a.sa_flags = SA_RESTART;
        sigemptyset(&a.sa_mask);
        sigaction(s, &a, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool stopRequested() {
    return stop;
}

int stopSignal() {
    return signalSeen;
}

void requestStop() {
    stop = true;
}

StopScope::StopScope() {
    if (scopes++ == 0) {
        stop = false;
        signalSeen = 0;
    }
}

StopScope::~StopScope() {
    --scopes;
}

void removeOnSignal(const std::string& path) {
    // Cleared first, so that the handler never sees half a name.
    pending[0] = '\0';
    if (path.size() >= sizeof pending) return;
    std::memcpy(pending + 1, path.c_str() + 1, path.size());
    pending[0] = path.empty() ? '\0' : path[0];
}

void pauseUnlessStopped(long long ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10LL)));
}

} // namespace korda::tool
