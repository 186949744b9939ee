#include "platform/net/Adapters.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"

#include <cstdlib>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The hardware type comes from the link's own entry (sysfs may show another network namespace).
UINT adapterType(const std::string& name, const ifaddrs* list) {
    struct stat st;
    if (::stat(("/sys/class/net/" + name + "/wireless").c_str(), &st) == 0)
        return kAdapterWireless;
    int arp = 0;
    bool known = false;
    for (const ifaddrs* ifa = list; ifa && !known; ifa = ifa->ifa_next)
        if (ifa->ifa_addr && ifa->ifa_addr->sa_family == AF_PACKET && name == ifa->ifa_name) {
            arp = reinterpret_cast<const sockaddr_ll*>(ifa->ifa_addr)->sll_hatype;
            known = true;
        }
    if (!known) {
        std::ifstream type("/sys/class/net/" + name + "/type");
        type >> arp;
    }
    return arp == ARPHRD_ETHER ? kAdapterEthernet : kAdapterOther;
}

// Default gateways by interface name from the kernel's routing table (hexadecimal, network byte order).
std::uint32_t defaultGateway(const std::string& name) {
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line); // header
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway;
        if (!(fields >> iface >> destination >> gateway))
            continue;
        if (iface == name && destination == "00000000")
            return static_cast<std::uint32_t>(std::strtoul(gateway.c_str(), nullptr, 16));
    }
    return 0;
}

} // namespace

std::vector<Adapter> SystemAdapters(bool everyLink) {
    std::vector<Adapter> table;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return table;
    for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || (ifa->ifa_flags & IFF_LOOPBACK))
            continue;
        const int family = ifa->ifa_addr->sa_family;
        const bool listed = everyLink ? (family == AF_PACKET || family == AF_INET)
                                      : (family == AF_INET && (ifa->ifa_flags & IFF_UP));
        if (!listed)
            continue;
        const std::string name = ifa->ifa_name;
        Adapter* adapter = nullptr;
        for (Adapter& a : table)
            if (a.name == name)
                adapter = &a;
        if (!adapter) {
            table.push_back(Adapter{name, ::if_nametoindex(ifa->ifa_name), adapterType(name, list), {}, 0});
            adapter = &table.back();
            adapter->gateway = defaultGateway(name);
        }
        if (family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(ifa->ifa_netmask);
        adapter->addresses.push_back({address->sin_addr.s_addr, mask ? mask->sin_addr.s_addr : 0});
    }
    ::freeifaddrs(list);
    return table;
}

std::vector<Adapter> AdapterTable() {
    NetEnvironment env = GetNetEnvironment();
    return env.adapters ? *env.adapters : SystemAdapters(false);
}

namespace {

// The local address the kernel picks for datagrams to destination; connecting a UDP socket sends nothing.
std::uint32_t routeSource(std::uint32_t destination) {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = destination;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    std::uint32_t address = 0;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        address = local.sin_addr.s_addr;
    ::close(s);
    return address;
}

} // namespace

std::uint32_t LocalAddress() {
    const NetEnvironment env = GetNetEnvironment();
    std::uint32_t address = 0;
    if (!env.localAddress.empty())
        return ParseIpv4(env.localAddress, address) ? address : 0;
    const std::vector<Adapter> table = AdapterTable();
    std::uint32_t gateway = 0;
    if (env.gateway.empty() || !ParseIpv4(env.gateway, gateway))
        gateway = table.empty() ? 0 : table.front().gateway;
    if (gateway != 0 && (address = routeSource(gateway)) != 0)
        return address;
    for (const Adapter& a : table)
        for (const AdapterAddress& candidate : a.addresses)
            if ((ntohl(candidate.address) >> 24) != 127)
                return candidate.address;
    return 0;
}

} // namespace platform

BOOL InternetGetConnectedState(DWORD* flags, DWORD) {
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    bool connected = false;
    if (env.connected) {
        connected = *env.connected;
    } else {
        for (const platform::Adapter& a : platform::AdapterTable())
            connected = connected || !a.addresses.empty();
    }
    if (flags)
        *flags = connected ? INTERNET_CONNECTION_LAN : 0;
    return connected ? TRUE : FALSE;
}
