#include "platform/net/NetEnvironment.h"

#include "platform/net/AddressService.h"
#include "platform/net/Resolver.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;

NetEnvironment& current() {
    static NetEnvironment environment;
    return environment;
}

} // namespace

NetEnvironment GetNetEnvironment() {
    std::lock_guard lock(g_mutex);
    return current();
}

void SetNetEnvironment(NetEnvironment environment) {
    std::lock_guard lock(g_mutex);
    current() = std::move(environment);
}

std::uint32_t DirectedBroadcastAddress() {
    const NetEnvironment env = GetNetEnvironment();
    std::uint32_t address = 0;
    if (!env.directedBroadcast.empty())
        return ParseIpv4(env.directedBroadcast, address) ? address : 0;
    for (const Adapter& adapter : AdapterTable())
        if (!adapter.addresses.empty())
            return adapter.addresses[0].address | ~adapter.addresses[0].mask;
    return 0;
}

std::uint32_t GatewayAddress() {
    const NetEnvironment env = GetNetEnvironment();
    std::uint32_t address = 0;
    if (!env.gateway.empty())
        return ParseIpv4(env.gateway, address) ? address : 0;
    const std::vector<Adapter> table = AdapterTable();
    return table.empty() ? 0 : table[0].gateway;
}

NetEnvironment LoopbackNetEnvironment() {
    NetEnvironment env;
    std::uint32_t loopback = 0;
    ParseIpv4("127.0.0.1", loopback);
    std::uint32_t mask = 0;
    ParseIpv4("255.0.0.0", mask);
    for (std::string* destination :
         {&env.lanBroadcast, &env.ssdpMulticast, &env.directedBroadcast, &env.gateway,
          &env.relayServerFallback, &env.factoryBoxAddress, &env.temporaryPcAddress, &env.localAddress})
        *destination = "127.0.0.1";
    env.temporaryPcMask = "255.0.0.0";
    env.hostName = "veloq-test";
    env.resolve = [loopback](const std::string& name) {
        return name == "localhost" || name == "veloq-test" ? std::vector<std::uint32_t>{loopback}
                                                           : std::vector<std::uint32_t>{};
    };
    env.adapters =
        std::vector<Adapter>{Adapter{"lo-test", 1, kAdapterEthernet, {{loopback, mask}}, loopback}};
    env.addressService = std::make_shared<MemoryAddressService>(*env.adapters);
    env.connected = true;
    return env;
}

ScopedNetEnvironment::ScopedNetEnvironment(NetEnvironment environment) : previous_(GetNetEnvironment()) {
    SetNetEnvironment(std::move(environment));
}

ScopedNetEnvironment::~ScopedNetEnvironment() {
    SetNetEnvironment(std::move(previous_));
}

} // namespace platform
