// Windows backend of the platform layer: Winsock 2, Win32 serial ports,
// GetTickCount, critical sections and the runtime's wide-text functions.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/TextConversion.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <set>
#include <string>

namespace korda32ex::platform {

// ---- System errors -------------------------------------------------------------

int lastSystemError() {
    return static_cast<int>(::GetLastError());
}

std::string systemErrorText(int code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || text == nullptr) return "error " + std::to_string(code);
    std::string result = wideToNarrow(text);
    ::LocalFree(text);
    // The system's texts end with a full stop and a line end.
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

// ---- Network ---------------------------------------------------------------

bool netStartup() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void netCleanup() {
    ::WSACleanup();
}

namespace {

SOCKET sock(SocketHandle s) {
    return static_cast<SOCKET>(s);
}

timeval toTimeval(std::uint32_t ms) {
    timeval tv{};
    tv.tv_sec = static_cast<long>(ms / 1000u);
    tv.tv_usec = static_cast<long>((ms % 1000u) * 1000u);
    return tv;
}

// select() on one socket for the given sets. Returns the select result and
// which sets still hold the socket.
int selectOne(SocketHandle s, bool read, bool write, bool except, std::uint32_t timeoutMs,
              bool& inRead, bool& inWrite, bool& inExcept) {
    fd_set rs, ws, es;
    FD_ZERO(&rs);
    FD_ZERO(&ws);
    FD_ZERO(&es);
    if (read) FD_SET(sock(s), &rs);
    if (write) FD_SET(sock(s), &ws);
    if (except) FD_SET(sock(s), &es);
    timeval tv = toTimeval(timeoutMs);
    const int r =
        ::select(0, read ? &rs : nullptr, write ? &ws : nullptr, except ? &es : nullptr, &tv);
    inRead = read && FD_ISSET(sock(s), &rs);
    inWrite = write && FD_ISSET(sock(s), &ws);
    inExcept = except && FD_ISSET(sock(s), &es);
    return r;
}

} // namespace

SocketHandle socketCreate() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return static_cast<SocketHandle>(s);
}

bool socketSetNonBlocking(SocketHandle s) {
    u_long on = 1;
    return ::ioctlsocket(sock(s), FIONBIO, &on) == 0;
}

ConnectStart socketConnect(SocketHandle s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = ::htons(port);
    sa.sin_addr.s_addr = ::htonl(address);
    if (::connect(sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return ConnectStart::Connected;
    const int err = ::WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAEINPROGRESS) return ConnectStart::InProgress;
    if (err == WSAECONNREFUSED) return ConnectStart::Refused;
    return ConnectStart::Failed;
}

WaitResult socketWaitConnected(SocketHandle s, std::uint32_t timeoutMs) {
    bool r = false, w = false, e = false;
    const int n = selectOne(s, false, true, true, timeoutMs, r, w, e);
    if (n == SOCKET_ERROR) return WaitResult::Failed;
    if (n == 0) return WaitResult::Timeout;
    if (w) return WaitResult::Ready;
    if (e) {
        // The connect's own reason, for lastSystemError().
        int err = 0;
        int len = sizeof err;
        if (::getsockopt(sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 ||
            err == 0)
            err = WSAECONNREFUSED;
        ::WSASetLastError(err);
        return WaitResult::Exception;
    }
    return WaitResult::Ready;
}

WaitResult socketWaitReadable(SocketHandle s, std::uint32_t timeoutMs) {
    bool r = false, w = false, e = false;
    const int n = selectOne(s, true, false, true, timeoutMs, r, w, e);
    if (n == SOCKET_ERROR) return WaitResult::Failed;
    if (n == 0) return WaitResult::Timeout;
    return WaitResult::Ready;
}

WaitResult socketWaitWritable(SocketHandle s, std::uint32_t timeoutMs) {
    bool r = false, w = false, e = false;
    const int n = selectOne(s, false, true, true, timeoutMs, r, w, e);
    if (n == SOCKET_ERROR) return WaitResult::Failed;
    if (n == 0) return WaitResult::Timeout;
    if (e && !w) return WaitResult::Exception;
    return WaitResult::Ready;
}

long socketRecv(SocketHandle s, char* buffer, std::size_t length) {
    const int want = static_cast<int>(length > INT_MAX ? INT_MAX : length);
    const int n = ::recv(sock(s), buffer, want, 0);
    if (n > 0) return n;
    if (n == 0) return kIoClosed;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? kIoWouldBlock : kIoError;
}

long socketSend(SocketHandle s, const char* data, std::size_t length) {
    const int want = static_cast<int>(length > INT_MAX ? INT_MAX : length);
    const int n = ::send(sock(s), data, want, 0);
    if (n > 0) return n;
    if (n == 0) return kIoWouldBlock;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? kIoWouldBlock : kIoError;
}

void socketClose(SocketHandle s) {
    if (s == kInvalidSocket) return;
    ::shutdown(sock(s), SD_BOTH);
    ::closesocket(sock(s));
}

SocketHandle socketListen(std::uint16_t port, bool loopbackOnly, std::uint16_t& boundPort) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    // Exclusive use of the port, so that two listeners never share it.
    const BOOL one = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
                 sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = ::htons(port);
    sa.sin_addr.s_addr = ::htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    int len = sizeof sa;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(s, 16) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::closesocket(s);
        return kInvalidSocket;
    }
    boundPort = ::ntohs(sa.sin_port);
    return static_cast<SocketHandle>(s);
}

