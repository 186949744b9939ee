// Name resolution and this PC's host name, thread-safe, through the NetEnvironment (a test injects its own
// names so that no real name server is ever asked), and IPv4 text forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// IPv4 addresses (network byte order) of a host name; a dotted quad gives itself without a lookup.
std::vector<std::uint32_t> ResolveIPv4(const std::string& name);

// This PC's host name.
std::string HostName();

// Dotted text of an address in network byte order (a thread-safe inet_ntoa).
std::string Ipv4Text(std::uint32_t address);
// Parses a dotted quad; false for anything else.
bool ParseIpv4(const std::string& text, std::uint32_t& address);

} // namespace platform
