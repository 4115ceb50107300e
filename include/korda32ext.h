/*
 * KORDA32Ext - driver library for the 7043A and 5129A data-acquisition
 * instruments, reached over TCP/IP or a USB virtual COM port.
 *
 * The one public header of the library: every exported function, the
 * configuration and scan records and the status codes.
 *
 * BCN: the number an application gives each instrument (any int it
 * chooses). dlxVmrCCFsetBCN stores how to reach the instrument under it,
 * dlxVmrCommOpen opens it, and every per-instrument function takes it as its
 * first argument. One BCN names one instrument at a time.
 *
 * Return values. Every function that reports a status returns 1 (or, where
 * its text says so, a count or mask of zero or more) on success and a
 * negative code on failure; dlxVmrGetErrorStringA/W turn any code into an
 * English text, with the instrument's own message when the instrument
 * rejected a command, and dlxVmrGetLastErrorDetailA/W tell more of the last
 * failure. Besides the codes each function names:
 *   - any function that needs the library started returns -2002 before
 *     dlxVmrLibInit and after dlxVmrLibExit;
 *   - a per-instrument function (one taking the BCN of an open instrument)
 *     returns -2007 when no instrument is open on that BCN;
 *   - an exchange with the instrument fails with -1015 (no reply in time),
 *     -1012 / -1013 (reading / sending on the connection failed), -1017 (the
 *     connection is gone), -2037 (the COM port is gone), -2035 or -1 (a reply
 *     that cannot be used; -1 comes with a detailed text), or the
 *     instrument's own negative error number (for example -113, -222) when
 *     it rejected a setting;
 *   - any function may return -2011 when memory runs out.
 * -2 always means an argument the function cannot take (a null pointer
 * where one is needed, a size of 0, ...); nothing is sent then.
 *
 * Threads. Every function may be called from any thread, and from several
 * threads at once, with these rules:
 *   - calls on one BCN run one after another: a call holds that
 *     instrument for its whole length (dlxVmrConfigSet, dlxVmrConfigGet and
 *     the log-memory reads may hold it for seconds), so their exchanges never
 *     mix; calls on different BCNs run at the same time;
 *   - dlxVmrLibInit and dlxVmrLibExit may run while other calls run: a call
 *     goes on with the library state it started with, and an instrument
 *     closed by dlxVmrLibExit or dlxVmrCommClose is released once the call
 *     in progress on it has returned;
 *   - library-wide settings (dlxVmrCCFsetBCN, dlxVmrTimeoutSet,
 *     dlxVmrTraceSet) may change while instruments are in use;
 *   - the detail of dlxVmrGetLastErrorDetailA/W is kept per thread; the
 *     detailed text of a code for dlxVmrGetErrorStringA/W is kept for the
 *     whole library (the last one any thread recorded under that code);
 *   - the functions on recording directories (dlxVmrPCCardConfigFile,
 *     dlxVmrPCCardScansFileGet, dlxVmrPCCardScansFileCountW) touch no
 *     instrument and run at the same time as anything.
 * A function whose text says "Threads:" differs from these rules.
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
#define DLXVMR_E_INVALID_REQUEST (-1) /* also: invalid response (detailed text) */
#define DLXVMR_E_INVALID_PARAMETER (-2)
#define DLXVMR_E_NO_LOG_FILES (-1001) /* the log memory holds no file */
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
/* Starts the library (reserved is not used). Returns 1; -2001 when it is
 * already started; -1019 when the system's network layer cannot start. */
KORDA_API int KORDA_CALL dlxVmrLibInit(uint32_t reserved);
/* Stops the library: every open instrument is closed and the BCN settings
 * and detailed error texts are forgotten. Returns 1; -2002 when it is not
 * started. */
KORDA_API int KORDA_CALL dlxVmrLibExit(void);
/* The text of a status code: the detailed text last recorded under it while
 * the library runs, else its fixed text. Copies at most size-1 characters and
 * a terminator; size 0 or a null buffer writes nothing. No return value.
 * Needs no dlxVmrLibInit. */
KORDA_API void KORDA_CALL dlxVmrGetErrorStringA(int code, char* buffer, uint32_t size);
KORDA_API void KORDA_CALL dlxVmrGetErrorStringW(int code, wchar_t* buffer, uint32_t size);

/* Added beyond the original interface: the version of this library, as
 * numbers (each pointer may be null) and as the text "major.minor.patch"
 * (at most size-1 characters and a terminator; size 0 or a null text writes
 * no text). Needs no dlxVmrLibInit. Returns 1. */
KORDA_API int KORDA_CALL dlxVmrGetVersion(int* major, int* minor, int* patch, char* text,
                                          uint32_t size);

/* Added beyond the original interface: the detail of the last failed call on
 * the calling thread: what was being done, the device or address, and the
 * system's reason, e.g. "open /dev/ttyACM3: Permission denied", "connect
 * 192.168.0.20:5025: Connection refused", "MEMory:LOG:READ? timed out after
 * 10000 ms, 4096 bytes received". A failure without more to say leaves its
 * status text. Each thread sees only its own failures; a call that succeeds
 * leaves the detail as it was. Copies at most size-1 characters and a
 * terminator (size 0 or a null buffer copies nothing) and returns the length
 * of the whole detail (0 before any failure): in bytes for the A form, in
 * wide characters for the W form (what it writes, without the terminator,
 * when size holds the whole detail). Needs no dlxVmrLibInit. */
