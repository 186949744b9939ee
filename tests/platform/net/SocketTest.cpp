#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/net/Winsock.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <unistd.h>

namespace {

// Sockets on 127.0.0.1 only.
class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override {
        for (SOCKET s : open_)
            closesocket(s);
        platform::SetTimeScale(1.0);
    }
    SOCKET track(SOCKET s) {
        open_.push_back(s);
        return s;
    }
    static sockaddr_in loopback(std::uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    static std::uint16_t portOf(SOCKET s) {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
        return ntohs(a.sin_port);
    }
    SOCKET listener() {
        SOCKET s = track(socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in a = loopback(0);
        EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(listen(s, 4), 0);
        return s;
    }
    // A loopback port with nobody listening.
    std::uint16_t closedPort() {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(0);
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const std::uint16_t port = portOf(s);
        closesocket(s);
        return port;
    }
    SOCKET startConnect(std::uint16_t port) {
        SOCKET s = track(socket(AF_INET, SOCK_STREAM, 0));
        ULONG nonBlocking = 1;
        EXPECT_EQ(ioctlsocket(s, FIONBIO, &nonBlocking), 0);
        sockaddr_in a = loopback(port);
        const int r = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        if (r != 0) {
            EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
        }
        return s;
    }
    std::vector<SOCKET> open_;
};

TEST_F(SocketTest, NonBlockingConnectFollowsWinsockRules) {
    // Accepted: writable.
    SOCKET server = listener();
    SOCKET good = startConnect(portOf(server));
    EXPECT_EQ(platform::WaitWritable(good, 5000), 1);

    // Refused, waiting for writable only: an error at once, with the connect's error.
    SOCKET refused = startConnect(closedPort());
    EXPECT_EQ(platform::WaitWritable(refused, 5000), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);

    // Refused with an except set: reported there and never as writable.
    SOCKET refused2 = startConnect(closedPort());
    platform::SocketSet write, except;
    write.Add(refused2);
    except.Add(refused2);
    EXPECT_EQ(platform::Select(nullptr, &write, &except, 5000), 1);
    EXPECT_TRUE(write.Empty());
    EXPECT_TRUE(except.Contains(refused2));

    // The listener is readable for the pending accept.
    EXPECT_EQ(platform::WaitReadable(server, 1000), 1);
}

TEST_F(SocketTest, SelectTimeOutFollowsTheTimeScaleAndEmptiesTheSets) {
    platform::SetTimeScale(100.0);
    SOCKET server = listener();
    SOCKET client = startConnect(portOf(server));
    ASSERT_EQ(platform::WaitWritable(client, 5000), 1);
    platform::SocketSet read;
    read.Add(client);
    const DWORD before = GetTickCount();
    const auto realBefore = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::Select(&read, nullptr, nullptr, 20000), 0);
    EXPECT_GE(GetTickCount() - before, 20000u);
    EXPECT_LT(std::chrono::steady_clock::now() - realBefore, std::chrono::seconds(15));
    EXPECT_TRUE(read.Empty());
}

TEST_F(SocketTest, SendToAClosedPeerFailsWithoutASignalAndRecvSeesTheClose) {
    SOCKET server = listener();
    SOCKET client = startConnect(portOf(server));
    ASSERT_EQ(platform::WaitWritable(client, 5000), 1);
    SOCKET accepted = accept(server, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    char byte = 'x';
    EXPECT_EQ(platform::Send(client, &byte, 1), 1);
    char got = 0;
    EXPECT_EQ(platform::Recv(accepted, &got, 1), 1);
    EXPECT_EQ(got, 'x');
    closesocket(accepted);
    EXPECT_EQ(platform::WaitReadable(client, 5000), 1);
    EXPECT_EQ(platform::Recv(client, &got, 1), 0);
    int result = 0;
    std::vector<char> chunk(65536, 'y');
    for (int i = 0; i < 50 && result != SOCKET_ERROR; ++i)
        result = platform::Send(client, chunk.data(), static_cast<int>(chunk.size()));
    EXPECT_EQ(result, SOCKET_ERROR); // and the process is still here: no SIGPIPE
}

// A blocking socket whose peer takes everything, and one whose peer reads nothing: a send with a deadline
// gives up on the second at its time limit, and a shutdown by another thread ends its wait at once.
TEST_F(SocketTest, SendAllDeliversEverythingOrStopsAtItsDeadline) {
    SOCKET server = listener();
    const auto connected = [&] {
        SOCKET s = startConnect(portOf(server));
        EXPECT_EQ(platform::WaitWritable(s, 5000), 1);
        ULONG blocking = 0;
        ioctlsocket(s, FIONBIO, &blocking);
        const int sendBuffer = 0x8000; // as the box link's control connection: no growing buffer
        setsockopt(s, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        return std::pair{s, track(accept(server, nullptr, nullptr))};
    };
    const std::vector<char> bytes(4 << 20, 'z'); // more than both buffers of a stalled connection hold

    const auto [reader, readerPeer] = connected();
    const int some = 256 << 10;
    std::thread drain([peer = readerPeer, some] {
        std::vector<char> into(65536);
        int got = 0;
        while (got < some) {
            const int n = platform::Recv(peer, into.data(), static_cast<int>(into.size()));
            if (n <= 0)
                break;
            got += n;
        }
    });
    EXPECT_EQ(platform::SendAll(reader, bytes.data(), some, 60000), some);
    drain.join();

    platform::SetTimeScale(50.0);
    [[maybe_unused]] const auto [stalled, unread] = connected(); // its peer reads nothing
    const DWORD before = GetTickCount();
    const int sent = platform::SendAll(stalled, bytes.data(), static_cast<int>(bytes.size()), 3000);
    const DWORD took = GetTickCount() - before;
    EXPECT_LT(sent, static_cast<int>(bytes.size()));
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 60000u);

    auto waiting = std::async(std::launch::async, [s = stalled, &bytes] {
        return platform::SendAll(s, bytes.data(), static_cast<int>(bytes.size()), INFINITE);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    shutdown(stalled, SHUT_RDWR);
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_LT(waiting.get(), static_cast<int>(bytes.size()));
}

TEST_F(SocketTest, DatagramsOnLoopback) {
    SOCKET a = track(socket(AF_INET, SOCK_DGRAM, 0));
    SOCKET b = track(socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in any = loopback(0);
    ASSERT_EQ(bind(b, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    sockaddr_in to = loopback(portOf(b));
    EXPECT_EQ(sendto(a, "probe", 5, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 5);
    ASSERT_EQ(platform::WaitReadable(b, 5000), 1);
    char buffer[30];
    sockaddr_in from{};
    socklen_t n = sizeof from;
    EXPECT_EQ(recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n), 5);
    EXPECT_EQ(platform::Ipv4Text(from.sin_addr.s_addr), "127.0.0.1");
}

TEST(SocketStartupTest, NoSocketIsEverDescriptorZero) {
    EXPECT_EXIT(
        {
            ::close(0);
            WSADATA data;
            WSAStartup(MAKEWORD(2, 2), &data);
            SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
            std::exit(s > 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
