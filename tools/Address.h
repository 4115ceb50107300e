// Where korda finds its instrument, given as one argument:
//   tcp://HOST[:PORT]   host name or IPv4 address, port 5025 by default
//   usb:N               the instrument on COM port N; "usb:" searches
//   sim:[MODEL]         the virtual instrument inside korda (the default)
#pragma once

#include <optional>
#include <string>

namespace korda::tool {

struct Address {
    enum class Kind { Tcp, Usb, Sim };
    Kind kind = Kind::Sim;
    std::string host; // tcp
    int port = 0;     // tcp port, or COM number (0 = search)
    int model = 0;    // model code named in a sim: address, 0 = not named
    std::string text; // as the user wrote it

    static constexpr int kDefaultTcpPort = 5025;
    static constexpr int kHighestComPort = 256;
};

// True when the argument has the form of an address (a known scheme), so a
// command line can tell an address from a command.
bool looksLikeAddress(const std::string& argument);

// Parses an address; on failure returns nothing and sets why.
std::optional<Address> parseAddress(const std::string& argument, std::string& why);

// The IPv4 address of a host name or dotted address; false (and why) when
// the name cannot be resolved. Needs the library started (on Windows the
// library starts the socket layer).
bool resolveIPv4(const std::string& host, unsigned char (&address)[4], std::string& why);

// A model code from "7043A" or "5129A" (any letter case); 0 otherwise.
int modelFromName(const std::string& name);
const char* modelName(int model);

// Reads a whole decimal number from lowest to highest; nothing when the text
// is anything else (sign, blanks, digits beyond the range).
std::optional<long long> parseWholeNumber(const std::string& text, long long lowest,
                                          long long highest);

} // namespace korda::tool
