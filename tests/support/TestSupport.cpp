#include "TestSupport.h"

#include "platform/platform.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace korda::test {

namespace pf = korda32ex::platform;

std::string errorString(int code) {
    char text[512];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    return text;
}

bool waitUntil(const std::function<bool()>& predicate, unsigned boundMs) {
    const std::uint32_t start = pf::tickCount();
    while (!predicate()) {
        if (pf::tickCount() - start >= boundMs) return predicate();
        pf::sleepMs(2);
    }
    return true;
}

std::string ask(sim::Instrument& instrument, const std::string& line) {
    const auto replies = instrument.execute(line);
    return replies.empty() ? std::string() : replies.front();
}

std::map<std::string, std::string> captureTouched(sim::Instrument& instrument) {
    std::map<std::string, std::string> out;
    for (const char* q :
         {"TRIG:COUN?", "TRIG:TIM?", "TRIG:SOUR?", "TRIG:ALAR:CHAN?", "DATA:LOG:AUTO?",
          "DATA:LOG:DEST?", "ROUT:SCAN?", "ROUT:CHAN:STAT? (@1)", "MEMory:LOG:NFILes?"})
        out[q] = ask(instrument, q);
    return out;
}

namespace {

constexpr const char* kTestTimeoutVariable = "KORDA_TEST_TIMEOUT_MS";

void setVariable(const std::string& value) {
#ifdef _WIN32
    _putenv_s(kTestTimeoutVariable, value.c_str());
#else
    if (value.empty())
        ::unsetenv(kTestTimeoutVariable);
    else
        ::setenv(kTestTimeoutVariable, value.c_str(), 1);
#endif
}

} // namespace

ShortTimeLimit::ShortTimeLimit(unsigned ms) {
    setVariable(std::to_string(ms));
}

ShortTimeLimit::~ShortTimeLimit() {
    setVariable(""); // an empty value removes the variable
}

CommaLocale::CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) == nullptr) continue;
        try {
            previousGlobal_ = std::locale::global(std::locale(name));
        } catch (const std::runtime_error&) {
        }
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        active_ = std::string(probe) == "1,5"; // the comma is really in force
        return;
    }
}

CommaLocale::~CommaLocale() {
    std::locale::global(previousGlobal_);
    std::setlocale(LC_ALL, previous_.c_str());
}

int openLoopback(int bcn, std::uint16_t port, int model) {
    const uint8_t loopback[4] = {127, 0, 0, 1};
    dlxVmrCCFsetBCN(bcn, DLXVMR_INTERFACE_TCPIP, port, loopback, model);
    return dlxVmrCommOpen(bcn);
}

LoopbackClient::LoopbackClient(std::uint16_t port) : socket_(pf::socketCreate()) {
    pf::socketSetNonBlocking(socket_);
    if (pf::socketConnect(socket_, 0x7F000001, port) == pf::ConnectStart::InProgress)
        pf::socketWaitConnected(socket_, 5000);
}

void LoopbackClient::close() {
    pf::socketClose(socket_);
    socket_ = pf::kInvalidSocket;
}

void LoopbackClient::send(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const long n = pf::socketSend(socket_, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n != pf::kIoWouldBlock ||
                 pf::socketWaitWritable(socket_, 200) != pf::WaitResult::Ready)
            return;
    }
}

