// The relay path's tests: a loopback environment with free rendezvous ports, the fake servers on
// 127.0.0.1 and 127.0.0.2, and checks that a rendezvous leaves no socket and no thread behind.
#pragma once

#include "boxlink/relay/Rendezvous.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "tests/support/fakes/FakeRelay.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

inline int countEntries(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// Binds the port on all interfaces, as the rendezvous will; true when nobody holds it.
inline bool portFree(int type, int port) {
    const int s = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// A port base whose derived ports (base, + 20, + 25, + 45 for TCP; + 45 for UDP) are free, below the
// ephemeral range, and a free listen port for a PC without mappings.
inline int freePortBase() {
    std::mt19937 random(std::random_device{}());
    for (;;) {
        const int base = 20000 + static_cast<int>(random() % 10000);
        if (portFree(SOCK_STREAM, base) && portFree(SOCK_STREAM, base + 20) &&
            portFree(SOCK_STREAM, base + 25) && portFree(SOCK_STREAM, base + 45) &&
            portFree(SOCK_DGRAM, base + 45) && portFree(SOCK_STREAM, base + 50))
            return base;
    }
}

class RelayTest : public ::testing::Test {
protected:
    explicit RelayTest(double scale = 20.0) : scale_(scale) {}

    void SetUp() override {
        StartWinsock();
        platform::SetTimeScale(scale_);
        fds_ = countEntries("/proc/self/fd");
        threads_ = countEntries("/proc/self/task");
        base_ = freePortBase();
    }
    void TearDown() override {
        platform::SetTimeScale(1.0);
        EXPECT_EQ(countEntries("/proc/self/fd"), fds_) << "a socket was left open";
        EXPECT_EQ(countEntries("/proc/self/task"), threads_) << "a thread was left running";
    }

    // Loopback, the servers' port, the rendezvous ports; no router (the connection state says offline, so
    // the gateway client gives up at once) unless a test points the search at a fake gateway.
    platform::NetEnvironment environment(std::uint16_t serverPort) const {
        platform::NetEnvironment env = platform::LoopbackNetEnvironment();
        env.relayServerPort = serverPort;
        env.rendezvousPortBase = base_;
        env.rendezvousListenPort = static_cast<std::uint16_t>(base_ + 50);
        env.connected = false;
        return env;
    }

    struct Outcome {
        int result = 0;
        SOCKET control = 0;
        SOCKET stream = 0;
        std::wstring boxAddress;
        std::vector<int> stages;
        DWORD elapsedMs = 0;
    };
    static Outcome rendezvous(const std::wstring& first = L"127.0.0.1",
                              const std::wstring& second = L"127.0.0.2",
                              const std::wstring& deviceId = L"VQ12345") {
        Outcome o;
        const DWORD start = GetTickCount();
        o.result = RunServerRendezvous(first, second, deviceId, &o.control, &o.stream, &o.boxAddress,
                                       [&o](int stage) { o.stages.push_back(stage); });
        o.elapsedMs = GetTickCount() - start;
        return o;
    }
    static void closeSockets(const Outcome& o) {
        if (o.result == kRendezvousConnected) {
            closesocket(o.control);
            closesocket(o.stream);
        }
    }

    double scale_;
    int fds_ = 0;
    int threads_ = 0;
    int base_ = 0;
};

// Waits up to timeoutMs of real time for what another thread is about to do.
template <class Pred> bool eventually(Pred pred, int timeoutMs = 2000) {
    for (int waited = 0; !pred(); waited += 5) {
        if (waited >= timeoutMs)
            return false;
        ::usleep(5000);
    }
    return true;
}

// Whether a connection of the box's pair receives exactly text.
inline bool boxReceives(fakes::FakeRelayBox& box, int pair, const std::string& text) {
    return eventually([&] {
        for (const std::string& data : box.Received(pair))
            if (data == text)
                return true;
        return false;
    });
}

namespace relayscript {
using Reply = fakes::FakeRelayServer::Reply;
inline Reply goOn() {
    return Reply{2, 0, false, "", ""};
}
inline Reply wait() {
    return Reply{262, 0, false, "", ""};
}
inline Reply state(std::uint32_t s) {
    return Reply{s, 0, false, "", ""};
}
inline Reply accepted(std::uint32_t s, const std::string& deviceId = "") {
    return Reply{s, 1, true, deviceId, ""};
}
} // namespace relayscript