KORDA_API int KORDA_CALL dlxVmrGetLastErrorDetailA(char* buffer, uint32_t size);
KORDA_API int KORDA_CALL dlxVmrGetLastErrorDetailW(wchar_t* buffer, uint32_t size);

/* Added beyond the original interface: a trace of the wire. Directions: */
#define DLXVMR_TRACE_SENT 0     /* a line sent, without its line end */
#define DLXVMR_TRACE_RECEIVED 1 /* a reply line received, without line end */
#define DLXVMR_TRACE_EVENT                                                                         \
    2 /* a transport event: "connect a.b.c.d:port",                                                \
         "reconnect a.b.c.d:port", "open <device>",                                                \
         "drain discarded <n> bytes" */
/* text is zero-terminated and holds length bytes; it is valid only during
 * the call. */
typedef void(KORDA_CALL* dlxVmrTraceCallback)(void* context, int bcn, int direction,
                                              const char* text, uint32_t length);
/* Registers callback, called with context on the thread that makes a library
 * call, for each line and event of every instrument; one call at a time.
 * The callback must not call other library functions. A null callback
 * switches the trace off: nothing is traced and nothing is written anywhere,
 * and once dlxVmrTraceSet returns the previous callback is not called again.
 * Needs no dlxVmrLibInit. Returns 1; -1 when the callback could not be
 * registered. Threads: the callback runs on the threads that make library
 * calls, never on two of them at once. */
KORDA_API int KORDA_CALL dlxVmrTraceSet(dlxVmrTraceCallback callback, void* context);

/* ------------------------------------------------------------------------
 * Connection management
 * ------------------------------------------------------------------------ */
/* Stores how to reach the instrument of a BCN, for the next dlxVmrCommOpen
 * (an instrument already open on it stays as it is).
 * kind 1 = TCP/IP (port = TCP port, ipAddress = 4 bytes in dotted order),
 * kind 0 = USB (port = COM number; below 1 searches COM1 to COM64); any
 * other kind is taken as TCP/IP. model: the DLXVMR_MODEL_* code the
 * instrument should be (dlxVmrModelCheck; the configuration rules follow it).
 * Returns 1; -2 (nothing stored) for TCP/IP without ipAddress or with a port
 * outside 1 to 65535. */
KORDA_API int KORDA_CALL dlxVmrCCFsetBCN(int bcn, int kind, int port, const uint8_t* ipAddress,
                                         int model);
/* Opens the connection to the instrument of a BCN and sets its reply line
 * end. Returns 1; -2005 when an instrument is already open on the BCN;
 * -2038 when the connection is not made within the timeout; for TCP/IP
 * -2028 when it is refused, -1006 when no socket can be made; for USB -2039
 * when the COM port cannot be opened or does not answer "*IDN?" (for a
 * search: no port of it does); else the status of the transport or of the
 * first exchange. Threads: two threads opening the same BCN
 * get 1 once; the other gets -2005, or -1 when both connected. */
KORDA_API int KORDA_CALL dlxVmrCommOpen(int bcn);
/* Closes the instrument of a BCN (after the call in progress on it). Returns
 * 1. */
KORDA_API int KORDA_CALL dlxVmrCommClose(int bcn);
/* Asks the instrument for its identity ("*IDN?"). Returns 1 when it names the
 * model given to dlxVmrCCFsetBCN; -2021 when it names another or none.
 * Threads: its two exchanges each hold the instrument, so a call on the same
 * BCN from another thread may come between them. */
KORDA_API int KORDA_CALL dlxVmrModelCheck(int bcn);
/* The time limit of an exchange with an instrument, in whole seconds
 * (rounded down). Returns 1; -2 for a null seconds. */
KORDA_API int KORDA_CALL dlxVmrTimeoutGet(uint32_t* seconds);
/* Sets the time limit of every instrument's exchanges, open ones included,
 * from their next exchange on. Returns 1. */
KORDA_API int KORDA_CALL dlxVmrTimeoutSet(uint32_t seconds);

/* ---- USB enumeration ---------------------------------------------------- */
/* Finds instruments on COM1 to COM<highest> (COM1 is always tried): for each
 * port whose instrument answers "*IDN?", the COM number and the model code go
 * into the next elements of ports and models, filled from index 0 in COM
 * order. Elements beyond the last one found are left as they were, so clear
 * both arrays first; each needs room for one element per COM number tried.
 * Do not run it on a COM port that an open instrument uses (such a port is
 * in use and is skipped). Returns 1 (however many were found; a COM port
 * that does not answer is no failure); -2 when an array pointer is null. */
KORDA_API int KORDA_CALL dlxVmrUsbEnum(int* ports, int* models, int highest);

/* ---- Direct instrument operations -------------------------------------- */
/* Sets the instrument clock from the PC clock: local time, or UTC. Returns
 * 1. */
KORDA_API int KORDA_CALL dlxVmrTimeSet(int bcn);
KORDA_API int KORDA_CALL dlxVmrTimeSetUTC(int bcn);
/* The digital I/O byte in the application's view (the complement of the
 * instrument's own value). DIOSet changes only the bits selected by mask.
 * Return 1; DIOGet gives -2 for a null value, and both -1 when the
 * instrument's byte is not a number from 0 to 255. */
