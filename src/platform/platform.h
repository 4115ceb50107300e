// The operating-system services the library uses, behind one small interface.
// Two backends implement it: posix/ (Linux) and win32/ (Winsock, Win32 serial
// ports, critical sections). Nothing outside src/platform includes an OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace korda32ex::platform {

// ---- System errors ----------------------------------------------------------

// The system's code for why the last failed call of this layer on the calling
// thread failed (errno; GetLastError on Windows, which Winsock shares). Read it
// at once after the failure: any later call may replace it.
int lastSystemError();
// The system's own text for an error code (strerror_r; FormatMessageW), without
// a trailing line end or full stop.
std::string systemErrorText(int code);

// ---- Network start-up -------------------------------------------------------

// Starts the socket service (WSAStartup 2.2 on Windows). Called by dlxVmrLibInit.
// Returns true on success.
bool netStartup();
// Stops the socket service (WSACleanup on Windows). Called by dlxVmrLibExit.
void netCleanup();

// ---- TCP sockets ------------------------------------------------------------

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// Creates an IPv4 stream socket. Returns kInvalidSocket on failure.
SocketHandle socketCreate();
// Switches the socket to non-blocking mode. Returns true on success.
bool socketSetNonBlocking(SocketHandle s);

enum class ConnectStart { Connected, InProgress, Refused, Failed };
// Starts a connect to the IPv4 address (host byte order) and port. Refused:
// the peer refused at once (some systems report this without waiting).
ConnectStart socketConnect(SocketHandle s, std::uint32_t address, std::uint16_t port);

enum class WaitResult { Ready, Timeout, Exception, Failed };
// Waits at most timeoutMs for a connect in progress to finish. Ready: the
// socket is writable (connected). Exception: the connection was refused or
// reset. Timeout: nothing within the limit. Failed: the wait itself failed.
WaitResult socketWaitConnected(SocketHandle s, std::uint32_t timeoutMs);
// Waits at most timeoutMs for the socket to become readable (data, end of
// stream or an error condition; all give Ready). Timeout or Failed otherwise.
WaitResult socketWaitReadable(SocketHandle s, std::uint32_t timeoutMs);
// Waits at most timeoutMs for the socket to accept more output.
WaitResult socketWaitWritable(SocketHandle s, std::uint32_t timeoutMs);

// Result of one non-blocking read or write: count > 0 bytes moved, or one of
// the negative values below.
inline constexpr long kIoClosed = 0;      // recv: the peer closed the stream
inline constexpr long kIoWouldBlock = -1; // nothing can be moved right now
inline constexpr long kIoError = -2;      // any other failure
// Reads up to length bytes. Never raises a signal.
long socketRecv(SocketHandle s, char* buffer, std::size_t length);
// Writes up to length bytes. Never raises a signal (no SIGPIPE).
long socketSend(SocketHandle s, const char* data, std::size_t length);
// Shuts down both directions and closes the socket.
void socketClose(SocketHandle s);

// Server side (used by the virtual instrument): listens on 127.0.0.1, or on
// every interface when loopbackOnly is false, at port (0 = any free port);
// boundPort receives the port. Returns kInvalidSocket on failure.
SocketHandle socketListen(std::uint16_t port, bool loopbackOnly, std::uint16_t& boundPort);
// Accepts a pending connection as a non-blocking socket; kInvalidSocket when
// none is pending or on failure.
SocketHandle socketAccept(SocketHandle listener);

// Parses a dotted-decimal IPv4 text (inet_addr rules). Returns false when the
// text is not an address; otherwise the address in host byte order.
bool parseIPv4(const char* text, std::uint32_t& address);

// ---- Serial ports (USB virtual COM ports) -----------------------------------

using SerialHandle = std::intptr_t;
inline constexpr SerialHandle kInvalidSerial = -1;

