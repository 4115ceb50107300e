// POSIX backend of the platform layer (Linux).
#include "platform/TextConversion.h"
#include "platform/platform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <type_traits>
#include <unistd.h>

namespace korda32ex::platform {

namespace {

std::uint64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

// poll() on one descriptor, retried on EINTR with the time that remains.
// Returns the poll result: >0 ready (revents filled), 0 timeout, <0 failure.
int pollOne(int fd, short events, std::uint32_t timeoutMs, short& revents) {
    const std::uint64_t deadline = monotonicMs() + timeoutMs;
    for (;;) {
        const std::uint64_t now = monotonicMs();
        const std::uint64_t left = now >= deadline ? 0 : deadline - now;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left > INT_MAX ? INT_MAX : left));
        if (r < 0 && errno == EINTR) continue;
        revents = p.revents;
        return r;
    }
}

} // namespace

// ---- System errors -------------------------------------------------------------

int lastSystemError() {
    return errno;
}

std::string systemErrorText(int code) {
    char buffer[256] = "";
    // The GNU and the XSI strerror_r differ in what they return; both fill
    // buffer or hand back a static text.
    const auto r = ::strerror_r(code, buffer, sizeof buffer);
    if constexpr (std::is_same_v<decltype(r), char* const>)
        return r != nullptr ? std::string(r) : std::string(buffer);
    else
        return r == 0 ? std::string(buffer) : "error " + std::to_string(code);
}

// ---- Network ---------------------------------------------------------------

bool netStartup() {
    return true;
}
void netCleanup() {}

SocketHandle socketCreate() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kInvalidSocket;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool socketSetNonBlocking(SocketHandle s) {
    const int fd = static_cast<int>(s);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

ConnectStart socketConnect(SocketHandle s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    int r;
    do {
        r = ::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (r != 0 && errno == EINTR);
    if (r == 0) return ConnectStart::Connected;
    if (errno == EINPROGRESS || errno == EAGAIN) return ConnectStart::InProgress;
    if (errno == ECONNREFUSED) return ConnectStart::Refused;
    return ConnectStart::Failed;
}

WaitResult socketWaitConnected(SocketHandle s, std::uint32_t timeoutMs) {
    short revents = 0;
    const int r = pollOne(static_cast<int>(s), POLLOUT, timeoutMs, revents);
    if (r < 0) return WaitResult::Failed;
    if (r == 0) return WaitResult::Timeout;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return WaitResult::Exception;
    if (err != 0) {
        errno = err; // the connect's own reason, for lastSystemError()
        return WaitResult::Exception;
    }
    if (revents & (POLLERR | POLLHUP)) {
        errno = ECONNREFUSED;
        return WaitResult::Exception;
    }
    return WaitResult::Ready;
}

WaitResult socketWaitReadable(SocketHandle s, std::uint32_t timeoutMs) {
    short revents = 0;
    const int r = pollOne(static_cast<int>(s), POLLIN, timeoutMs, revents);
    if (r < 0) return WaitResult::Failed;
    if (r == 0) return WaitResult::Timeout;
    return WaitResult::Ready;
}

WaitResult socketWaitWritable(SocketHandle s, std::uint32_t timeoutMs) {
    short revents = 0;
    const int r = pollOne(static_cast<int>(s), POLLOUT, timeoutMs, revents);
    if (r < 0) return WaitResult::Failed;
    if (r == 0) return WaitResult::Timeout;
    if (revents & (POLLERR | POLLNVAL)) return WaitResult::Exception;
    return WaitResult::Ready;
}

long socketRecv(SocketHandle s, char* buffer, std::size_t length) {
    for (;;) {
        const ssize_t n = ::recv(static_cast<int>(s), buffer, length, 0);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return kIoClosed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return kIoWouldBlock;
        return kIoError;
    }
}

long socketSend(SocketHandle s, const char* data, std::size_t length) {
    for (;;) {
        const ssize_t n = ::send(static_cast<int>(s), data, length, MSG_NOSIGNAL);
        if (n >= 0) return n == 0 ? kIoWouldBlock : static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return kIoWouldBlock;
        return kIoError;
    }
}

void socketClose(SocketHandle s) {
    if (s == kInvalidSocket) return;
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
    ::close(static_cast<int>(s));
}

SocketHandle socketListen(std::uint16_t port, bool loopbackOnly, std::uint16_t& boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kInvalidSocket;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::close(fd);
        return kInvalidSocket;
    }
    boundPort = ntohs(sa.sin_port);
    return fd;
}

SocketHandle socketAccept(SocketHandle listener) {
    const int fd =
        ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return kInvalidSocket;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool parseIPv4(const char* text, std::uint32_t& address) {
    in_addr a{};
    if (text == nullptr || ::inet_aton(text, &a) == 0) return false;
    address = ntohl(a.s_addr);
    return true;
}

// ---- Serial ports ------------------------------------------------------------

namespace {

// COM k is the device named by KORDA_COM<k>, else /dev/ttyACM<k-1>.
std::string comDevicePath(int comNumber) {
    const std::string var = "KORDA_COM" + std::to_string(comNumber);
    if (const char* p = std::getenv(var.c_str()); p != nullptr && *p != '\0') return p;
    return "/dev/ttyACM" + std::to_string(comNumber - 1);
}

// Closes fd after a failed step and keeps that step's errno for the caller.
SerialHandle closeFailed(int fd) {
    const int err = errno;
    serialClose(fd);
    errno = err;
    return kInvalidSerial;
}

} // namespace

std::string serialPortName(int comNumber) {
    return comDevicePath(comNumber);
}

SerialHandle serialOpen(int comNumber) {
    if (comNumber < 1) {
        errno = ENOENT;
        return kInvalidSerial;
    }
    const std::string path = comDevicePath(comNumber);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidSerial;
    // Exclusive use: a port that another handle holds is refused. The lock
    // covers every opener that locks (this library in any process, root
    // included); TIOCEXCL also keeps out other programs that do not lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errno = EBUSY;
        return closeFailed(fd);
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) return closeFailed(fd);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return closeFailed(fd);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return closeFailed(fd);
    // A freshly opened port starts empty, as a USB serial device does when
    // the last holder closed it, even when another holder kept it open.
    ::tcflush(fd, TCIOFLUSH);
    return fd;
}

long serialWrite(SerialHandle h, const char* data, std::size_t length, std::uint32_t timeoutMs) {
    if (h == kInvalidSerial) return kSerialError;
    const int fd = static_cast<int>(h);
    const std::uint64_t deadline = monotonicMs() + timeoutMs;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return kSerialError;
        const std::uint64_t now = monotonicMs();
        if (now >= deadline) break;
        short revents = 0;
        const int r = pollOne(fd, POLLOUT, static_cast<std::uint32_t>(deadline - now), revents);
        if (r < 0) return kSerialError;
        if (r == 0) break;
    }
    return static_cast<long>(done);
}

