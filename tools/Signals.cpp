#include "Signals.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace korda::tool {

namespace {

std::atomic<bool> stop{false};
std::atomic<int> scopes{0};
std::atomic<int> signalSeen{0};

extern "C" void onStopSignal(int s) {
    signalSeen = s;
    stop = true;
}

#if defined(_WIN32)
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif

void catchStopSignals(bool on) {
    for (const int s : kStopSignals) {
#if defined(_WIN32)
        std::signal(s, on ? onStopSignal : SIG_DFL);
#else
        // Restarted system calls: a signal never turns a read or a write of
        // the library into a failure.
        struct sigaction a {};
        a.sa_handler = on ? onStopSignal : SIG_DFL;
        a.sa_flags = SA_RESTART;
        sigemptyset(&a.sa_mask);
        sigaction(s, &a, nullptr);
#endif
    }
}

} // namespace

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
        catchStopSignals(true);
    }
}

StopScope::~StopScope() {
    if (--scopes == 0) catchStopSignals(false);
}

void pauseUnlessStopped(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
}

} // namespace korda::tool