SocketHandle socketAccept(SocketHandle listener) {
    const SOCKET s = ::accept(sock(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) != 0) {
        ::closesocket(s);
        return kInvalidSocket;
    }
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return static_cast<SocketHandle>(s);
}

bool parseIPv4(const char* text, std::uint32_t& address) {
    if (text == nullptr) return false;
    const unsigned long a = ::inet_addr(text);
    // inet_addr answers INADDR_NONE both for a rejected text and for the
    // broadcast address itself; only the latter is an address.
    if (a == INADDR_NONE && std::strcmp(text, "255.255.255.255") != 0) return false;
    address = ::ntohl(a);
    return true;
}

// ---- Serial ports ------------------------------------------------------------

namespace {

// COM numbers held open by this process. Windows serial drivers refuse a
// second open of a port in use; some drivers and compatibility layers do not,
// so the library never hands out a port it already holds.
std::mutex openPortsMutex;
std::set<int> openPorts;

struct SerialPort {
    HANDLE handle;
    int comNumber;
};

SerialPort* port(SerialHandle h) {
    return reinterpret_cast<SerialPort*>(h);
}

// A time limit for COMMTIMEOUTS: at least 1 ms (all-zero limits mean "wait
// for ever") and below MAXDWORD (which has a meaning of its own).
DWORD commLimit(std::uint32_t ms) {
    if (ms == 0) return 1;
    if (ms >= MAXDWORD) return MAXDWORD - 1;
    return ms;
}

} // namespace

std::string serialPortName(int comNumber) {
    return "COM" + std::to_string(comNumber);
}

SerialHandle serialOpen(int comNumber) {
    if (comNumber < 1) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return kInvalidSerial;
    }
    {
        std::lock_guard<std::mutex> g(openPortsMutex);
        if (!openPorts.insert(comNumber).second) {
            ::SetLastError(ERROR_ACCESS_DENIED); // as the system says of a port in use
            return kInvalidSerial;
        }
    }
    // Gives the port back after a failed step, keeping that step's error.
    auto release = [comNumber] {
        const DWORD err = ::GetLastError();
        {
            std::lock_guard<std::mutex> g(openPortsMutex);
            openPorts.erase(comNumber);
        }
        ::SetLastError(err);
    };
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(comNumber);
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        release();
        return kInvalidSerial;
    }
    // 19200 baud, 8 data bits, no parity, one stop bit; every other field 0,
    // so binary mode, parity checking, flow control and DTR/RTS control are off.
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!::SetCommState(h, &dcb)) {
        ::CloseHandle(h);
        release();
        return kInvalidSerial;
    }
    // A freshly opened port starts empty: what an earlier holder left unread
    // is not taken for an answer to this holder's questions.
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    auto* p = new (std::nothrow) SerialPort{h, comNumber};
    if (p == nullptr) {
        ::CloseHandle(h);
        release();
        return kInvalidSerial;
    }
    return reinterpret_cast<SerialHandle>(p);
}

long serialWrite(SerialHandle h, const char* data, std::size_t length, std::uint32_t timeoutMs) {
    if (h == kInvalidSerial) return kSerialError;
    const HANDLE handle = port(h)->handle;
    const DWORD start = ::GetTickCount();
    std::size_t done = 0;
    while (done < length) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (done > 0 && elapsed >= timeoutMs) break;
        COMMTIMEOUTS t{};
        t.WriteTotalTimeoutConstant = commLimit(done > 0 ? timeoutMs - elapsed : timeoutMs);
        if (!::SetCommTimeouts(handle, &t)) return kSerialError;
        const std::size_t left = length - done;
        const DWORD want = static_cast<DWORD>(left > 0x7FFFFFFFu ? 0x7FFFFFFFu : left);
        DWORD written = 0;
        if (!::WriteFile(handle, data + done, want, &written, nullptr)) return kSerialError;
        if (written == 0) break; // nothing more accepted within the limit
        done += written;
    }
    return static_cast<long>(done);
}

