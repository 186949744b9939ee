// The probes the accepted reply asks for, the sockets handed over, and the router mappings announced.
#include "tests/boxlink/RelayRig.h"
#include "tests/support/fakes/FakeGateway.h"

#include "boxlink/upnp/MyUPnP.h"

namespace {

using namespace relayscript;
using fakes::FakeGateway;
using fakes::FakeRelayBox;
using fakes::FakeRelayServers;

bool blocking(SOCKET s) {
    return (::fcntl(s, F_GETFL) & O_NONBLOCK) == 0;
}

class RendezvousProbes : public RelayTest {
protected:
    // A router that maps, so that the PC's listen probes are on the announced ports.
    platform::NetEnvironment withGateway(const FakeGateway& gateway, std::uint16_t serverPort,
                                         const std::string& own = "192.168.1.20") const {
        platform::NetEnvironment env = gateway.Environment(own);
        const platform::NetEnvironment relay = environment(serverPort);
        env.relayServerPort = relay.relayServerPort;
        env.rendezvousPortBase = relay.rendezvousPortBase;
        env.rendezvousListenPort = relay.rendezvousListenPort;
        return env;
    }
};

// Each accepted state with the box doing its side: the control socket comes from pair A, the audio/video
// socket from pair B (or from pair A too, when both of its probes connected before pair B had one), both
// blocking and connected to the box.
TEST_F(RendezvousProbes, EachStateConnectsBothPairs) {
    for (std::uint32_t state = 1; state <= 8; ++state) {
        const bool boxListens = state != 2 && state != 5;
        const bool boxConnects = state != 1 && state != 4;
        FakeGateway gateway;
        FakeRelayBox box({boxListens, boxListens, boxConnects, 0});
        FakeRelayServers servers({{goOn(), accepted(state)}}, {}, &box);
        platform::ScopedNetEnvironment env(withGateway(gateway, servers.Port()));
        const Outcome o = rendezvous();
        ASSERT_EQ(o.result, kRendezvousConnected) << state;
        EXPECT_EQ(o.boxAddress, L"127.0.0.3");
        EXPECT_TRUE(blocking(o.control) && blocking(o.stream)) << state;
        ASSERT_EQ(platform::Send(o.control, "control", 7), 7);
        ASSERT_EQ(platform::Send(o.stream, "stream", 6), 6);
        EXPECT_TRUE(boxReceives(box, 0, "control")) << state;
        EXPECT_TRUE(boxReceives(box, 1, "stream") ||
                    (boxListens && boxConnects && boxReceives(box, 0, "stream")))
            << state;

        // The mappings stay for the connection and go with UnmapRendezvousPorts.
        EXPECT_EQ(gateway.Mappings(),
                  (std::set<std::pair<int, std::string>>{{base_, "TCP"}, {base_ + 25, "TCP"}}));
        closeSockets(o);
        ResetRendezvousState();
        EXPECT_EQ(UnmapRendezvousPorts(), 1);
        EXPECT_TRUE(gateway.Mappings().empty()) << state;
    }
}

// With a connect probe the control socket is the one to the box's pair A port.
TEST_F(RendezvousProbes, ConnectProbesReachTheBoxPorts) {
    FakeRelayBox box({true, true, false, 0});
    FakeRelayServers servers({{goOn(), accepted(1)}}, {}, &box);
    platform::ScopedNetEnvironment env(environment(servers.Port()));
    const Outcome o = rendezvous();
    ASSERT_EQ(o.result, kRendezvousConnected);
    for (const auto& [s, pair] : {std::pair{o.control, 0}, std::pair{o.stream, 1}}) {
        sockaddr_in peer{};
        socklen_t n = sizeof peer;
        ASSERT_EQ(getpeername(s, reinterpret_cast<sockaddr*>(&peer), &n), 0);
        EXPECT_EQ(ntohs(peer.sin_port), box.Port(pair));
    }
    // The box counts a connection when its accept has run, which can be after the probe connected.
    EXPECT_TRUE(eventually([&] { return box.Connections(0) >= 1 && box.Connections(1) >= 1; }));
    EXPECT_EQ(box.Connections(0), 1);
    EXPECT_EQ(box.Connections(1), 1);
    closeSockets(o);
}

// Probes that fail end the attempt with 1005 once none is still trying; a socket that did connect is
// closed by its own probe.
TEST_F(RendezvousProbes, FailedProbesGiveUp) {
    struct Case {
        const char* name;
        std::uint32_t state;
        FakeRelayBox::Options box;
        bool pairAConnects;
    };
    const Case cases[] = {
        {"the box listens on neither port", 1, {false, false, false, 0}, false},
        {"pair A connects, pair B is refused", 1, {true, false, false, 0}, true},
        {"the box never connects", 2, {false, false, false, 0}, false},
    };
    for (const Case& c : cases) {
        FakeRelayBox box(c.box);
        FakeRelayServers servers({{goOn(), accepted(c.state)}}, {}, &box);
        platform::ScopedNetEnvironment env(environment(servers.Port()));
        const Outcome o = rendezvous();
        EXPECT_EQ(o.result, 1005) << c.name;
        EXPECT_LT(o.elapsedMs, 90000u) << c.name;
        if (c.pairAConnects) {
            ASSERT_EQ(box.Connections(0), 1) << c.name;
            EXPECT_TRUE(eventually([&] { return box.Closed(0); })) << c.name; // by the PC's probe
        }
    }
}

// Without a mapping the listen probes use the environment's listen port; both pairs can't listen on one
// port, so only pair A is reached and the attempt gives up.
TEST_F(RendezvousProbes, NoRouterListensOnTheFixedPort) {
    FakeGateway::Options silent;
    silent.ssdpAnswers = {};
    FakeGateway gateway(silent);
    FakeRelayBox box({false, false, true, static_cast<std::uint16_t>(base_ + 50)});
    FakeRelayServers servers({{goOn(), accepted(2)}}, {}, &box);
    platform::ScopedNetEnvironment env(withGateway(gateway, servers.Port()));
    const Outcome o = rendezvous();
    EXPECT_EQ(o.result, 1005);
    const auto requests = servers.first->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].state, 0u);
    EXPECT_EQ(requests[0].bytes.substr(0, 32), std::string(32, '\0'));
    EXPECT_GE(box.Connections(0), 1);
}

