// The box link's way of opening a TCP connection: a fresh non-blocking connect per attempt, each followed
// by a wait of the scaled clock for the socket to become writable (a refused connect fails at once).
#pragma once

#include "platform/net/Winsock.h"

#include <cstdint>

// A connected socket in blocking mode, owned by the caller, or INVALID_SOCKET after the last attempt.
// address is in network byte order.
SOCKET ConnectTcp(std::uint32_t address, std::uint16_t port, int attempts, DWORD waitMs, bool reuseAddress);