KORDA_API int KORDA_CALL dlxVmrDIOGet(int bcn, int* value);
KORDA_API int KORDA_CALL dlxVmrDIOSet(int bcn, int mask, int value);
/* Totalizer count, and its clearing. Return 1; -2 for a null count; a
 * reply that is not a count gives -2035. */
KORDA_API int KORDA_CALL dlxVmrTotalizerGet(int bcn, int* count);
KORDA_API int KORDA_CALL dlxVmrTotalizerClear(int bcn);
/* The OEM identity text, kept in the instrument's flash memory. Control
 * characters are removed before the text is sent; the wide form keeps the low
 * 8 bits of each character. The Get forms copy at most size-1 characters and
 * a terminator. Return 1; -2 for a null text or buffer, or size 0. */
KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetA(int bcn, const char* text);
KORDA_API int KORDA_CALL dlxVmrOEMIdentitySetW(int bcn, const wchar_t* text);
KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetA(int bcn, char* buffer, uint32_t size);
KORDA_API int KORDA_CALL dlxVmrOEMIdentityGetW(int bcn, wchar_t* buffer, uint32_t size);
/* Releases a buffer that the library allocated and handed out; null is
 * ignored. No return value. Needs no dlxVmrLibInit. */
KORDA_API void KORDA_CALL dlxVmrDeleteBuffer(void* buffer);

/* ---- Configuration record ---------------------------------------------- */

/* A whole instrument configuration travels in one VmrInstConfig record:
 * dlxVmrConfigSet sends it. Clear the record to zero bytes first (memset),
 * then fill what the instrument shall do; a zero record is a valid start:
 * every module slot present, no channel configured, fast rate, Celsius,
 * timer trigger with a 0 s interval, trigger count 0, recording off.
 *
 * Channel numbers (in every channel field of the record and in the scan list):
 *   1            the instrument's own input (record channel1)
 *   101..122     channels 1..22 of the module in slot 1 (modules[0])
 *   201..222     slot 2 (modules[1]); 301..322 slot 3 (modules[2], 5129A only)
 *   501..520     computed channels (computed[0..19])
 * A 7043A has two module slots, a 5129A three. Channels of a slot without a
 * module, and functions the model lacks, are rejected by the instrument.
 *
 * Only the fields documented below are sent; reserved fields are carried
 * unchanged (they still count for the fingerprint of dlxVmrConfigSet). */

/* Layout checks that work in C and C++. */
#ifdef __cplusplus
#define KORDA_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KORDA_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Text fields of the records are zero-terminated 16-bit code units on every
 * system (wchar_t is 32 bits wide on Linux). */
typedef uint16_t VmrChar16;

#define VMR_TEXT_UNITS 256
#define VMR_MODULE_AREAS 6
#define VMR_CHANNELS_PER_AREA 22
#define VMR_COMPUTED_CHANNELS 20
#define VMR_MODULE_ABSENT 0xFFFFFFFFu
#define VMR_CHANNEL_OFF 0xFFFFFFFFu

/* Analog channel functions (ChannelRecord.function). 0 = not configured
 * (left as the instrument's reset leaves it, not scanned); VMR_CHANNEL_OFF =
 * switched off (not scanned). AC functions exist on the 5129A only; on a
 * 7043A they send nothing. */
#define VMR_FUNC_DC_VOLTS 1
#define VMR_FUNC_AC_VOLTS 2
#define VMR_FUNC_DC_CURRENT 3 /* channel 1, and channels x21, x22; x01-x20 through a shunt */
#define VMR_FUNC_AC_CURRENT 4 /* the same, 5129A only */
#define VMR_FUNC_RESISTANCE_2W 5
#define VMR_FUNC_RESISTANCE_4W 6
#define VMR_FUNC_RTD_2W 7
#define VMR_FUNC_RTD_3W 8
#define VMR_FUNC_RTD_4W 9
#define VMR_FUNC_THERMISTOR_2W 10
#define VMR_FUNC_THERMISTOR_4W 11
#define VMR_FUNC_THERMOCOUPLE 12
#define VMR_FUNC_FREQUENCY 13

/* Range and sensor codes (ChannelRecord.range), by function:
 *   DC volts      16 = 0.1 V, 17 = 1 V, 18 = 10 V, 19 = 50 V, 20 = 100 V,
 *                 21 = 150 V, 22 = 300 V, 23 = automatic (other codes: 0.1 V)
 *   AC volts      32..38 = the same ranges, 39 = automatic (other codes: 1 V)
 *   DC current    48 = 100 uA, 49 = 1 mA, 51 = 10 mA, 52 = 100 mA, 53 = automatic
 *   AC current    64 = 100 uA, 65 = 1 mA, 66 = 10 mA, 67 = 100 mA, 68 = automatic
 *   resistance    1 = 100 ohm, 2 = 1 kohm, 3 = 10 kohm, 4 = 100 kohm, 5 = 1 Mohm,
 *                 6 = 10 Mohm, 7 = 100 Mohm, 8 = automatic (other codes: 100 ohm)
 *   RTD           80 = SPRT (7043A), 81 = alpha 0.00385, 82 = alpha 0.00392,
 *                 83 = Callendar-Van Dusen A, B, C (7043A)
 *   thermistor    96 = 2.2 kohm, 97 = 5 kohm, 99 = 10 kohm, 100 = polynomial (7043A)
 *   thermocouple  0x6001 + 0x100 * n, n = 0 K, 1 T, 2 R, 3 S, 4 J, 5 N, 6 E, 7 B,
 *                 8 C, 9 D, 10 G, 11 L, 12 M, 13 U, 14 W, 15 polynomial (7043A)
 *   frequency     not used
 * A current channel among x01..x20 of a module measures through an external
 * shunt (shuntOhms): range 112 then reports the current in amperes with
 * automatic ranging; any other code reports 0 to 100 % of 4..20 mA (on a
 * 7043A the shunt voltage range chosen stops at 50 V). */
