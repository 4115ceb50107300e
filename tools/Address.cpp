#include "Address.h"

#include "korda32ext.h"

#include <cctype>
#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace korda::tool {

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Host names and IPv4 addresses: letters, digits, dots and hyphens.
bool validHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
    return true;
}

} // namespace

std::optional<long long> parseWholeNumber(const std::string& text, long long lowest,
                                          long long highest) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

bool resolveIPv4(const std::string& host, unsigned char (&address)[4], std::string& why) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        why = "cannot find the host '" + host + "'";
#if !defined(_WIN32)
        if (rc != 0) why += std::string(": ") + gai_strerror(rc);
#endif
        return false;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address, &in->sin_addr, 4); // network order: the dotted order
    freeaddrinfo(found);
    return true;
}

int modelFromName(const std::string& name) {
    std::string upper;
    for (const char c : name)
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper == "7043A") return DLXVMR_MODEL_7043A;
    if (upper == "5129A") return DLXVMR_MODEL_5129A;
    return DLXVMR_MODEL_UNIDENTIFIED;
}

const char* modelName(int model) {
    switch (model) {
    case DLXVMR_MODEL_7043A:
        return "7043A";
    case DLXVMR_MODEL_5129A:
        return "5129A";
    default:
        return "unidentified";
    }
}

bool looksLikeAddress(const std::string& a) {
    return startsWith(a, "tcp://") || startsWith(a, "usb:") || startsWith(a, "sim:") || a == "sim";
}

std::optional<Address> parseAddress(const std::string& a, std::string& why) {
    Address out;
    out.text = a;
    if (startsWith(a, "tcp://")) {
        out.kind = Address::Kind::Tcp;
        std::string rest = a.substr(6);
        if (!rest.empty() && rest.back() == '/') rest.pop_back();
        out.port = Address::kDefaultTcpPort;
        const auto colon = rest.rfind(':');
        if (colon != std::string::npos) {
            const auto port = parseWholeNumber(rest.substr(colon + 1), 1, 65535);
            if (!port) {
                why = "the port of " + a + " must be a number from 1 to 65535";
                return std::nullopt;
            }
            out.port = static_cast<int>(*port);
            rest.resize(colon);
        }
        if (!validHost(rest)) {
            why = "'" + rest + "' is not a host name or IPv4 address (tcp://HOST[:PORT])";
            return std::nullopt;
        }
        out.host = rest;
        return out;
    }
    if (startsWith(a, "usb:")) {
        out.kind = Address::Kind::Usb;
        const std::string n = a.substr(4);
        if (n.empty()) return out; // search every COM port
        const auto port = parseWholeNumber(n, 1, Address::kHighestComPort);
        if (!port) {
            why = "the COM number of " + a + " must be a number from 1 to " +
                  std::to_string(Address::kHighestComPort) + " (or usb: to search)";
            return std::nullopt;
        }
        out.port = static_cast<int>(*port);
        return out;
    }
    if (a == "sim" || startsWith(a, "sim:")) {
        out.kind = Address::Kind::Sim;
        const std::string m = a.size() > 4 ? a.substr(4) : "";
        if (!m.empty()) {
            out.model = modelFromName(m);
            if (out.model == DLXVMR_MODEL_UNIDENTIFIED) {
                why = "the virtual instrument is a 7043A or a 5129A, not '" + m + "'";
                return std::nullopt;
            }
        }
        return out;
    }
    why = "'" + a + "' is not an address (tcp://HOST[:PORT], usb:N, usb:, sim:[MODEL])";
    return std::nullopt;
}

} // namespace korda::tool
