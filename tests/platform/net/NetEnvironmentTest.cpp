#include "platform/net/NetEnvironment.h"
#include "platform/net/Adapters.h"
#include "platform/net/NetEnvironmentVariables.h"
#include "platform/net/Resolver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <map>

namespace {

bool isLoopback(const std::string& text) {
    std::uint32_t a = 0;
    return platform::ParseIpv4(text, a) && (ntohl(a) >> 24) == 127;
}

TEST(NetEnvironmentTest, DefaultsAreTheSystemsPortsAndDestinations) {
    const platform::NetEnvironment env;
    EXPECT_EQ(env.lanSearchPort, 8002);
    EXPECT_EQ(env.lanSearchLocalPort, 8900);
    EXPECT_EQ(env.lanControlPort, 8003);
    EXPECT_EQ(env.lanStreamPort, 3000);
    EXPECT_EQ(env.directControlPort, 5020);
    EXPECT_EQ(env.directStreamPort, 5000);
    EXPECT_EQ(env.relayServerPort, 4750);
    EXPECT_EQ(env.ssdpPort, 1900);
    EXPECT_EQ(env.wizardControlPort, 8003);
    EXPECT_EQ(env.rendezvousPortBase, 0);
    EXPECT_TRUE(env.relayServerFallback.empty());
    EXPECT_FALSE(env.adapters.has_value());
    EXPECT_EQ(env.addressService, nullptr); // the system's
}

TEST(NetEnvironmentTest, LoopbackEnvironmentKeepsEverythingOnThisMachine) {
    platform::ScopedNetEnvironment scoped(platform::LoopbackNetEnvironment());
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    for (const std::string* destination :
         {&env.lanBroadcast, &env.ssdpMulticast, &env.directedBroadcast, &env.gateway,
          &env.relayServerFallback, &env.factoryBoxAddress, &env.temporaryPcAddress, &env.localAddress})
        EXPECT_TRUE(isLoopback(*destination)) << *destination;

    // Names: only the closed list resolves; dotted quads resolve to themselves.
    EXPECT_EQ(platform::HostName(), "veloq-test");
    ASSERT_EQ(platform::ResolveIPv4("veloq-test").size(), 1u);
    EXPECT_EQ(platform::Ipv4Text(platform::ResolveIPv4("localhost").at(0)), "127.0.0.1");
    EXPECT_TRUE(platform::ResolveIPv4("box.example.com").empty());
    EXPECT_EQ(platform::Ipv4Text(platform::ResolveIPv4("127.0.0.9").at(0)), "127.0.0.9");

    const std::vector<platform::Adapter> table = platform::AdapterTable();
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(platform::Ipv4Text(table[0].addresses.at(0).address), "127.0.0.1");
    DWORD flags = 0;
    EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
    EXPECT_EQ(flags, INTERNET_CONNECTION_LAN);

    EXPECT_EQ(platform::Ipv4Text(platform::DirectedBroadcastAddress()), "127.0.0.1");
    EXPECT_EQ(platform::Ipv4Text(platform::GatewayAddress()), "127.0.0.1");

    // Without the named destinations they come from the adapter table.
    platform::NetEnvironment fromTable = env;
    fromTable.directedBroadcast.clear();
    fromTable.gateway.clear();
    std::uint32_t address = 0, mask = 0, gateway = 0;
    platform::ParseIpv4("127.1.2.3", address);
    platform::ParseIpv4("255.255.0.0", mask);
    platform::ParseIpv4("127.1.0.1", gateway);
    fromTable.adapters =
        std::vector<platform::Adapter>{{"a", 2, platform::kAdapterEthernet, {{address, mask}}, gateway}};
    {
        platform::ScopedNetEnvironment table(fromTable);
        EXPECT_EQ(platform::Ipv4Text(platform::DirectedBroadcastAddress()), "127.1.255.255");
        EXPECT_EQ(platform::Ipv4Text(platform::GatewayAddress()), "127.1.0.1");
    }

    platform::NetEnvironment offline = env;
    offline.connected = false;
    platform::ScopedNetEnvironment inner(offline);
    EXPECT_FALSE(InternetGetConnectedState(&flags, 0));
}

// The own address: injected, else the source address towards the gateway, else the first non-loopback
// address of the table. These addresses are only values: nothing is sent to them.
TEST(NetEnvironmentTest, LocalAddressComesFromTheEnvironment) {
    auto ip = [](const char* text) {
        std::uint32_t a = 0;
        EXPECT_TRUE(platform::ParseIpv4(text, a)) << text;
        return a;
    };
    const std::uint32_t mask = ip("255.0.0.0");
    struct Case {
        const char* localAddress;
        const char* gateway;
        std::vector<platform::Adapter> adapters;
        const char* expected;
    };
    // Injected adapter tables and addresses: they are only chosen from, never sent to.
    const Case cases[] = {
        {"172.31.4.5", "127.0.0.1", {}, "172.31.4.5"},
        {"", "127.0.0.1", {}, "127.0.0.1"},
        {"", "", {platform::Adapter{"lo", 1, 0, {{ip("127.0.0.1"), mask}}, 0}}, "0.0.0.0"},
        {"",
         "",
         {platform::Adapter{"a", 1, 0, {{ip("127.0.0.1"), mask}}, 0},
          platform::Adapter{"b", 2, 0, {{ip("10.9.8.7"), mask}, {ip("10.9.8.8"), mask}}, 0}},
         "10.9.8.7"},
        {"", "", {}, "0.0.0.0"},
    };
    for (const Case& c : cases) {
        platform::NetEnvironment env = platform::LoopbackNetEnvironment();
        env.localAddress = c.localAddress;
        env.gateway = c.gateway;
        env.adapters = c.adapters;
        platform::ScopedNetEnvironment scoped(env);
        EXPECT_EQ(platform::Ipv4Text(platform::LocalAddress()), c.expected) << c.localAddress << c.gateway;
    }
}

TEST(NetEnvironmentTest, SystemAdapterTableIsWellFormed) {
    for (const platform::Adapter& a : platform::AdapterTable()) {
        EXPECT_FALSE(a.name.empty());
        EXPECT_FALSE(a.addresses.empty()) << a.name;
        for (const auto& address : a.addresses)
            EXPECT_FALSE(isLoopback(platform::Ipv4Text(address.address))) << a.name;
    }
    std::uint32_t a = 0;
    EXPECT_FALSE(platform::ParseIpv4("1.2.3", a));
    EXPECT_FALSE(platform::ParseIpv4("host", a));
}

// Variables of the process for one scope; every variable of the table is unset outside them.
class Variables {
public:
    explicit Variables(const std::map<std::string, std::string>& values) {
        clear();
        for (const auto& [name, value] : values)
            setenv(name.c_str(), value.c_str(), 1);
    }
    ~Variables() { clear(); }

private:
    static void clear() {
        unsetenv("VELOQ_NET");
        for (const platform::NetPortVariable& v : platform::NetPortVariables())
            unsetenv(v.name);
    }
};

TEST(NetEnvironmentTest, VariablesNameTheLoopbackAndThePorts) {
    struct Case {
        std::map<std::string, std::string> variables;
        bool loopback;
        std::uint16_t lanStreamPort;
        std::uint16_t directControlPort;
        std::size_t problems;
    };
    const Case cases[] = {
        {{}, false, 3000, 5020, 0},
        {{{"VELOQ_NET", "loopback"}, {"VELOQ_LAN_STREAM_PORT", "13000"}, {"VELOQ_DIRECT_CONTROL_PORT", "0"}},
         true,
         13000,
         0,
         0},
        {{{"VELOQ_NET", "lan"}, {"VELOQ_LAN_STREAM_PORT", "65535"}}, false, 65535, 5020, 1},
        {{{"VELOQ_LAN_STREAM_PORT", "65536"}, {"VELOQ_DIRECT_CONTROL_PORT", "50x"}}, false, 3000, 5020, 2},
        {{{"VELOQ_LAN_STREAM_PORT", ""}, {"VELOQ_DIRECT_CONTROL_PORT", "-1"}}, false, 3000, 5020, 2},
        {{{"VELOQ_LAN_STREAM_PORT", "0013000"}}, false, 3000, 5020, 1},
    };
    for (const Case& c : cases) {
        const Variables scoped(c.variables);
        std::vector<std::string> problems;
        const platform::NetEnvironment env = platform::NetEnvironmentFromVariables(&problems);
        const std::string label = c.variables.empty() ? "none" : c.variables.begin()->second;
        EXPECT_EQ(isLoopback(env.lanBroadcast), c.loopback) << label;
        EXPECT_EQ(env.adapters.has_value(), c.loopback) << label;
        EXPECT_EQ(env.lanStreamPort, c.lanStreamPort) << label;
        EXPECT_EQ(env.directControlPort, c.directControlPort) << label;
        EXPECT_EQ(env.lanSearchPort, 8002) << label;
        EXPECT_EQ(problems.size(), c.problems) << label;
    }
}

} // namespace