#define VMR_RANGE_SHUNT_CURRENT 112
#define VMR_TC_TYPE(n) (0x6001u + 0x100u * (unsigned)(n))

#pragma pack(push, 4)

/* One analog channel (channel 1 and the module channels): 1168 bytes.
 * The fields below are sent only while the channel is configured (function
 * neither 0 nor VMR_CHANNEL_OFF), unless stated. */
typedef struct ChannelRecord {
    uint32_t function;   /* VMR_FUNC_*; 0 = not configured, VMR_CHANNEL_OFF = off */
    uint32_t range;      /* range or sensor code, by function (see above) */
    double shuntOhms;    /* ohms of the external shunt of a current channel x01..x20;
                            values of 10 or less (and NaN) are raised to 10.0
                            in the caller's record by dlxVmrConfigSet */
    uint32_t alarmFlags; /* bit 0: an alarm of this channel triggers a scan
                            (with triggerSource 2); bit 1/2: alarm 1 low/high;
                            bit 3/4: alarm 2 low/high (low wins when both) */
    uint8_t reserved20[4];
    double alarm1Limit;    /* alarm 1 limit, in the channel's (scaled) unit */
    double alarm2Limit;    /* alarm 2 limit */
    uint32_t alarm1Output; /* digital output driven by alarm 1: bit k = output
                              k+1 (the highest set bit of 0..5 counts; 64 = none
                              sent as 0; 0 or above 64 = no command) */
    uint32_t alarm2Output; /* the same for alarm 2 */
    double scaleM;         /* scaled reading = reading x scaleM + scaleB;
                              scaleM 1 and scaleB 0 switch scaling off (a
                              zero record scales by 0: set scaleM = 1) */
    double scaleB;
    double sensorCoef[7];           /* sensor values (7043A only, except R0):
                                       SPRT: [0] resistance at the triple point of water,
                                         [1],[2] low-range, [3]..[6] high-range coefficients;
                                       Callendar-Van Dusen: [0] R0, [1] A, [2] B, [3] C;
                                       alpha 0.00385/0.00392: [0] R0 in ohms;
                                       thermistor polynomial: [0]..[3];
                                       thermocouple polynomial: [0]..[6];
                                       thermocouple R or S: [0]..[3] */
    VmrChar16 name[VMR_TEXT_UNITS]; /* channel name; the first 15 characters are sent */
    VmrChar16 unit[VMR_TEXT_UNITS]; /* unit of scaled readings; the first 9 are sent */
    double nplc;                    /* integration time in power-line cycles; sent on a 5129A
                                       when the reading rate is NPLC (flags bits 0-2 = 6) */
    double delay;                   /* channel delay in seconds */
    uint32_t openDetect;            /* thermocouple: nonzero = open-circuit detection on */
    uint32_t refJunction;           /* thermocouple reference junction: 0 internal,
                                       1 fixed, 2 external */
} ChannelRecord;

/* Computed (math) channel functions (ComputedChannelRecord.function). */
#define VMR_MATH_POLYNOMIAL 0x5000 /* of A: c0 + c1 A + ... + c5 A^5 */
#define VMR_MATH_SQUARE_ROOT 0x5001
#define VMR_MATH_POWER 0x5002 /* A to the power coefficients[0] */
#define VMR_MATH_EXP 0x5003
#define VMR_MATH_LOG 0x5004
#define VMR_MATH_ABS 0x5005
#define VMR_MATH_RECIPROCAL 0x5006
#define VMR_MATH_SUBTRACT 0x5007 /* A - B */
#define VMR_MATH_ADD 0x5008
#define VMR_MATH_MULTIPLY 0x5009
#define VMR_MATH_DIVIDE 0x500A
#define VMR_MATH_AVERAGE 0x500B /* over sourceList */
#define VMR_MATH_MAXIMUM 0x500C
#define VMR_MATH_MINIMUM 0x500D
#define VMR_MATH_SUM 0x500E

