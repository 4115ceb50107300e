/*
 * KORDA32Ext - driver library for the 7043A and 5129A data-acquisition
 * instruments, reached over TCP/IP or a USB virtual COM port.
 *
 * The one public header of the library: every exported function, the
 * configuration and scan records and the status codes.
 *
 * Every function that reports a status returns 1 (or a positive count) on
 * success and a negative code on failure; dlxVmrGetErrorStringA/W turn any
 * code into an English text, with the instrument's own message when the
 * instrument rejected a command.
 */
#ifndef KORDA32EXT_H
#define KORDA32EXT_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

/* Export macro: hidden visibility by default, exported names undecorated. */
#if defined(KORDA32EXT_STATIC)
#define KORDA_API
#elif defined(_WIN32)
#if defined(KORDA32EXT_BUILDING)
#define KORDA_API __declspec(dllexport)
#else
#define KORDA_API __declspec(dllimport)
#endif
#else
#define KORDA_API __attribute__((visibility("default")))
#endif

/* Calling convention: __stdcall on 32-bit Windows, the platform default elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORDA_CALL __stdcall
#else
#define KORDA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Status codes (the texts are returned by dlxVmrGetErrorStringA/W).
 * Negative error numbers reported by the instrument's error queue (for
 * example -113, -222) are returned as they are.
 * ------------------------------------------------------------------------ */
#define DLXVMR_OK 1
#define DLXVMR_E_INVALID_REQUEST (-1)           /* also: invalid response (detailed text) */
#define DLXVMR_E_INVALID_PARAMETER (-2)
#define DLXVMR_E_CANNOT_OPEN_SOCKET (-1006)
#define DLXVMR_E_SOCKET_READ (-1012)
#define DLXVMR_E_SOCKET_SEND (-1013)
#define DLXVMR_E_TIMEOUT (-1015)
#define DLXVMR_E_WINSOCK_GENERAL (-1017)
#define DLXVMR_E_WINSOCK_INIT (-1019)
#define DLXVMR_E_ALREADY_INITIALIZED (-2001)
#define DLXVMR_E_NOT_INITIALIZED (-2002)
#define DLXVMR_E_ALREADY_OPEN (-2005)
#define DLXVMR_E_NOT_OPEN (-2007)
#define DLXVMR_E_OUT_OF_MEMORY (-2011)
#define DLXVMR_E_MODEL_MISMATCH (-2021)
#define DLXVMR_E_TOO_MANY_SCANS (-2022)
#define DLXVMR_E_INVALID_CONFIGURATION (-2025)
#define DLXVMR_E_NETWORK_TIMEOUT (-2027)
#define DLXVMR_E_CONNECTION_REFUSED (-2028)
#define DLXVMR_E_BAD_FILE (-2034)
#define DLXVMR_E_INVALID_RESPONSE (-2035)
#define DLXVMR_E_INVALID_COM_PORT (-2037)
#define DLXVMR_E_CONNECT_TIMEOUT (-2038)
#define DLXVMR_E_INSTRUMENT_NOT_FOUND (-2039)

/* Interface kinds for dlxVmrCCFsetBCN. */
#define DLXVMR_INTERFACE_USB 0
#define DLXVMR_INTERFACE_TCPIP 1

/* Instrument model codes. */
#define DLXVMR_MODEL_UNIDENTIFIED 0
#define DLXVMR_MODEL_7043A 4
#define DLXVMR_MODEL_5129A 5

/* ------------------------------------------------------------------------
 * Library state and status texts
 * ------------------------------------------------------------------------ */
KORDA_API int KORDA_CALL dlxVmrLibInit(uint32_t reserved);
KORDA_API int KORDA_CALL dlxVmrLibExit(void);
/* Copies at most size-1 characters and a terminator; size 0 writes nothing. */
KORDA_API void KORDA_CALL dlxVmrGetErrorStringA(int code, char* buffer, uint32_t size);
KORDA_API void KORDA_CALL dlxVmrGetErrorStringW(int code, wchar_t* buffer, uint32_t size);