// The name of the device behind COM port `comNumber`, as a user would look
// for it ("/dev/ttyACM2", the path in KORDA_COM3, "COM3").
std::string serialPortName(int comNumber);
// Opens COM port `comNumber` for exclusive use and sets 19200 baud, 8 data
// bits, no parity, one stop bit, no flow control, raw bytes. Returns
// kInvalidSerial when the port does not exist, is in use or cannot be set up.
SerialHandle serialOpen(int comNumber);
// Writes the whole text within timeoutMs. Returns the number of bytes written
// (0 when nothing could be written in time) or -1 on a write failure.
long serialWrite(SerialHandle h, const char* data, std::size_t length, std::uint32_t timeoutMs);
inline constexpr long kSerialTimeout = 0;
inline constexpr long kSerialError = -1;
// Reads up to length bytes, waiting at most timeoutMs for the first one.
// Returns the count read, kSerialTimeout when nothing arrived in time, or
// kSerialError on a read failure.
long serialRead(SerialHandle h, char* buffer, std::size_t length, std::uint32_t timeoutMs);
// Closes the port.
void serialClose(SerialHandle h);

// ---- Time -------------------------------------------------------------------

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
std::uint32_t tickCount();
// Suspends the calling thread for ms milliseconds.
void sleepMs(std::uint32_t ms);

struct CalendarTime {
    int year, month, day, hour, minute, second, milliseconds;
};
// The PC clock as local time (GetLocalTime) or as UTC (GetSystemTime).
CalendarTime localTime();
CalendarTime utcTime();

// ---- Locks ------------------------------------------------------------------

// A recursive lock (critical section). Meets the BasicLockable requirements.
class RecursiveLock {
  public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void lock();
    void unlock();

  private:
    alignas(16) unsigned char storage_[64];
};

// Holds a RecursiveLock for the lifetime of the guard.
class LockGuard {
  public:
    explicit LockGuard(RecursiveLock& l) : lock_(l) { lock_.lock(); }
    ~LockGuard() { lock_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    RecursiveLock& lock_;
};

// ---- Text and files ---------------------------------------------------------

// Converts narrow text to wide text in the current locale (mbstowcs_s). In the
// "C" locale bytes 0x80-0xFF map one to one. Writes at most capacity-1
// characters and a terminator (nothing when capacity is 0). Returns the number
// of wide characters written, without the terminator.
std::size_t narrowToWide(const char* text, wchar_t* out, std::size_t capacity);
// Converts wide text to narrow text in the current locale (wcstombs_s); a
// character that cannot be converted becomes '?'.
std::string wideToNarrow(const wchar_t* text);
// The separator the system writes its own paths with: '\\' on Windows, '/'
// elsewhere.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
// Opens a file by wide path (_wfopen_s on Windows). Both "/" and "\\" separate
// path components on every system. Returns null on failure, and when the path
// holds a character the system's file names cannot express.
std::FILE* openFileWide(const wchar_t* path, const char* mode);

// What tells one state of a file from another: its size, its modification and
// status-change times, and the file's identity on its volume. A file rewritten
// or replaced gets another stamp (unless all of these come out the same).
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0; // in the system's file-time unit
    std::int64_t changed = 0;  // status change (posix ctime; Windows ChangeTime)
    std::uint64_t volume = 0;
    std::uint64_t fileNumber = 0;
    // Both times lie at least the settle time in the past: a later write gets
    // a visibly different time, even on systems whose file clock is coarse.
    bool settled = false;
    bool sameState(const FileStamp& o) const {
        return size == o.size && modified == o.modified && changed == o.changed &&
               volume == o.volume && fileNumber == o.fileNumber;
    }
};

// A file opened for reading by wide path (the path rules of openFileWide),
// read in large blocks at any offset. Closed with the object.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const wchar_t* path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return handle_ != kClosed; }
    // The file's stamp now; false when it cannot be had.
    bool stamp(FileStamp& out, std::uint32_t settleMs) const;
    // Reads up to length bytes from offset on; fewer only at the end of the
    // file. Returns the count, or -1 when the read fails (a directory, an I/O
    // error).
    long long readAt(std::uint64_t offset, char* buffer, std::size_t length) const;

  private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
};

} // namespace korda32ex::platform
