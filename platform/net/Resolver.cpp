#include "platform/net/Resolver.h"

#include "platform/net/NetEnvironment.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

namespace platform {

std::vector<std::uint32_t> ResolveIPv4(const std::string& name) {
    std::uint32_t literal = 0;
    if (ParseIpv4(name, literal))
        return {literal};
    const NetEnvironment env = GetNetEnvironment();
    if (env.resolve)
        return env.resolve(name);
    std::vector<std::uint32_t> addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0)
        return addresses;
    for (addrinfo* ai = result; ai; ai = ai->ai_next)
        if (ai->ai_family == AF_INET)
            addresses.push_back(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return addresses;
}

std::string HostName() {
    NetEnvironment env = GetNetEnvironment();
    if (!env.hostName.empty())
        return env.hostName;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string Ipv4Text(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{address};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool ParseIpv4(const std::string& text, std::uint32_t& address) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    address = a.s_addr;
    return true;
}

} // namespace platform
