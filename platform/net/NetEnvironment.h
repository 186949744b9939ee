// Every fixed port and every broadcast, multicast, gateway, factory and server destination of the program,
// name resolution, this PC's own addresses and the service that adds and deletes them, in one injectable
// record. The defaults are the system's;
// tests install LoopbackNetEnvironment (all on 127.0.0.1, names only from a closed list, ports as the test
// box chose them), so that nothing is ever sent to the real network from a test.
#pragma once

#include "platform/net/Adapters.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class AddressService;

struct NetEnvironment {
    // The box on the LAN: search probe (box's UDP port, PC's local port), control and audio/video TCP.
    std::uint16_t lanSearchPort = 8002;
    std::uint16_t lanSearchLocalPort = 8900;
    std::uint16_t lanControlPort = 8003;
    std::uint16_t lanStreamPort = 3000;
    // The box by typed address or host name.
    std::uint16_t directControlPort = 5020;
    std::uint16_t directStreamPort = 5000;
    // The relay server, and the rendezvous ports: the listen probes' port without a router mapping, and
    // the base of the mapped ports (0: drawn at random as the system does).
    std::uint16_t relayServerPort = 4750;
    std::uint16_t rendezvousListenPort = 5000;
    int rendezvousPortBase = 0;
    // UPnP discovery.
    std::uint16_t ssdpPort = 1900;
    // The setup wizard's control port.
    std::uint16_t wizardControlPort = 8003;

    // Destinations, as dotted quads.
    std::string lanBroadcast = "255.255.255.255";
    std::string ssdpMulticast = "239.255.255.250";
    std::string directedBroadcast;   // empty: the first address of the adapter table with its host bits set
    std::string gateway;             // empty: the first adapter's default gateway
    std::string relayServerFallback; // when a configured server name does not resolve; empty: none built in
    // The wizard's factory-address search: the box's factory address and the PC's temporary address.
    std::string factoryBoxAddress = "192.168.0.100";
    std::string temporaryPcAddress = "192.168.0.200";
    std::string temporaryPcMask = "255.255.255.0";

    // Name resolution (empty: the system's resolver) and this PC.
    std::function<std::vector<std::uint32_t>(const std::string& name)> resolve;
    std::string hostName;     // empty: the system's host name
    std::string localAddress; // this PC's own address; empty: found as LocalAddress (Adapters.h) says
    std::optional<std::vector<Adapter>> adapters; // nothing: the system's adapter table
    std::optional<bool> connected;                // nothing: from the adapter table
    // The adapter and interface information and the address calls (AddressService.h); null: the system's.
    std::shared_ptr<AddressService> addressService;
};

// The environment in force (a copy: it may be replaced meanwhile by another thread).
NetEnvironment GetNetEnvironment();
void SetNetEnvironment(NetEnvironment environment);

// The two destinations that come from the adapter table unless the environment names them, in network byte
// order (0 when neither gives one): the directed broadcast of the table's first address, and the first
// adapter's default gateway.
std::uint32_t DirectedBroadcastAddress();
std::uint32_t GatewayAddress();

// Everything on loopback: destinations 127.0.0.1, one adapter "lo-test" with 127.0.0.1/8 and gateway
// 127.0.0.1, own address 127.0.0.1, host name "veloq-test", only "localhost" and that host name resolving
// (to 127.0.0.1), and an address service that keeps that adapter in memory.
NetEnvironment LoopbackNetEnvironment();

// Installs an environment for a scope and restores the previous one.
class ScopedNetEnvironment {
public:
    explicit ScopedNetEnvironment(NetEnvironment environment);
    ~ScopedNetEnvironment();
    ScopedNetEnvironment(const ScopedNetEnvironment&) = delete;
    ScopedNetEnvironment& operator=(const ScopedNetEnvironment&) = delete;

private:
    NetEnvironment previous_;
};

} // namespace platform
