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
/* Finds instruments on COM1 to COM<highest> (COM1 is always tried): for each
 * port whose instrument answers "*IDN?", the COM number and the model code go
 * into the next elements of ports and models, filled from index 0 in COM
 * order. Elements beyond the last one found are left as they were, so clear
 * both arrays first; each needs room for one element per COM number tried.
 * Do not run it on a COM port that an open instrument uses (such a port is
 * in use and is skipped). Returns 1; -2 when an array pointer is null. */
KORDA_API int KORDA_CALL dlxVmrUsbEnum(int* ports, int* models, int highest);

/* ---- Direct instrument operations -------------------------------------- */

/* ---- Configuration record ---------------------------------------------- */

/* ---- Scanning and readings --------------------------------------------- */

/* ---- Log memory and USB-drive files ------------------------------------ */

#ifdef __cplusplus
}
#endif

#endif /* KORDA32EXT_H */