std::string LoopbackClient::lines(std::size_t count, unsigned boundMs) {
    const std::uint32_t start = pf::tickCount();
    std::size_t end = 0;
    for (std::size_t found = 0; found < count;) {
        const std::size_t lf = received_.find('\n', end);
        if (lf != std::string::npos) {
            end = lf + 1;
            ++found;
            continue;
        }
        const std::uint32_t spent = pf::tickCount() - start;
        char buffer[65536];
        if (spent >= boundMs ||
            pf::socketWaitReadable(socket_, boundMs - spent) != pf::WaitResult::Ready)
            break;
        const long n = pf::socketRecv(socket_, buffer, sizeof buffer);
        if (n == pf::kIoWouldBlock) continue;
        if (n <= 0) break;
        received_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string out = received_.substr(0, end);
    received_.erase(0, end);
    return out;
}

std::string LoopbackClient::ask(const std::string& text, std::size_t replies) {
    send(text);
    return lines(replies);
}

bool LoopbackClient::endedWithin(unsigned boundMs) {
    const std::uint32_t start = pf::tickCount();
    for (std::uint32_t spent = 0; spent < boundMs; spent = pf::tickCount() - start) {
        char buffer[65536];
        if (pf::socketWaitReadable(socket_, boundMs - spent) != pf::WaitResult::Ready) continue;
        const long n = pf::socketRecv(socket_, buffer, sizeof buffer);
        if (n == pf::kIoClosed || n == pf::kIoError) return true;
    }
    return false;
}

VirtualInstrumentSession::VirtualInstrumentSession(sim::Model model, int bcn)
    : VirtualInstrumentSession(model, bcn, sim::defaultModules(model)) {}

VirtualInstrumentSession::VirtualInstrumentSession(sim::Model model, int bcn,
                                                   const std::vector<std::string>& modules)
    : instrument_(model, modules), server_(instrument_), bcn_(bcn) {
    dlxVmrLibInit(0);
    openStatus_ = openLoopback(
        bcn, server_.port(), model == sim::Model::M7043A ? DLXVMR_MODEL_7043A : DLXVMR_MODEL_5129A);
}

VirtualInstrumentSession::~VirtualInstrumentSession() {
    dlxVmrCommClose(bcn_);
    dlxVmrLibExit();
}

std::string text16(const VmrChar16* units) {
    std::string s;
    for (std::size_t i = 0; i < VMR_TEXT_UNITS && units[i] != 0; ++i)
        s += units[i] < 0x80 ? static_cast<char>(units[i]) : '?';
    return s;
}

std::vector<std::string> lines(const std::string& message) {
    std::vector<std::string> out;
    for (std::size_t pos = 0, end = 0; pos < message.size(); pos = end + 2) {
        end = std::min(message.find("\r\n", pos), message.size());
        out.push_back(message.substr(pos, end - pos));
    }
    return out;
}

ScriptedPeer::ScriptedPeer(Responder responder) : responder_(std::move(responder)) {
    pf::netStartup();
    listener_ = pf::socketListen(0, true, port_);
    thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    drop();
    pf::socketClose(listener_);
    pf::netCleanup();
}

std::vector<std::string> ScriptedPeer::messages() {
    std::lock_guard<std::mutex> g(mutex_);
    return messages_;
}

void ScriptedPeer::drop() {
    if (current_ != pf::kInvalidSocket) pf::socketClose(current_);
    current_ = pf::kInvalidSocket;
    endlessWhile_ = nullptr;
}

// Writes all of text unless the connection fails or stays full for a while
// (then the rest is dropped, as by a peer that gives up).
void ScriptedPeer::writeAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size() && current_ != pf::kInvalidSocket) {
        const long n = pf::socketSend(current_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n != pf::kIoWouldBlock ||
                   pf::socketWaitWritable(current_, 500) != pf::WaitResult::Ready) {
            return;
        }
    }
}

// One more piece of an endless reply, or its end.
void ScriptedPeer::stream() {
    if (!endlessWhile_()) {
        endlessWhile_ = nullptr;
        return;
    }
    static const std::string chunk(4096, 'x');
    const long n = pf::socketSend(current_, chunk.data(), chunk.size());
    if (n == pf::kIoWouldBlock)
        pf::socketWaitWritable(current_, 5);
    else if (n < 0)
        drop();
}

void ScriptedPeer::run() {
    std::string pending;
    while (running_) {
        if (pf::socketWaitReadable(listener_, 0) == pf::WaitResult::Ready) {
            const auto s = pf::socketAccept(listener_);
            if (s != pf::kInvalidSocket) {
                drop();
                current_ = s;
                pending.clear();
                ++connections_;
            }
        }
        if (hangUp_.exchange(false)) drop();
        if (current_ == pf::kInvalidSocket) {
            pf::sleepMs(2);
            continue;
        }
        if (endlessWhile_) {
            stream();
            continue;
        }
        if (pf::socketWaitReadable(current_, 5) != pf::WaitResult::Ready) continue;
        char buffer[65536];
        const long n = pf::socketRecv(current_, buffer, sizeof buffer);
        if (n == pf::kIoWouldBlock) continue;
        if (n <= 0) {
            drop();
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        const auto lastLf = pending.rfind('\n');
        if (lastLf == std::string::npos) continue;
        const std::string message = pending.substr(0, lastLf + 1);
        pending.erase(0, lastLf + 1);
        {
            std::lock_guard<std::mutex> g(mutex_);
            messages_.push_back(message);
        }
        const Action a = responder_(message, connections_.load());
        if (a.trickleMs != 0) {
            for (std::size_t i = 0; i < a.reply.size() && running_; ++i) {
                if (pf::socketSend(current_, a.reply.data() + i, 1) != 1) break;
                pf::sleepMs(a.trickleMs);
            }
        } else {
            writeAll(a.reply);
        }
        if (a.written) a.written();
        endlessWhile_ = a.endlessWhile;
        if (a.closeAfter) drop();
    }
}

} // namespace korda::test
