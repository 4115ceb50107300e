// Status codes and their fixed English texts. The codes the library returns
// are the public DLXVMR_* values; the names below are those values, never
// numbers of their own.
#pragma once

#include "korda32ext.h"

namespace korda32ex {

// The fixed text of a status code; "Unknown" for a code without an entry.
const char* statusText(int code);

namespace status {
inline constexpr int kOk = DLXVMR_OK;
inline constexpr int kInvalidRequest = DLXVMR_E_INVALID_REQUEST;
inline constexpr int kInvalidParameter = DLXVMR_E_INVALID_PARAMETER;
inline constexpr int kNoLogFiles = DLXVMR_E_NO_LOG_FILES;
inline constexpr int kCannotOpenSocket = DLXVMR_E_CANNOT_OPEN_SOCKET;
inline constexpr int kSocketRead = DLXVMR_E_SOCKET_READ;
inline constexpr int kSocketSend = DLXVMR_E_SOCKET_SEND;
inline constexpr int kTimeout = DLXVMR_E_TIMEOUT;
inline constexpr int kWinsockGeneral = DLXVMR_E_WINSOCK_GENERAL;
inline constexpr int kWinsockInit = DLXVMR_E_WINSOCK_INIT;
inline constexpr int kAlreadyInitialized = DLXVMR_E_ALREADY_INITIALIZED;
inline constexpr int kNotInitialized = DLXVMR_E_NOT_INITIALIZED;
inline constexpr int kAlreadyOpen = DLXVMR_E_ALREADY_OPEN;
inline constexpr int kNotOpen = DLXVMR_E_NOT_OPEN;
inline constexpr int kOutOfMemory = DLXVMR_E_OUT_OF_MEMORY;
inline constexpr int kModelMismatch = DLXVMR_E_MODEL_MISMATCH;
inline constexpr int kTooManyScans = DLXVMR_E_TOO_MANY_SCANS;
inline constexpr int kInvalidConfiguration = DLXVMR_E_INVALID_CONFIGURATION;
inline constexpr int kNetworkTimeout = DLXVMR_E_NETWORK_TIMEOUT;
inline constexpr int kConnectionRefused = DLXVMR_E_CONNECTION_REFUSED;
inline constexpr int kBadFile = DLXVMR_E_BAD_FILE;
inline constexpr int kInvalidResponse = DLXVMR_E_INVALID_RESPONSE;
inline constexpr int kInvalidComPort = DLXVMR_E_INVALID_COM_PORT;
inline constexpr int kConnectTimeout = DLXVMR_E_CONNECT_TIMEOUT;
inline constexpr int kInstrumentNotFound = DLXVMR_E_INSTRUMENT_NOT_FOUND;
} // namespace status

} // namespace korda32ex
