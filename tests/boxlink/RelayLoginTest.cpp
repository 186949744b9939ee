// A login by device ID that finds no box on the LAN and reaches it through the relay servers: the sockets
// handed to the connection manager, the stages shown, the box's address kept, the direct fallback, and the
// mappings removed at disconnect.
#include "tests/boxlink/RelayRig.h"
#include "tests/support/fakes/FakeGateway.h"
#include "tests/support/fakes/TempFolder.h"

#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "boxlink/relay/ServerRelayPath.h"
#include "config/AppConfig.h"
#include "platform/win32/Messages.h"

namespace {

using namespace relayscript;
using fakes::FakeGateway;
using fakes::FakeRelayBox;
using fakes::FakeRelayServers;

// What the windows were told, in order.
struct Window {
    Window()
        : hwnd(platform::CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
              if (m == WM_BOX_STATUS_TEXT)
                  texts.push_back(reinterpret_cast<const wchar_t*>(w));
              else if (m == WM_BOX_CONNECT_PROGRESS)
                  stages.push_back(static_cast<int>(w));
              else if (m == WM_BOX_LOGIN_FAILED)
                  failures.push_back(static_cast<int>(w));
              (void)l;
              return 0;
          })) {}
    ~Window() { DestroyWindow(hwnd); }
    HWND hwnd;
    std::vector<std::wstring> texts;
    std::vector<int> stages;
    std::vector<int> failures;
};

// A listener on the box's address that takes the direct connections.
struct DirectBox {
    DirectBox() {
        for (int& l : listeners) {
            l = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            ::inet_pton(AF_INET, "127.0.0.3", &a.sin_addr);
            ::bind(l, reinterpret_cast<const sockaddr*>(&a), sizeof a);
            ::listen(l, 4);
        }
    }
    ~DirectBox() {
        for (int l : listeners)
            ::close(l);
    }
    std::uint16_t port(int i) const {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        ::getsockname(listeners[i], reinterpret_cast<sockaddr*>(&a), &n);
        return ntohs(a.sin_port);
    }
    int listeners[2];
};

class RelayLogin : public RelayTest {
protected:
    platform::NetEnvironment loginEnvironment(std::uint16_t serverPort) {
        platform::NetEnvironment env = environment(serverPort);
        env.lanSearchLocalPort = 0;
        env.lanSearchPort = static_cast<std::uint16_t>(base_ + 61); // nobody answers the LAN search
        return env;
    }
    bool login(KQ_TCP_BoxClient& client, Window& loginWindow) {
        return client.Login(loginWindow.hwnd, L"VQ12345", L"admin", L"secret", 0, 0, 0, 0, BOX_LOGIN_BY_ID,
                            0);
    }

    TempFolder folder_;
    KQ_AppConfig config_;
};

TEST_F(RelayLogin, RendezvousSocketsCarryTheLogin) {
    folder_.write("configure.ini", "[IP1]\r\nip=127.0.0.1\r\n[IP2]\r\nip=127.0.0.2\r\n");
    FakeGateway gateway;
    FakeRelayBox box({true, true, false, 0});
    FakeRelayServers servers({{goOn(), accepted(1)}}, {}, &box);
    platform::NetEnvironment env = gateway.Environment("192.168.1.20");
    const platform::NetEnvironment relay = loginEnvironment(servers.Port());
    env.relayServerPort = relay.relayServerPort;
    env.rendezvousPortBase = relay.rendezvousPortBase;
    env.lanSearchLocalPort = relay.lanSearchLocalPort;
    env.lanSearchPort = relay.lanSearchPort;
    platform::ScopedNetEnvironment scoped(env);
    {
        Window main;
        Window loginWindow;
        KQ_TCP_BoxClient client;
        client.SetMainWindow(main.hwnd);
        client.SetRelayPath(std::make_unique<ServerRelayPath>(client.Link(), &config_));

        ASSERT_TRUE(login(client, loginWindow));
        EXPECT_EQ(client.Mode(), BOX_MODE_RELAY);
        EXPECT_EQ(config_.m_boxAddress, L"127.0.0.3");
        // The login request, on the control connection.
        EXPECT_TRUE(eventually([&] {
            const auto data = box.Received(0);
            return data.size() == 1 && data[0].size() >= 188;
        }));
        platform::PumpPending();
        EXPECT_EQ(main.stages, (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(main.texts, (std::vector<std::wstring>{L"Searching Device...", L"Connecting to Server",
                                                         L"Verifying Device...", L"Connecting to Device",
                                                         L"Device is connected"}));
        EXPECT_TRUE(loginWindow.failures.empty());
        EXPECT_EQ(gateway.Mappings().size(), 2u);

        client.Disconnect(0);
        EXPECT_TRUE(gateway.Mappings().empty());
        EXPECT_EQ(client.Mode(), BOX_MODE_NONE);
    }
}

// Relay results: a failure is the login state; after the results that allow it, the box's address from
// the server is tried directly.
TEST_F(RelayLogin, FailuresAndTheDirectFallback) {
    folder_.write("configure.ini", "[IP1]\r\nip=127.0.0.1\r\n[IP2]\r\nip=127.0.0.2\r\n");
    struct Case {
        const char* name;
        fakes::FakeRelayServer::Script first;
        bool directBox;
        bool loggedIn;
        int failure;
    };
    const Case cases[] = {
        {"refused", {{state(4)}}, true, false, 1003},
        {"no path, the box is reached directly", {{goOn(), accepted(0)}}, true, true, 0},
        {"no path, nor directly", {{goOn(), accepted(0)}}, false, false, 1004},
        {"probes fail, the box is reached directly", {{goOn(), accepted(1)}}, true, true, 0},
    };
    for (const Case& c : cases) {
        FakeRelayBox box({});
        FakeRelayServers servers(c.first, {}, &box);
        std::optional<DirectBox> direct;
        platform::NetEnvironment env = loginEnvironment(servers.Port());
        if (c.directBox) {
            direct.emplace();
            env.directControlPort = direct->port(0);
            env.directStreamPort = direct->port(1);
        } else {
            env.directControlPort = static_cast<std::uint16_t>(base_ + 62);
            env.directStreamPort = static_cast<std::uint16_t>(base_ + 63);
        }
        platform::ScopedNetEnvironment scoped(env);
        Window main;
        Window loginWindow;
        KQ_TCP_BoxClient client;
        client.SetMainWindow(main.hwnd);
        client.SetRelayPath(std::make_unique<ServerRelayPath>(client.Link(), &config_));
        EXPECT_EQ(login(client, loginWindow), c.loggedIn) << c.name;
        platform::PumpPending();
        if (c.loggedIn) {
            EXPECT_EQ(client.Mode(), BOX_MODE_RELAY) << c.name;
            EXPECT_TRUE(loginWindow.failures.empty()) << c.name;
        } else {
            EXPECT_EQ(client.LoginState(), static_cast<DWORD>(c.failure)) << c.name;
            EXPECT_EQ(loginWindow.failures, std::vector<int>{c.failure}) << c.name;
        }
        client.Disconnect(0);
    }
}

} // namespace
