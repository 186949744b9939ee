// The exchange with the relay servers, scripted per stage, and the result codes it ends with.
#include "tests/boxlink/RelayRig.h"

namespace {

using namespace relayscript;
using fakes::FakeRelayBox;
using fakes::FakeRelayServer;
using fakes::FakeRelayServers;

struct ScriptCase {
    const char* name;
    FakeRelayServer::Script first;
    FakeRelayServer::Script second;
    int result;
    std::size_t firstRequests;
    std::size_t secondRequests;
    bool closingAnswer; // the server was told the PC goes on (state 17)
};

// Replies must come within the client's 2 s and 3 s waits: a slower clock leaves the fakes time.
class RendezvousServer : public RelayTest {
protected:
    RendezvousServer() { scale_ = 10.0; }
    void runCases(const std::vector<ScriptCase>& cases) {
        for (const ScriptCase& c : cases) {
            FakeRelayBox box({});
            FakeRelayServers servers(c.first, c.second, &box);
            platform::ScopedNetEnvironment env(environment(servers.Port()));
            const Outcome o = rendezvous();
            EXPECT_EQ(o.result, c.result) << c.name;
            EXPECT_EQ(servers.first->Requests().size(), c.firstRequests) << c.name;
            EXPECT_EQ(servers.second->Requests().size(), c.secondRequests) << c.name;
            const auto& last = c.secondRequests ? servers.second : servers.first;
            const std::size_t expected =
                (c.secondRequests ? c.secondRequests : c.firstRequests) + c.closingAnswer;
            EXPECT_TRUE(eventually([&] { return last->Received().size() >= expected; })) << c.name;
            EXPECT_EQ(last->Received().size(), expected) << c.name;
            EXPECT_EQ(last->Received().back().state == 17, c.closingAnswer) << c.name;
            closeSockets(o);
        }
    }
};

// Silence is counted in 2 s and 3 s waits: the switch to the second server, and the failures that follow.
class RendezvousSilence : public RendezvousServer {
protected:
    RendezvousSilence() { scale_ = 20.0; }
};

TEST_F(RendezvousSilence, CountsWaitsThenSwitchesThenFails) {
    runCases({
        {"both servers silent", {}, {}, 1001, 7, 7, false},
        {"waits, then the second server is silent", {{goOn(), wait()}}, {}, 1002, 3, 7, false},
        {"the second server introduces, the box never comes", {}, {{goOn()}}, 1006, 7, 3, false},
        {"refusal on the second server", {}, {{state(4)}}, 1003, 7, 1, false},
    });
}

// Replies decide: waits, refusals, other states, no path, replies for another device.
TEST_F(RendezvousServer, RepliesEndWithTheirCodes) {
    runCases({
        {"the box keeps the server waiting", {{goOn(), wait()}}, {{goOn(), wait()}}, 1010, 3, 3, false},
        {"refusal on the first server", {{state(4)}}, {}, 1003, 1, 0, false},
        {"refusal after a second stage", {{goOn(), state(4)}, {goOn()}, {state(7)}}, {}, 1003, 3, 0, false},
        {"first-stage replies of another state", {{state(7)}}, {}, 1010, 5, 0, false},
        {"no path between the two sides", {{goOn(), accepted(0)}}, {}, 1004, 1, 0, true},
        {"another device answers",
         {{goOn(), accepted(1, "OTHER")}},
         {{goOn(), accepted(1, "OTHER")}},
         1010,
         4,
         3,
         false},
    });
}

// A reply from another device is passed over, and the next one for this device is taken.
TEST_F(RendezvousServer, AcceptsOnlyItsOwnDevice) {
    FakeRelayBox box({true, true, false, 0});
    FakeRelayServers servers({{goOn(), accepted(1, "OTHER"), accepted(1)}}, {}, &box);
    platform::ScopedNetEnvironment env(environment(servers.Port()));
    const Outcome o = rendezvous();
    ASSERT_EQ(o.result, kRendezvousConnected);
    EXPECT_EQ(o.boxAddress, L"127.0.0.3");
    EXPECT_EQ(o.stages, (std::vector<int>{2, 3, 4}));
    ASSERT_TRUE(eventually([&] { return servers.first->Received().size() >= 2; }));
    const auto received = servers.first->Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].state, 17u);
    EXPECT_EQ(received[1].deviceId, "VQ12345");
    EXPECT_EQ(received[1].bytes, std::string(32, '\0') + "VQ12345" + std::string(1, '\0') +
                                     std::string("\x11\0\0\0\0\0\0\0", 8));
    closeSockets(o);
}

// The request as it goes out: a 7-character device ID ends at offset 39; without a router the address
// and the ports are zero; a server name that does not resolve gives the built-in server.
TEST_F(RendezvousServer, RequestWithoutRouterAndBuiltInServer) {
    FakeRelayServers servers({}, {{state(4)}});
    platform::NetEnvironment e = environment(servers.Port());
    e.relayServerFallback = "127.0.0.2";
    platform::ScopedNetEnvironment env(e);
    const Outcome o = rendezvous(L"relay.invalid", L"127.0.0.1", L"ABCDEFG");
    EXPECT_EQ(o.result, 1003);
    EXPECT_LT(o.elapsedMs, 90000u); // refused at once, not at the limit
    EXPECT_TRUE(servers.first->Received().empty());
    const auto requests = servers.second->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, std::string(32, '\0') + "ABCDEFG" + std::string(9, '\0'));
    EXPECT_EQ(o.stages, (std::vector<int>{2}));
    EXPECT_TRUE(o.boxAddress.empty());
}

// The attempt ends at the 90-second limit: with no probe to start, and when the UDP port can't be bound.
class RendezvousLimit : public RelayTest {
protected:
    RendezvousLimit() : RelayTest(30.0) {}
};

TEST_F(RendezvousLimit, EndsAtTheLimit) {
    struct Case {
        const char* name;
        FakeRelayServer::Script first;
        FakeRelayServer::Script second;
        int result;
    };
    const Case cases[] = {
        {"accepted, no probe state, first server", {{goOn(), accepted(9)}}, {}, 1005},
        {"the same after a switch on silence", {}, {{goOn(), accepted(9)}}, 1009},
        {"the same after a switch on waits", {{goOn(), wait()}}, {{goOn(), accepted(9)}}, 1013},
    };
    for (const Case& c : cases) {
        FakeRelayBox box({});
        FakeRelayServers servers(c.first, c.second, &box);
        platform::ScopedNetEnvironment env(environment(servers.Port()));
        const Outcome o = rendezvous();
        EXPECT_EQ(o.result, c.result) << c.name;
        EXPECT_GE(o.elapsedMs, 90000u) << c.name;
        EXPECT_LT(o.elapsedMs, 120000u) << c.name;
        EXPECT_EQ(o.boxAddress, L"127.0.0.3") << c.name;
    }
}

// No request goes out when the exchange's UDP port can't be bound.
TEST_F(RendezvousLimit, UnboundUdpPortWaitsForTheLimit) {
    FakeRelayServers servers({{state(4)}}, {});
    platform::ScopedNetEnvironment env(environment(servers.Port()));
    const int taken = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(base_ + 45));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(taken, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    const Outcome o = rendezvous();
    ::close(taken);
    EXPECT_EQ(o.result, 1005);
    EXPECT_GE(o.elapsedMs, 90000u);
    EXPECT_TRUE(servers.first->Received().empty());
}

} // namespace