long serialRead(SerialHandle h, char* buffer, std::size_t length, std::uint32_t timeoutMs) {
    if (h == kInvalidSerial) return kSerialError;
    const int fd = static_cast<int>(h);
    // What has already arrived is taken at once: a long reply then costs one
    // call per chunk rather than a wait and a read. Anything else (nothing
    // there yet, a hang-up, an error) goes through the wait below.
    if (const ssize_t n = ::read(fd, buffer, length); n > 0) return static_cast<long>(n);
    for (;;) {
        short revents = 0;
        const int r = pollOne(fd, POLLIN, timeoutMs, revents);
        if (r < 0) return kSerialError;
        if (r == 0) return kSerialTimeout;
        if (revents & POLLNVAL) {
            errno = EBADF;
            return kSerialError;
        }
        const ssize_t n = ::read(fd, buffer, length);
        if (n > 0) return static_cast<long>(n);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        // End of file or a hang-up: the port is gone.
        if (n == 0) errno = EIO;
        return kSerialError;
    }
}

void serialClose(SerialHandle h) {
    if (h == kInvalidSerial) return;
    // Lift the exclusive mode before closing: it belongs to the terminal, not
    // to this descriptor, and would otherwise outlive the close while another
    // holder keeps the terminal open.
    ::ioctl(static_cast<int>(h), TIOCNXCL);
    ::close(static_cast<int>(h));
}

// ---- Time --------------------------------------------------------------------

std::uint32_t tickCount() {
    return static_cast<std::uint32_t>(monotonicMs());
}

