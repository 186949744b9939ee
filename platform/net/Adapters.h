// The PC's network adapters with their IPv4 addresses and default gateway (the system's adapter and
// address tables), and the connected-state query. Loopback interfaces are not listed.
#pragma once

#include "platform/win32/Types.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr DWORD INTERNET_CONNECTION_MODEM = 0x01;
constexpr DWORD INTERNET_CONNECTION_LAN = 0x02;
// TRUE with the LAN flag while an adapter has an IPv4 address (or as the NetEnvironment says).
BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved);

namespace platform {

// Adapter types with the values of the Windows adapter table.
constexpr UINT kAdapterOther = 1;
constexpr UINT kAdapterEthernet = 6;
constexpr UINT kAdapterWireless = 71;

struct AdapterAddress {
    std::uint32_t address; // network byte order
    std::uint32_t mask;    // network byte order
};

struct Adapter {
    std::string name;
    DWORD index = 0;
    UINT type = kAdapterOther;
    std::vector<AdapterAddress> addresses; // in the system's order; the first is the adapter's own address
    std::uint32_t gateway = 0;             // network byte order; 0 when none
};

// The system's table, or the one the NetEnvironment injects.
std::vector<Adapter> AdapterTable();

// The kernel's adapters: those that are up with an IPv4 address, or with everyLink every one (also down or
// without an address; AddressService.h lists those).
std::vector<Adapter> SystemAdapters(bool everyLink);

// This PC's own IPv4 address (network byte order; 0 when none): the NetEnvironment's localAddress when
// set; else the local address of the interface that reaches the gateway (the NetEnvironment's, else the
// first adapter's; found by a UDP connect, which sends nothing); else the first address of the adapter
// table. The host name is not used: on Linux it often resolves to a loopback address.
std::uint32_t LocalAddress();

} // namespace platform
