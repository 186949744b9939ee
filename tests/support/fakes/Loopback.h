// Socket addresses of the fakes, which serve and answer on 127.0.0.0/8 only.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace fakes {

inline bool isLoopback(const sockaddr_in& a) {
    return (ntohl(a.sin_addr.s_addr) >> 24) == 127;
}

// The address and port; std::invalid_argument, naming the fake, for an address outside 127.0.0.0/8.
inline sockaddr_in loopbackAddress(const std::string& address, std::uint16_t port, const std::string& fake) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 || !isLoopback(a))
        throw std::invalid_argument(fake + ": not a loopback address: " + address);
    return a;
}

// The port a socket is bound to.
inline std::uint16_t boundPort(int s) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
}

} // namespace fakes