void sleepMs(std::uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

namespace {
CalendarTime fromTm(const std::tm& t, long nanoseconds) {
    return CalendarTime{t.tm_year + 1900,
                        t.tm_mon + 1,
                        t.tm_mday,
                        t.tm_hour,
                        t.tm_min,
                        t.tm_sec,
                        static_cast<int>(nanoseconds / 1000000L)};
}
} // namespace

CalendarTime localTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm t{};
    localtime_r(&ts.tv_sec, &t);
    return fromTm(t, ts.tv_nsec);
}

CalendarTime utcTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm t{};
    gmtime_r(&ts.tv_sec, &t);
    return fromTm(t, ts.tv_nsec);
}

// ---- Locks ---------------------------------------------------------------------

static_assert(sizeof(pthread_mutex_t) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}
RecursiveLock::~RecursiveLock() {
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_));
}
void RecursiveLock::lock() {
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_));
}
void RecursiveLock::unlock() {
    pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_));
}

// ---- Text and files --------------------------------------------------------------

namespace {
bool classicLocale() {
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}
} // namespace

std::size_t narrowToWide(const char* text, wchar_t* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    std::size_t n = 0;
    if (text == nullptr) {
        out[0] = L'\0';
        return 0;
    }
    if (classicLocale()) {
        // The "C" locale maps every byte to the character of the same value.
        for (; text[n] != '\0' && n + 1 < capacity; ++n)
            out[n] = static_cast<wchar_t>(static_cast<unsigned char>(text[n]));
        out[n] = L'\0';
        return n;
    }
    return narrowToWideByCharacter(text, out, capacity);
}

std::string wideToNarrow(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    const bool classic = classicLocale();
    std::mbstate_t st{};
    char buf[MB_LEN_MAX];
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (classic) {
            const auto v = static_cast<std::uint32_t>(*p);
            out.push_back(v <= 0xFF ? static_cast<char>(v) : '?');
            continue;
        }
        const std::size_t r = std::wcrtomb(buf, *p, &st);
        if (r == static_cast<std::size_t>(-1)) {
            out.push_back('?');
            st = std::mbstate_t{};
        } else {
            out.append(buf, r);
        }
    }
    return out;
}

namespace {
// The narrow name of a wide path ("\\" taken as "/"); false when a character
// cannot be expressed in the locale (it would name another file).
bool narrowPath(const wchar_t* path, std::string& narrow) {
    const bool classic = classicLocale();
    std::mbstate_t st{};
    char buf[MB_LEN_MAX];
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        const wchar_t c = *p == L'\\' ? L'/' : *p;
        if (classic) {
            if (static_cast<std::uint32_t>(c) > 0xFF) {
                errno = EILSEQ;
                return false;
            }
            narrow.push_back(static_cast<char>(c));
            continue;
        }
        const std::size_t r = std::wcrtomb(buf, c, &st);
        if (r == static_cast<std::size_t>(-1)) return false; // errno: EILSEQ
        narrow.append(buf, r);
    }
    return true;
}

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}
} // namespace

ReadOnlyFile::ReadOnlyFile(const wchar_t* path) {
    std::string narrow;
    if (path == nullptr || !narrowPath(path, narrow)) return;
    int fd;
    do
        fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd >= 0) handle_ = fd;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (isOpen()) ::close(static_cast<int>(handle_));
}

bool ReadOnlyFile::stamp(FileStamp& out, std::uint32_t settleMs) const {
    struct stat st {};
    if (!isOpen() || ::fstat(static_cast<int>(handle_), &st) != 0) return false;
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modified = nanoseconds(st.st_mtim);
    out.changed = nanoseconds(st.st_ctim);
    out.volume = static_cast<std::uint64_t>(st.st_dev);
    out.fileNumber = static_cast<std::uint64_t>(st.st_ino);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t limit = nanoseconds(now) - std::int64_t{settleMs} * 1000000;
    out.settled = out.modified <= limit && out.changed <= limit;
    return true;
}

long long ReadOnlyFile::readAt(std::uint64_t offset, char* buffer, std::size_t length) const {
    if (!isOpen()) return -1;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(static_cast<int>(handle_), buffer + done, length - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

std::FILE* openFileWide(const wchar_t* path, const char* mode) {
    if (path == nullptr) return nullptr;
    // Paths may use "\\" as a separator, as they do on Windows. A character
    // the locale cannot express would name another file: refuse the path.
    std::string narrow;
    if (!narrowPath(path, narrow)) return nullptr;
    return std::fopen(narrow.c_str(), mode);
}

} // namespace korda32ex::platform