// What the request announces for each answer of the router; a failed rendezvous deletes what was mapped.
TEST_F(RendezvousProbes, MappingsAnnounced) {
    struct Case {
        const char* name;
        std::set<int> inUse; // offsets from the base
        std::string own;
        std::uint32_t state;
        const char* address;
        int portA; // offsets, -1 for 0
        int portB;
    };
    const Case cases[] = {
        {"both mapped", {}, "192.168.1.20", 1, "203.0.113.7", 0, 25},
        {"first port in use", {0}, "192.168.1.20", 1, "203.0.113.7", 20, 25},
        {"second port in use", {25}, "192.168.1.20", 1, "203.0.113.7", 0, 45},
        {"first port and its retry in use", {0, 20}, "192.168.1.20", 0, "", -1, 25},
        {"not behind a router", {}, "203.0.113.9", 2, "", 0, 25},
    };
    for (const Case& c : cases) {
        FakeGateway::Options options;
        for (int offset : c.inUse)
            options.portsInUse.insert(base_ + offset);
        FakeGateway gateway(options);
        FakeRelayServers servers({{state(4)}}, {});
        platform::ScopedNetEnvironment env(withGateway(gateway, servers.Port(), c.own));
        EXPECT_EQ(rendezvous().result, 1003) << c.name;
        const auto requests = servers.first->Requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].state, c.state) << c.name;
        EXPECT_EQ(requests[0].address, c.address) << c.name;
        EXPECT_EQ(requests[0].portA, c.portA < 0 ? 0u : static_cast<std::uint32_t>(base_ + c.portA))
            << c.name;
        EXPECT_EQ(requests[0].portB, static_cast<std::uint32_t>(base_ + c.portB)) << c.name;
        EXPECT_TRUE(gateway.Mappings().empty()) << c.name;
    }
}

} // namespace