/* ------------------------------------------------------------------------
 * Connection management
 * ------------------------------------------------------------------------ */
/* kind 1 = TCP/IP (port = TCP port, ipAddress = 4 bytes in dotted order),
 * kind 0 = USB (port = COM number; below 1 searches COM1 to COM64). */
KORDA_API int KORDA_CALL dlxVmrCCFsetBCN(int bcn, int kind, int port, const uint8_t* ipAddress,
                                         int model);
KORDA_API int KORDA_CALL dlxVmrCommOpen(int bcn);
KORDA_API int KORDA_CALL dlxVmrCommClose(int bcn);
KORDA_API int KORDA_CALL dlxVmrModelCheck(int bcn);
KORDA_API int KORDA_CALL dlxVmrTimeoutGet(uint32_t* seconds);
KORDA_API int KORDA_CALL dlxVmrTimeoutSet(uint32_t seconds);

/* ---- USB enumeration ---------------------------------------------------- */

/* ---- Direct instrument operations -------------------------------------- */
/* Sets the instrument clock from the PC clock: local time, or UTC. */
KORDA_API int KORDA_CALL dlxVmrTimeSet(int bcn);
KORDA_API int KORDA_CALL dlxVmrTimeSetUTC(int bcn);
/* The digital I/O byte in the application's view (the complement of the
 * instrument's own value). DIOSet changes only the bits selected by mask. */
KORDA_API int KORDA_CALL dlxVmrDIOGet(int bcn, int* value);
KORDA_API int KORDA_CALL dlxVmrDIOSet(int bcn, int mask, int value);
/* Totalizer count; a reply that is not a count gives -2035. */
KORDA_API int KORDA_CALL dlxVmrTotalizerGet(int bcn, int* count);
KORDA_API int KORDA_CALL dlxVmrTotalizerClear(int bcn);
/* The OEM identity text, kept in the instrument's flash memory. Control
 * characters are removed before the text is sent; the wide form keeps the low
 * 8 bits of each character. The Get forms copy at most size-1 characters and
 * a terminator; size 0 gives -2. */
KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetA(int bcn, const char* text);
KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetW(int bcn, const wchar_t* text);
KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetA(int bcn, char* buffer, uint32_t size);
KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetW(int bcn, wchar_t* buffer, uint32_t size);
/* Releases a buffer that the library allocated and handed out; null is ignored. */
KORDA_API void KORDA_CALL dlxVmrDeleteBuffer(void* buffer);

/* ---- Configuration record ---------------------------------------------- */

/* ---- Scanning and readings --------------------------------------------- */
/* Compile-time layout checks that work in C and C++. */
#ifndef DLXVMR_STATIC_ASSERT
#if defined(__cplusplus)
#define DLXVMR_STATIC_ASSERT(condition, message) static_assert(condition, message)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define DLXVMR_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#else
#define DLXVMR_STATIC_ASSERT_JOIN2(a, b) a##b
#define DLXVMR_STATIC_ASSERT_JOIN(a, b) DLXVMR_STATIC_ASSERT_JOIN2(a, b)
#define DLXVMR_STATIC_ASSERT(condition, message)                                                  \
    typedef char DLXVMR_STATIC_ASSERT_JOIN(dlxvmr_static_assert_, __LINE__)[(condition) ? 1 : -1]
#endif
#endif

/* One scan: a 52-byte header with the time stamp, then the readings. The
 * scan holds (entrySize - 52) / 4 readings; +/-infinity stand for an
 * overload, 9.91e37 for a reading the instrument could not take. */
typedef struct ScanEntry {
    uint8_t reserved0[8];
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
    uint8_t month;
    uint8_t reserved12;
    uint8_t day;
    uint8_t year; /* (year + 48) modulo 256: the year less 2000 for 2000 to 2207 */
    uint8_t reserved15;
    int32_t fraction; /* the digits after the point of the seconds, as an integer */
    uint8_t reserved20[32];
    float readings[1]; /* first of the scan's readings */
} ScanEntry;

