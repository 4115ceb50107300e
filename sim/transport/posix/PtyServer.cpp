// Pseudo-terminal server of the virtual instrument (Linux).
#include "transport/PtyServer.h"

#include "transport/TcpServer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace korda::sim {

namespace {
constexpr int kPollMs = 20;
constexpr int kWriteWaitMs = 1000;
} // namespace

struct PtyServer::Impl {
    explicit Impl(Instrument& in) : instrument(in) {}

    Instrument& instrument;
    int master = -1;
    // The sim's own descriptor of the slave side. Holding it keeps the
    // terminal alive while the application closes and reopens its port.
    int slave = -1;
    std::string slavePath;
    std::string linkPath;
    std::string error;
    std::atomic<bool> running{false};
    std::atomic<bool> reading{true};
    std::thread thread;

    bool setUp();
    void serve();
    bool writeAll(const char* data, std::size_t length);
};

bool PtyServer::Impl::setUp() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    slavePath = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "cannot open " + slavePath + ": " + std::strerror(errno);
        return false;
    }
    // A serial line carries raw bytes: no echo, no line editing, no
    // translation of line ends in either direction.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL, 0) | O_NONBLOCK);
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(slavePath.c_str(), linkPath.c_str()) != 0) {
            error = "cannot link " + linkPath + ": " + std::strerror(errno);
            linkPath.clear();
            return false;
        }
    }
    return true;
}

bool PtyServer::Impl::writeAll(const char* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length && running) {
        const ssize_t n = ::write(master, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        // Nobody reads the port and its buffer is full: wait a little, then
        // drop the rest as a serial line would.
        pollfd p{master, POLLOUT, 0};
        if (::poll(&p, 1, kWriteWaitMs) <= 0) return true;
    }
    return true;
}

void PtyServer::Impl::serve() {
    auto session = std::make_unique<Session>(instrument);
    auto writer = std::make_unique<FaultyWriter>(instrument);
    auto writeBytes = [this](const char* d, std::size_t n) { return writeAll(d, n); };
    const auto deliver = [&](const std::string& reply) {
        if (writer->write(reply, writeBytes)) return;
        // An injected disconnect: the line drops what was on its way and
        // the instrument starts over with a fresh session.
        ::tcflush(master, TCIOFLUSH);
        session = std::make_unique<Session>(instrument);
        writer = std::make_unique<FaultyWriter>(instrument);
    };
    char buffer[4096];
    while (running) {
        int look = kPollMs;
        if (session->waiting()) {
            const std::int64_t left = session->waitMs();
            if (left == 0) {
                deliver(session->resume());
                continue;
            }
            look = static_cast<int>(std::min<std::int64_t>(left, kPollMs));
        }
        if (!reading || session->inputFull()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(look));
            continue;
        }
        pollfd p{master, POLLIN, 0};
        const int r = ::poll(&p, 1, look);
        if (r <= 0) continue;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            // EIO while no slave is open; the sim holds one, so only wait.
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        deliver(session->feed(buffer, static_cast<std::size_t>(n)));
    }
}

PtyServer::PtyServer(Instrument& instrument, const std::string& linkPath)
    : impl_(std::make_unique<Impl>(instrument)) {
    impl_->linkPath = linkPath;
    if (!impl_->setUp()) return;
    impl_->running = true;
    impl_->thread = std::thread([this] { impl_->serve(); });
}

PtyServer::~PtyServer() {
    stop();
}

bool PtyServer::ready() const {
    return impl_->error.empty() && impl_->master >= 0;
}
std::string PtyServer::error() const {
    return impl_->error;
}
void PtyServer::setReading(bool reading) {
    impl_->reading = reading;
}
std::string PtyServer::path() const {
    return impl_->slavePath;
}

void PtyServer::stop() {
    impl_->running = false;
    if (impl_->thread.joinable()) impl_->thread.join();
    if (!impl_->linkPath.empty()) {
        // Only our own link: another server may have taken the name since.
        char target[256];
        const ssize_t n = ::readlink(impl_->linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == impl_->slavePath)
            ::unlink(impl_->linkPath.c_str());
    }
    impl_->linkPath.clear();
    if (impl_->slave >= 0) ::close(impl_->slave);
    if (impl_->master >= 0) ::close(impl_->master);
    impl_->slave = impl_->master = -1;
}

} // namespace korda::sim