/* One computed (math) channel, 501..520: 1168 bytes. */
typedef struct ComputedChannelRecord {
    uint32_t function;      /* VMR_MATH_*; 0 = not configured, VMR_CHANNEL_OFF = off */
    uint32_t sourceA;       /* channel number of operand A (functions 0x5000-0x500A) */
    uint32_t sourceB;       /* channel number of operand B (0x5007-0x500A) */
    uint32_t sourceList[5]; /* statistics (0x500B-0x500E): word k bit b set =
                               channel 101 + 100k + b takes part */
    uint8_t reserved32[4];
    uint32_t alarmFlags; /* bit 1/2: alarm 1 low/high; bit 3/4: alarm 2 low/high */
    double alarm1Limit;  /* as in ChannelRecord */
    double alarm2Limit;
    uint32_t alarm1Output; /* as in ChannelRecord */
    uint32_t alarm2Output;
    double scaleM; /* as in ChannelRecord (1 and 0 = no scaling) */
    double scaleB;
    VmrChar16 name[VMR_TEXT_UNITS]; /* the first 9 characters are sent */
    VmrChar16 unit[VMR_TEXT_UNITS]; /* the first 9 characters are sent */
    double coefficients[7];         /* polynomial c0..c5 ([6] is not sent);
                                       power: [0] is the exponent */
    uint8_t reserved1160[4];
    uint32_t listHasChannel1; /* 1 = channel 1 takes part in the statistic */
} ComputedChannelRecord;

/* One module slot: state word and 22 channels. */
typedef struct ModuleArea {
    uint32_t moduleState; /* VMR_MODULE_ABSENT = leave this slot's channels out
                             (nothing is sent for them); any other value =
                             the slot's channels are configured as filled */
    uint8_t reserved4[4];
    ChannelRecord channels[VMR_CHANNELS_PER_AREA]; /* channels x01..x22 */
} ModuleArea;

/* Reading rates (bits 0-2 of VmrInstConfig.flags). */
#define VMR_RATE_FAST 0
#define VMR_RATE_MEDIUM 1
#define VMR_RATE_SLOW 3
#define VMR_RATE_NPLC 6 /* each channel's nplc (5129A) */
#define VMR_FLAG_FAHRENHEIT 0x10
#define VMR_FLAG_DATA_SECURITY 0x20
#define VMR_FLAG_AUTO_CONTINUOUS 0x40
#define VMR_FLAG_RESUME_AFTER_POWER 0x80

/* A whole instrument configuration: 178848 bytes. */
typedef struct VmrInstConfig {
    uint32_t flags;           /* bits 0-2: VMR_RATE_*; VMR_FLAG_FAHRENHEIT
                                 (else Celsius); VMR_FLAG_DATA_SECURITY (log
                                 memory protected); VMR_FLAG_AUTO_CONTINUOUS
                                 (automatic trigger runs on); VMR_FLAG_RESUME_AFTER_POWER
                                 (scanning resumes after a power cut) */
    uint32_t intervalHours;   /* scan interval of the timer trigger: hours, */
    uint32_t intervalMinutes; /* minutes */
    uint32_t intervalSeconds; /* and seconds (sent as their sum in seconds;
                                 not sent with the external trigger) */
    uint32_t reserved16[9];
    uint32_t triggerCount;               /* number of scans per trigger (0..99999) */
    uint32_t recordDestination;          /* 0 recording off, 1 instrument memory, 2 USB drive */
    uint32_t alarmTriggerChannel;        /* with triggerSource 2: the channel whose alarm
                                            triggers; 0 = none */
    uint32_t autoTriggerOrder;           /* with triggerSource 3: 0 linear, 1 alternating,
                                            2 reverse (other values: reverse) */
    uint32_t autoReferenceChannel;       /* with triggerSource 3: reference channel; 0 = none */
    uint32_t autoSecondReferenceChannel; /* with triggerSource 3: second reference; 0 = none */
    uint32_t triggerSource;              /* 0 timer, 1 external, 2 alarm, 3 automatic */
    uint32_t totalizerDebounce;          /* nonzero = debounce the totalizer input */
    uint32_t totalizerCount;             /* read back only; never sent */
    uint32_t totalizerType;              /* nonzero = reset on each read, 0 = keep counting */
    uint32_t totalizerState;             /* nonzero = totalizer on */
    ChannelRecord channel1;              /* channel 1 */
    ComputedChannelRecord computed[VMR_COMPUTED_CHANNELS]; /* channels 501..520 */
    ModuleArea modules[VMR_MODULE_AREAS]; /* slots 1..3 (channels 101.., 201.., 301..);
                                             areas 3..5 are not sent */
} VmrInstConfig;

#pragma pack(pop)

KORDA_STATIC_ASSERT(sizeof(ChannelRecord) == 1168, "ChannelRecord size");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, range) == 4, "range");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, shuntOhms) == 8, "shuntOhms");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, alarmFlags) == 16, "alarmFlags");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, alarm1Limit) == 24, "alarm1Limit");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, alarm2Limit) == 32, "alarm2Limit");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, alarm1Output) == 40, "alarm1Output");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, alarm2Output) == 44, "alarm2Output");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, scaleM) == 48, "scaleM");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, scaleB) == 56, "scaleB");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, sensorCoef) == 64, "sensorCoef");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, name) == 120, "name");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, unit) == 632, "unit");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, nplc) == 1144, "nplc");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, delay) == 1152, "delay");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, openDetect) == 1160, "openDetect");
KORDA_STATIC_ASSERT(offsetof(ChannelRecord, refJunction) == 1164, "refJunction");

KORDA_STATIC_ASSERT(sizeof(ComputedChannelRecord) == 1168, "ComputedChannelRecord size");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, sourceA) == 4, "sourceA");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, sourceB) == 8, "sourceB");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, sourceList) == 12, "sourceList");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, alarmFlags) == 36, "alarmFlags");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, alarm1Limit) == 40, "alarm1Limit");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, alarm2Limit) == 48, "alarm2Limit");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, alarm1Output) == 56, "alarm1Output");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, alarm2Output) == 60, "alarm2Output");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, scaleM) == 64, "scaleM");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, scaleB) == 72, "scaleB");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, name) == 80, "name");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, unit) == 592, "unit");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, coefficients) == 1104, "coefficients");
KORDA_STATIC_ASSERT(offsetof(ComputedChannelRecord, listHasChannel1) == 1164, "listHasChannel1");

