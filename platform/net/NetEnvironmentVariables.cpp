#include "platform/net/NetEnvironmentVariables.h"

#include <cstdlib>

namespace platform {

const std::vector<NetPortVariable>& NetPortVariables() {
    static const std::vector<NetPortVariable> table = {
        {"VELOQ_LAN_SEARCH_PORT", &NetEnvironment::lanSearchPort},
        {"VELOQ_LAN_SEARCH_LOCAL_PORT", &NetEnvironment::lanSearchLocalPort},
        {"VELOQ_LAN_CONTROL_PORT", &NetEnvironment::lanControlPort},
        {"VELOQ_LAN_STREAM_PORT", &NetEnvironment::lanStreamPort},
        {"VELOQ_DIRECT_CONTROL_PORT", &NetEnvironment::directControlPort},
        {"VELOQ_DIRECT_STREAM_PORT", &NetEnvironment::directStreamPort},
        {"VELOQ_RELAY_SERVER_PORT", &NetEnvironment::relayServerPort},
        {"VELOQ_RENDEZVOUS_LISTEN_PORT", &NetEnvironment::rendezvousListenPort},
        {"VELOQ_SSDP_PORT", &NetEnvironment::ssdpPort},
        {"VELOQ_WIZARD_CONTROL_PORT", &NetEnvironment::wizardControlPort},
    };
    return table;
}

bool ParsePortText(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

NetEnvironment NetEnvironmentFromVariables(std::vector<std::string>* problems) {
    const auto problem = [&](std::string text) {
        if (problems)
            problems->push_back(std::move(text));
    };
    NetEnvironment env;
    if (const char* net = std::getenv("VELOQ_NET")) {
        if (std::string(net) == "loopback")
            env = LoopbackNetEnvironment();
        else
            problem(std::string("VELOQ_NET=") + net + ": only \"loopback\" is known");
    }
    for (const NetPortVariable& variable : NetPortVariables()) {
        const char* value = std::getenv(variable.name);
        if (!value)
            continue;
        if (!ParsePortText(value, env.*variable.port))
            problem(std::string(variable.name) + "=" + value + ": not a port number");
    }
    return env;
}

} // namespace platform