/* The caller's scan buffer: a 12-byte header, then scanCount entries of
 * entrySize bytes each. It must hold DLXVMR_SCAN_BUFFER_SIZE(requested,
 * readings per scan) bytes. */
typedef struct ScanRecord {
    int32_t entrySize;      /* 12 before any scan; then 52 + 4 x readings per scan */
    int32_t scanCount;      /* scans stored */
    int32_t scansRemaining; /* scans still held beyond those requested */
    uint8_t entries[4];     /* the entries, packed */
} ScanRecord;

#define DLXVMR_SCAN_RECORD_HEADER_SIZE 12
#define DLXVMR_SCAN_ENTRY_HEADER_SIZE 52
#define DLXVMR_MAX_READINGS_PER_SCAN 153
/* Bytes a scan buffer needs for `scans` scans of `readings` readings. */
#define DLXVMR_SCAN_BUFFER_SIZE(scans, readings)                                                  \
    (DLXVMR_SCAN_RECORD_HEADER_SIZE +                                                             \
     (size_t)(scans) * (DLXVMR_SCAN_ENTRY_HEADER_SIZE + 4 * (size_t)(readings)))
/* Entry n (from 0) of a filled record. */
#define DLXVMR_SCAN_ENTRY(record, n)                                                              \
    ((ScanEntry*)((record)->entries + (size_t)(record)->entrySize * (size_t)(n)))

DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, reserved0) == 0, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, hour) == 8, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, minute) == 9, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, second) == 10, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, month) == 11, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, reserved12) == 12, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, day) == 13, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, year) == 14, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, reserved15) == 15, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, fraction) == 16, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, reserved20) == 20, "ScanEntry layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanEntry, readings) == DLXVMR_SCAN_ENTRY_HEADER_SIZE,
                     "ScanEntry layout");
DLXVMR_STATIC_ASSERT(sizeof(float) == 4, "readings are IEEE single precision");
DLXVMR_STATIC_ASSERT(offsetof(ScanRecord, entrySize) == 0, "ScanRecord layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanRecord, scanCount) == 4, "ScanRecord layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanRecord, scansRemaining) == 8, "ScanRecord layout");
DLXVMR_STATIC_ASSERT(offsetof(ScanRecord, entries) == DLXVMR_SCAN_RECORD_HEADER_SIZE,
                     "ScanRecord layout");

/* Starts (enable nonzero) or stops scanning. */
KORDA_API int KORDA_CALL dlxVmrScansEnable(int bcn, int enable);
/* Discards the readings the instrument holds (both names do the same). */
KORDA_API int KORDA_CALL dlxVmrScansClear(int bcn);
KORDA_API int KORDA_CALL dlxVmrPCCardScansClear(int bcn);
/* Number of scans the instrument holds (both names do the same); a reply
 * that is not a count gives -2035 and leaves count alone. */
KORDA_API int KORDA_CALL dlxVmrGetScansCount(int bcn, int* count);
KORDA_API int KORDA_CALL dlxVmrScansCount(int bcn, int* count);
/* Fetches up to `requested` scans into record (see ScanRecord). A reply that
 * is not a scan gives -1 with a detailed text; the scans before it stay
 * counted. A timeout is not retried (the readings already left the
 * instrument): -1015. */
KORDA_API int KORDA_CALL dlxVmrScansGet(int bcn, uint32_t requested, ScanRecord* record);

/* Monitoring of one channel. InstMonitor selects the channel and switches
 * monitoring on or off; SpyEnable only switches it. SpyGet takes one reading
 * of a channel; code = BCN x 1000 + channel. */
KORDA_API int KORDA_CALL dlxVmrInstMonitor(int bcn, int enable, unsigned int channel);
KORDA_API int KORDA_CALL dlxVmrSpyEnable(int bcn, int enable);
KORDA_API int KORDA_CALL dlxVmrSpyGet(int code, float* reading);

/* ---- Log memory and USB-drive files ------------------------------------ */

#ifdef __cplusplus
}
#endif

#endif /* KORDA32EXT_H */