KORDA_STATIC_ASSERT(sizeof(ModuleArea) == 25704, "ModuleArea size");
KORDA_STATIC_ASSERT(offsetof(ModuleArea, channels) == 8, "channels");

KORDA_STATIC_ASSERT(sizeof(VmrInstConfig) == 178848, "VmrInstConfig size");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, intervalHours) == 4, "intervalHours");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, intervalMinutes) == 8, "intervalMinutes");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, intervalSeconds) == 12, "intervalSeconds");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, triggerCount) == 52, "triggerCount");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, recordDestination) == 56, "recordDestination");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, alarmTriggerChannel) == 60, "alarmTriggerChannel");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, autoTriggerOrder) == 64, "autoTriggerOrder");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, autoReferenceChannel) == 68, "autoReferenceChannel");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, autoSecondReferenceChannel) == 72,
                    "autoSecondReferenceChannel");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, triggerSource) == 76, "triggerSource");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, totalizerDebounce) == 80, "totalizerDebounce");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, totalizerCount) == 84, "totalizerCount");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, totalizerType) == 88, "totalizerType");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, totalizerState) == 92, "totalizerState");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, channel1) == 96, "channel1");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, computed) == 1264, "computed");
KORDA_STATIC_ASSERT(offsetof(VmrInstConfig, modules) == 24624, "modules");

/* ---- Whole-instrument configuration ------------------------------------ */

/* The module slots that hold a module, from the instrument's "*OPT?" reply:
 * bit k set = slot k+1 holds one (a 5129A with modules in slots 1 and 3
 * gives 5). A reply of more than 32 slots wraps to bit 0 again (and a module
 * in slot 32 would set bit 31). Returns the mask, zero or more (0 = no
 * module; 1 = a module in slot 1 only, not "success"), or a negative
 * status. */
KORDA_API int KORDA_CALL dlxVmrGetInstalledModules(int bcn);

/* dlxVmrConfigSet options. */
#define DLXVMR_CONFIG_SKIP_UNCHANGED 1

/* Results of dlxVmrConfigSet besides 1 and the negative statuses. */
#define DLXVMR_CONFIG_NO_CHANNEL                                                                   \
    100 /* "No channel configured": the record                                                     \
           scans no channel; nothing was sent */

/* Detail codes of dlxVmrConfigSet's -2025 (written to *detail). */
#define DLXVMR_DETAIL_SHUNT_SCALE_TOO_SMALL                                                        \
    33 /* range 112: scaleM / shuntOhms is                                                         \
          below the smallest normal float                                                          \
          (1.18e-38) */
#define DLXVMR_DETAIL_SHUNT_SCALE_TOO_LARGE                                                        \
    34 /* the scaling that results for a                                                           \
          shunt channel exceeds the float                                                          \
          range (3.4e38) */

/* Configures the whole instrument from config: resets it ("*RST") and sends
 * the temperature unit, every configured channel (channel 1, the channels of
 * each installed module, the computed channels), the recording, rate,
 * trigger, interval and totalizer settings, the scan list (module channels
 * in channel order, then computed channels, then channel 1), the
 * thermocouple reference junctions and the trigger channels. The commands go
 * out in batches of 20, each checked against the instrument's error queue;
 * the call then waits one second for the instrument to settle.
 *
 * options: DLXVMR_CONFIG_SKIP_UNCHANGED = send nothing when the instrument
 * already runs this very record. The library keeps a 13-character
 * fingerprint (MD5) of the last record it sent in the instrument's OEM
 * identity text (dlxVmrOEMIdentityGet/Set), so storing another OEM identity
 * makes the next call send again. The fingerprint is stored after every
 * successful transfer, with or without the option.
 *
 * config is read; only shuntOhms values of 10 or less are written (raised
 * to 10.0). Shunt channels (current functions on channels x01..x20 with
 * shuntOhms) are sent as voltage channels named "*" R "*" name with scaling
 * that yields the application's reading.
 *
 * detail (may be null): 0, or the DLXVMR_DETAIL_* code of a -2025.
 *
 * Returns 1 on success, and also when a trigger channel (alarmTriggerChannel,
 * autoReferenceChannel, autoSecondReferenceChannel) names a channel that
 * is not configured: its command is sent and the instrument decides.
 * DLXVMR_CONFIG_NO_CHANNEL (+100) when no channel would be scanned (nothing
 * sent; its text "No channel configured" is available from
 * dlxVmrGetErrorString). -2025 when a shunt channel cannot be converted
 * (nothing sent; the error text names the channel). -2 when config is null.
 * The instrument's own negative error number when it rejected a command:
 * the batches before it were applied, nothing after it was sent, and the
 * error text names the command and the instrument's message. Otherwise the
 * status of the failed exchange. Threads: holds the instrument for the whole
 * transfer and the pause after it. */
KORDA_API int KORDA_CALL dlxVmrConfigSet(int bcn, VmrInstConfig* config, int options, int* detail);