long serialRead(SerialHandle h, char* buffer, std::size_t length, std::uint32_t timeoutMs) {
    if (h == kInvalidSerial || length == 0) return kSerialError;
    const HANDLE handle = port(h)->handle;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = commLimit(timeoutMs);
    t.ReadTotalTimeoutConstant = commLimit(timeoutMs);
    if (!::SetCommTimeouts(handle, &t)) return kSerialError;
    // Take everything that is already waiting in one read; when nothing is,
    // wait for one byte. Asking for no more than is waiting keeps the read
    // from running into the time-out on drivers that fill the whole request
    // before returning.
    DWORD errors = 0;
    COMSTAT stat{};
    DWORD want = 1;
    if (::ClearCommError(handle, &errors, &stat) && stat.cbInQue > 0)
        want = static_cast<DWORD>(std::min<std::size_t>(stat.cbInQue, length));
    DWORD got = 0;
    if (!::ReadFile(handle, buffer, want, &got, nullptr))
        return ::GetLastError() == ERROR_SEM_TIMEOUT ? kSerialTimeout : kSerialError;
    return got == 0 ? kSerialTimeout : static_cast<long>(got);
}

void serialClose(SerialHandle h) {
    if (h == kInvalidSerial) return;
    SerialPort* p = port(h);
    ::CloseHandle(p->handle);
    {
        std::lock_guard<std::mutex> g(openPortsMutex);
        openPorts.erase(p->comNumber);
    }
    delete p;
}

// ---- Time --------------------------------------------------------------------

std::uint32_t tickCount() {
    return ::GetTickCount();
}

void sleepMs(std::uint32_t ms) {
    ::Sleep(ms);
}

namespace {
CalendarTime fromSystemTime(const SYSTEMTIME& t) {
    return CalendarTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
} // namespace

CalendarTime localTime() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return fromSystemTime(t);
}

CalendarTime utcTime() {
    SYSTEMTIME t;
    ::GetSystemTime(&t);
    return fromSystemTime(t);
}

// ---- Locks ---------------------------------------------------------------------

static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() {
    ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
RecursiveLock::~RecursiveLock() {
    ::DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::lock() {
    ::EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::unlock() {
    ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

// ---- Text and files --------------------------------------------------------------

std::size_t narrowToWide(const char* text, wchar_t* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    out[0] = L'\0';
    if (text == nullptr) return 0;
    std::size_t converted = 0;
    const errno_t e = ::mbstowcs_s(&converted, out, capacity, text, _TRUNCATE);
    if (e == 0 || e == STRUNCATE) return std::wcslen(out);
    // Not text of this locale: keep the value of every byte that is not a
    // character here.
    return narrowToWideByCharacter(text, out, capacity);
}

std::string wideToNarrow(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    const std::size_t length = std::wcslen(text);
    std::string buffer(length * MB_LEN_MAX + 1, '\0');
    std::size_t converted = 0;
    if (::wcstombs_s(&converted, buffer.data(), buffer.size(), text, _TRUNCATE) == 0) {
        buffer.resize(std::strlen(buffer.c_str()));
        return buffer;
    }
    // A character without a narrow form becomes '?'.
    char one[MB_LEN_MAX];
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        int r = -1;
        if (::wctomb_s(&r, one, sizeof one, *p) == 0 && r > 0)
            out.append(one, static_cast<std::size_t>(r));
        else
            out.push_back('?');
    }
    return out;
}

std::FILE* openFileWide(const wchar_t* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    std::wstring wmode;
    for (const char* m = mode; *m != '\0'; ++m)
        wmode.push_back(static_cast<wchar_t>(*m));
    std::FILE* f = nullptr;
    if (::_wfopen_s(&f, path, wmode.c_str()) != 0) return nullptr;
    return f;
}

// ---- Files read in large blocks ---------------------------------------------

namespace {
std::int64_t fileTime(LARGE_INTEGER t) {
    return static_cast<std::int64_t>(t.QuadPart);
}
} // namespace

ReadOnlyFile::ReadOnlyFile(const wchar_t* path) {
    if (path == nullptr) return;
    const HANDLE h =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(h);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (isOpen()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ReadOnlyFile::stamp(FileStamp& out, std::uint32_t settleMs) const {
    if (!isOpen()) return false;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    out.volume = info.dwVolumeSerialNumber;
    out.fileNumber = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        out.modified = fileTime(basic.LastWriteTime);
        out.changed = fileTime(basic.ChangeTime);
    } else {
        ULARGE_INTEGER t;
        t.LowPart = info.ftLastWriteTime.dwLowDateTime;
        t.HighPart = info.ftLastWriteTime.dwHighDateTime;
        out.modified = out.changed = static_cast<std::int64_t>(t.QuadPart);
    }
    FILETIME nowTime;
    ::GetSystemTimeAsFileTime(&nowTime);
    ULARGE_INTEGER now;
    now.LowPart = nowTime.dwLowDateTime;
    now.HighPart = nowTime.dwHighDateTime;
    // File times count 100 ns units.
    const std::int64_t limit =
        static_cast<std::int64_t>(now.QuadPart) - std::int64_t{settleMs} * 10000;
    out.settled = out.modified <= limit && out.changed <= limit;
    return true;
}

long long ReadOnlyFile::readAt(std::uint64_t offset, char* buffer, std::size_t length) const {
    if (!isOpen()) return -1;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    std::size_t done = 0;
    while (done < length) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(h, buffer + done, want, &got, &where)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<long long>(done);
}

} // namespace korda32ex::platform
