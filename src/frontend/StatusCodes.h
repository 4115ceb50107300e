// Status codes and their fixed English texts.
#pragma once

namespace korda32ex {

// The fixed text of a status code; "Unknown" for a code without an entry.
const char* statusText(int code);

namespace status {
inline constexpr int kOk = 1;
inline constexpr int kInvalidRequest = -1;
inline constexpr int kInvalidParameter = -2;
inline constexpr int kCannotOpenSocket = -1006;
inline constexpr int kSocketRead = -1012;
inline constexpr int kSocketSend = -1013;
inline constexpr int kTimeout = -1015;
inline constexpr int kWinsockGeneral = -1017;
inline constexpr int kWinsockInit = -1019;
inline constexpr int kAlreadyInitialized = -2001;
inline constexpr int kNotInitialized = -2002;
inline constexpr int kAlreadyOpen = -2005;
inline constexpr int kNotOpen = -2007;
inline constexpr int kOutOfMemory = -2011;
inline constexpr int kModelMismatch = -2021;
inline constexpr int kTooManyScans = -2022;
inline constexpr int kInvalidConfiguration = -2025;
inline constexpr int kNetworkTimeout = -2027;
inline constexpr int kConnectionRefused = -2028;
inline constexpr int kBadFile = -2034;
inline constexpr int kInvalidResponse = -2035;
inline constexpr int kInvalidComPort = -2037;
inline constexpr int kConnectTimeout = -2038;
inline constexpr int kInstrumentNotFound = -2039;
} // namespace status

} // namespace korda32ex