/* Reads the configuration the instrument runs into record. The instrument
 * is made to log one short scan into its log memory (logging to the memory,
 * timer trigger, count 2); the configuration of that log is parsed like a
 * setup file, live queries complete it, and trigger count, interval, source,
 * alarm channel, logging, destination and the scan list are put back and the
 * captured log deleted. Channels kept as scaled voltage channels for a
 * current shunt come back as current channels. Readings of the captured scan
 * stay in the reading memory. Returns 1. On failure record is all zero; -1
 * when the capture fails, -2035 when no configuration came back, -2 for a
 * null record; else the status of the step that failed (an exchange, or the
 * instrument's error number when it rejected a command). */
KORDA_API int KORDA_CALL dlxVmrConfigGet(int bcn, VmrInstConfig* record);

/* ---- Scanning and readings --------------------------------------------- */
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
    int32_t fraction; /* milliseconds: the seconds' decimals to three places (".5" is 500) */
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
#define DLXVMR_SCAN_BUFFER_SIZE(scans, readings)                                                   \
    (DLXVMR_SCAN_RECORD_HEADER_SIZE +                                                              \
     (size_t)(scans) * (DLXVMR_SCAN_ENTRY_HEADER_SIZE + 4 * (size_t)(readings)))
/* Entry n (from 0) of a filled record. (Counted from the record's first byte:
 * the entries lie beyond the declared size of `entries`.) */
#define DLXVMR_SCAN_ENTRY(record, n)                                                               \
    ((ScanEntry*)((const unsigned char*)(record) + DLXVMR_SCAN_RECORD_HEADER_SIZE +                \
                  (size_t)(record)->entrySize * (size_t)(n)))

KORDA_STATIC_ASSERT(offsetof(ScanEntry, reserved0) == 0, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, hour) == 8, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, minute) == 9, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, second) == 10, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, month) == 11, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, reserved12) == 12, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, day) == 13, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, year) == 14, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, reserved15) == 15, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, fraction) == 16, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, reserved20) == 20, "ScanEntry layout");
KORDA_STATIC_ASSERT(offsetof(ScanEntry, readings) == DLXVMR_SCAN_ENTRY_HEADER_SIZE,
                    "ScanEntry layout");
KORDA_STATIC_ASSERT(sizeof(float) == 4, "readings are IEEE single precision");
KORDA_STATIC_ASSERT(offsetof(ScanRecord, entrySize) == 0, "ScanRecord layout");
KORDA_STATIC_ASSERT(offsetof(ScanRecord, scanCount) == 4, "ScanRecord layout");
KORDA_STATIC_ASSERT(offsetof(ScanRecord, scansRemaining) == 8, "ScanRecord layout");
KORDA_STATIC_ASSERT(offsetof(ScanRecord, entries) == DLXVMR_SCAN_RECORD_HEADER_SIZE,
                    "ScanRecord layout");

/* Starts (enable nonzero) or stops scanning. Returns 1. */
KORDA_API int KORDA_CALL dlxVmrScansEnable(int bcn, int enable);
/* Discards the readings the instrument holds (both names do the same).
 * Returns 1. */
KORDA_API int KORDA_CALL dlxVmrScansClear(int bcn);
KORDA_API int KORDA_CALL dlxVmrPCCardScansClear(int bcn);
/* Number of scans the instrument holds (both names do the same); a reply
 * that is not a count gives -2035 and leaves count alone. Returns 1; -2 for
 * a null count. */
KORDA_API int KORDA_CALL dlxVmrGetScansCount(int bcn, int* count);
KORDA_API int KORDA_CALL dlxVmrScansCount(int bcn, int* count);
/* Fetches up to `requested` scans into record (see ScanRecord). A reply that
 * is not a scan gives -1 with a detailed text; the scans before it stay
 * counted. A timeout is not retried (the readings already left the
 * instrument): -1015. Returns 1, the number of scans fetched in
 * record->scanCount (0 when the instrument holds none); -2 for a null record;
 * -1012 when the count of held scans cannot be asked, -2035 when it is not a
 * count; -2027 when not one line of the reply arrived; a failed exchange
 * keeps no scan. */
KORDA_API int KORDA_CALL dlxVmrScansGet(int bcn, uint32_t requested, ScanRecord* record);

/* Monitoring of one channel. InstMonitor selects the channel and switches
 * monitoring on or off; SpyEnable only switches it. SpyGet takes one reading
 * of a channel; code = BCN x 1000 + channel. Return 1; SpyGet gives -2 for a
 * null reading and -1 (with a detailed text) for a reply that is not a
 * reading, and leaves reading alone on any failure. */
KORDA_API int KORDA_CALL dlxVmrInstMonitor(int bcn, int enable, unsigned int channel);
KORDA_API int KORDA_CALL dlxVmrSpyEnable(int bcn, int enable);
KORDA_API int KORDA_CALL dlxVmrSpyGet(int code, float* reading);

/* ---- Log memory and USB-drive files ------------------------------------ */

/* Recording directories copied from the instrument's USB drive. A directory is
 * given with a trailing separator ("/" or "\\" on every system), or as the path
 * of any file inside it; a bare name means the current directory. The bcn
 * argument is not used: no library start and no open instrument are needed,
 * and -2002 and -2007 never come back. */

