// The network environment a process takes from its environment variables, so that the program and the test
// box can be pointed at each other on this machine:
// - VELOQ_NET=loopback starts from LoopbackNetEnvironment (every destination, the adapter table, the own
//   address and name resolution on 127.0.0.1); without it the system's defaults are the start;
// - each port of NetPortVariables() is set by its variable, a decimal 0..65535.
// A variable whose value cannot be used leaves its field as it was and is named in the problems.
#pragma once

#include "platform/net/NetEnvironment.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct NetPortVariable {
    const char* name; // VELOQ_LAN_STREAM_PORT, ...
    std::uint16_t NetEnvironment::*port;
};

const std::vector<NetPortVariable>& NetPortVariables();

// A port text as the variables take it: decimal digits only, at most 65535.
bool ParsePortText(const std::string& text, std::uint16_t& port);

NetEnvironment NetEnvironmentFromVariables(std::vector<std::string>* problems = nullptr);

} // namespace platform
