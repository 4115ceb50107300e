#include "core/Status.h"

#include <algorithm>
#include <iterator>

namespace korda32ex {

namespace {

struct StatusEntry {
    int code;
    const char* text;
};

// Sorted by code (descending) so that lookups can bisect.
constexpr StatusEntry kStatusTable[] = {
    {1, "No Errors"},
    {-1, "Invalid request number"},
    {-2, "Invalid parameter, or number of parameters"},
    {-3, "Instrument is busy"},
    {-4, "Task cannot be performed because the scan is enabled"},
    {-5, "Task cannot be performed because the scan is disabled"},
    {-6, "There are no channels configured"},
    {-7, "One or more channels specified are not configured"},
    {-8, "No input module in the slot specified"},
    {-9, "Non-volatile storage has been corrupted"},
    {-10, "There are no spy measurements available"},
    {-11, "Scan enable time is > 24 hours in the future"},
    {-12, "No reference junction measurement is available"},
    {-13, "Serial pass-thru state already enabled"},
    {-14, "Serial pass-thru state disabled"},
    {-15, "Serial pass-thru receive error"},
    {-16, "Serial pass-thru is busy"},
    {-17, "Configuration mismatch prevented scan data from being appended to existing data "
          "already on the PC Card"},
    {-18, "No output module is installed"},
    {-19, "The PC Card is full"},
    {-20, "No PC Card is inserted/available"},
    {-21, "Could not read/write to PC Card"},
    {-22, "Can't get more than 5000 scans at a time from PC Card"},
    {-1001, "Error opening network configuration file"},
    {-1002, "Configuration file has different fields"},
    {-1003, "No BCN number defined"},
    {-1004, "Calling a wrong version of communication layer"},
    {-1005, "Winsock.dll has already unloaded"},
    {-1006, "Cannot open socket"},
    {-1007, "Null pointer to data to be sent"},
    {-1008, "Stream buffer full"},
    {-1009, "The command sent cannot be verified"},
    {-1010, "Net command packet checksum error"},
    {-1011, "The winsock.dll is not found"},
    {-1012, "Socket read error"},
    {-1013, "Socket send error"},
    {-1014, "Connection is down"},
    {-1015, "Timeout has occurred"},
    {-1016, "Invalid socket parameter"},
    {-1017, "General winsock related error"},
    {-1018, "Winsock.dll has already loaded"},
    {-1019, "Winsock.dll found, but could not be initialized"},
    {-2001, "During initialization: Toolbox already initialized"},
    {-2002, "Toolbox not yet initialized"},
    {-2003, "BCN is not in valid range (1-99)"},
    {-2004, "Bad internal Windows Toolbox Timeout"},
    {-2005, "Communications have already been opened for this BCN"},
    {-2006, "Channel number out of range"},
    {-2007, "Communications are not open to this instrument"},
    {-2008, "Trying to create a configuration for a BCN which already has a configuration"},
    {-2009, "Tried to create more than the maximum number of configurations"},
    {-2010, "BCN not registered in the CCF"},
    {-2011, "Generic out-of-memory error returned from Toolbox"},
    {-2012, "CCF does not exist, or cannot be read"},
    {-2013, "Cannot create or write the CCF"},
    {-2014, "The given BCN cannot be found in CCF"},
    {-2015, "Illegal TCP/IP port number"},
    {-2016, "Illegal model type specification"},
    {-2017, "Path provided for loading CCF file is incorrect"},
    {-2018, "CCF file damaged or corrupted"},
    {-2019, "Invalid Network Mode attempted to be set"},
    {-2020, "Network is in general mode, and there is no General Network IP address for this "
            "instrument"},
    {-2021, "Model of instrument and model of instrument stored in CCF don't match"},
    {-2022, "Requested more than MAXSCANS number of scans be sent back from instrument"},
    {-2023, "Bad system time on PC"},
    {-2024, "The Model/Version inquiry returned an unknown Model string"},
    {-2025, "Invalid configuration"},
    {-2026, "Not all communication ports are closed"},
    {-2027, "Timeout happened during network operation"},
    {-2028, "Error returned from instrument: either someone else is using the instrument, or the "
            "wrong TCP port number is being used in General Network mode"},
    {-2029, "Toolbox function is being called while another Toolbox function is still "
            "processing (attempt to reentrantly call Toolbox)"},
    {-2030, "Bad baud rate given when enabling Pass-Thru mode on the Secondary Interface Port"},
    {-2031, "Buffer size exceeds the maximum buffer limit"},
    {-2032, "Bad parameter value sent to config Set() or Get()"},
    {-2033, "Bad Model for this function"},
    {-2034, "Bad file from USB Drive"},
    {-2035, "Invalid response from the instrument"},
    {-2037, "Invalid COM port"},
    {-2039, "Instrument not found"},
    {-2040, "Fail to start spy as this instrument does not support spy while scanning"},
    {-2041, "USB Windows API returned an error but did not provide detailed information"},
    {-3001, "Could not initiate a scan. Error in reading configuration file"},
    {-3002, "No channels configured. Error in reading configuration file"},
    {-3021, "One or more configured module(s) is(are) not installed in the instrument"},
};

constexpr bool tableSorted() {
    for (std::size_t i = 1; i < std::size(kStatusTable); ++i)
        if (kStatusTable[i - 1].code <= kStatusTable[i].code) return false;
    return true;
}

constexpr bool hasText(int code) {
    for (const auto& e : kStatusTable)
        if (e.code == code) return true;
    return false;
}

static_assert(tableSorted(), "the status table must stay sorted for the bisection");
// Every code the library returns has its text.
static_assert(hasText(status::kOk) && hasText(status::kInvalidRequest) &&
              hasText(status::kInvalidParameter) && hasText(status::kCannotOpenSocket) &&
              hasText(status::kSocketRead) && hasText(status::kSocketSend) &&
              hasText(status::kTimeout) && hasText(status::kWinsockGeneral) &&
              hasText(status::kWinsockInit) && hasText(status::kAlreadyInitialized) &&
              hasText(status::kNotInitialized) && hasText(status::kAlreadyOpen) &&
              hasText(status::kNotOpen) && hasText(status::kOutOfMemory) &&
              hasText(status::kModelMismatch) && hasText(status::kTooManyScans) &&
              hasText(status::kInvalidConfiguration) && hasText(status::kNetworkTimeout) &&
              hasText(status::kConnectionRefused) && hasText(status::kBadFile) &&
              hasText(status::kInvalidResponse) && hasText(status::kInvalidComPort) &&
              hasText(status::kInstrumentNotFound));

} // namespace

const char* statusText(int code) {
    const auto it = std::lower_bound(std::begin(kStatusTable), std::end(kStatusTable), code,
                                     [](const StatusEntry& e, int c) { return e.code > c; });
    if (it != std::end(kStatusTable) && it->code == code) return it->text;
    return "Unknown";
}

} // namespace korda32ex