/* Reads the directory's "setup.csv" into config, changing only the fields the
 * file carries. 1, or -2034 when the file is missing, empty or not a setup
 * file; -2 for a null directory or config. */
KORDA_API int KORDA_CALL dlxVmrPCCardConfigFile(int bcn, const wchar_t* directory,
                                                VmrInstConfig* config, int reserved1,
                                                int reserved2);

/* Reads scans of the directory's "dat00001.csv" into record (entrySize is set
 * to 12 first). start = 0 reads the first `count` scans and sets
 * scansRemaining to the scans left; to continue, pass the same record back
 * unchanged with start = the number of scans read so far. Returns the number
 * of scans stored; -2022 when none was stored or a line could not be taken
 * apart (scans stored before it stay counted in scanCount); -2034 when the file
 * is missing or not a data file; -2 for null pointers or a negative count or
 * start. The line check codes are not verified here. */
KORDA_API int KORDA_CALL dlxVmrPCCardScansFileGet(int bcn, const wchar_t* directory, int count,
                                                  int start, ScanRecord* record);

/* Verifies every line's check code of a data file (chained from "setup.csv"
 * of the same directory), then stores its number of scans in count. 1, or
 * -2034 when the file is missing, fails a check, or holds no scan; -2 for a
 * null path or count. */
KORDA_API int KORDA_CALL dlxVmrPCCardScansFileCountW(int bcn, const wchar_t* dataFilePath,
                                                     int* count);

/* The instrument's log memory: log files, each the data-file text of one
 * recording, with the configuration it was recorded under. File names are
 * given without quotation marks; control characters are removed from them
 * and a quotation mark inside a name is sent doubled. A reply that is not a
 * number where a count is expected gives -2035. */

/* Room of the log memory in KiB (bytes / 1024, rounded toward zero):
 * status[1] and status[2] are the two numbers the instrument reports
 * (free and used), status[0] their sum. A reply of one number leaves the
 * array alone and returns 1. -2 for a null status. */
KORDA_API int KORDA_CALL dlxVmrPCCardStatus(int bcn, int32_t* status);

/* Empties the log memory: switches its data security off, then clears it.
 * Returns 1, or the status of the first command that failed. */
KORDA_API int KORDA_CALL dlxVmrPCCardFormat(int bcn);

/* The names of the log files as the instrument answers them (quoted), in
 * file order, each followed by "*", in one zero-terminated text that the
 * library allocates: release it with dlxVmrDeleteBuffer. count receives the
 * number of files. Returns 1; -1001 when the memory holds no file; -2 for a
 * null names or count; -2035 when the names run beyond the longest reply the
 * library takes; on any failure nothing is handed out. */
KORDA_API int KORDA_CALL dlxVmrGetPCCardScansFileList(int bcn, char** names, int* count);

/* fromLog 0 (only its low byte is tested): as dlxVmrGetScansCount. Otherwise
 * the number of scans in the newest log file; with no log file, 1 is
 * returned and count left alone. Returns 1; -2 for a null count. */
KORDA_API int KORDA_CALL dlxVmrPCCardScansCount(int bcn, int* count, int fromLog);

/* The number of scans in the named log file; count is left alone when the
 * file is not a data file. Returns 1; -2 for a null name or count. */
KORDA_API int KORDA_CALL dlxVmrPCCardScansCountFile(int bcn, const wchar_t* fileName, int* count);

/* Reads scans of the named log file into record, exactly as
 * dlxVmrPCCardScansFileGet reads a data file (same start, count and
 * continuation through scansRemaining). The number of scans stored; 1 with
 * the record untouched when the file is not a data file; -2022 when no scan
 * was stored or a line could not be taken apart; -2 for null pointers or a
 * negative count or start. */
KORDA_API int KORDA_CALL dlxVmrScansFileGet(int bcn, const wchar_t* fileName, int count, int start,
                                            ScanRecord* record);

/* Reads the configuration of the named log file into config, changing only
 * the fields the setup text carries (as dlxVmrPCCardConfigFile). The third
 * argument is not used. On a failing exchange config is not touched.
 * Returns 1; -2 for a null config or name; -2035 when nothing came back. */
KORDA_API int KORDA_CALL dlxVmrPCCardConfigGet(int bcn, VmrInstConfig* config, int reserved,
                                               const wchar_t* fileName);

/* Kept for applications that call it: does nothing and returns 1. */
KORDA_API int KORDA_CALL dlxVmrPCCardScansGet(int bcn, int reserved1, int reserved2,
                                              void* reserved3);

/* ---- Additions beyond the original interface --------------------------- */

/* Sends one SCPI command that no other function covers, as it stands.
 * A command holding a '?' is a query: it is sent once (never repeated, since
 * a query may take what it reads), and the first line of the reply, without
 * its line end, goes into reply: at most size-1 characters and a terminator.
 * Any other command is a setting, checked against the instrument's error
 * queue as every setting the library sends: an error returns the
 * instrument's error number, with its text for dlxVmrGetErrorStringA; reply,
 * when given, is set to the empty text. Returns 1, -2 for an empty command,
 * one holding a line end or another control character, or a query without
 * a reply buffer (nothing is sent), -1015 when no reply came in time. */
KORDA_API int KORDA_CALL dlxVmrRawCommandA(int bcn, const char* command, char* reply,
                                           uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* KORDA32EXT_H */
