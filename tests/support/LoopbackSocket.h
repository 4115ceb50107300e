// Plain loopback sockets for the peers of tests and benchmarks that stand
// in front of, or in place of, an instrument (POSIX only).
#pragma once

#if !defined(_WIN32)
#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korda::test {

// A listening socket on a free loopback port; port is 0 when it cannot
// listen. Returns the socket (close it when done).
inline int listenLoopback(int backlog, int& port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(s, backlog) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    return s;
}

} // namespace korda::test
#endif
