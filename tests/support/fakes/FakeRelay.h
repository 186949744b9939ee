// A relay server and a box behind it, on loopback, for the tests of the relay path. The server answers
// each request of the PC with the datagrams its script gives for that request (the last entry repeats;
// an empty entry is silence) and records every datagram it received. The box listens on two ports of its
// own address and, once the server has sent an accepted reply, connects to the PC's rendezvous ports on
// 127.0.0.1 (never to the address the PC announced), as the script says.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fakes {

// The 48-byte datagram, read and written by the fakes' own code.
struct RelayPacket {
    std::string address;
    std::uint32_t accept = 0;
    std::uint32_t portA = 0;
    std::uint32_t portB = 0;
    std::string deviceId;
    std::uint32_t state = 0;
    std::string bytes; // as received

    static RelayPacket Decode(const std::string& bytes);
    std::string Encode() const;
};

class FakeRelayBox {
public:
    struct Options {
        bool listenA = false; // a listener of the pair takes the PC's connect probe; else its port refuses
        bool listenB = false;
        bool connect = false;           // connects to the PC's listen probes
        std::uint16_t pcListenPort = 0; // where the PC listens when its request says no mapping
        std::string address = "127.0.0.3";
    };
    explicit FakeRelayBox(Options options);
    ~FakeRelayBox();
    FakeRelayBox(const FakeRelayBox&) = delete;
    FakeRelayBox& operator=(const FakeRelayBox&) = delete;

    const std::string& Address() const { return address_; }
    std::uint16_t Port(int pair) const { return ports_[pair]; } // 0 pair A, 1 pair B
    // Called by the server as it sends an accepted reply; the first call counts.
    void Start(const RelayPacket& request);
    // Per connection of the pair, everything it has received so far (what is waiting is read first).
    std::vector<std::string> Received(int pair);
    // Whether the PC has closed every connection of the pair.
    bool Closed(int pair);
    int Connections(int pair) const;

private:
    void run();

    Options options_;
    std::string address_;
    int listeners_[2] = {-1, -1};
    std::uint16_t ports_[2] = {0, 0};
    std::uint16_t targets_[2] = {0, 0};
    std::atomic<bool> started_{false};
    std::atomic<bool> stop_{false};
    struct Connection {
        int socket;
        std::string data;
        bool closed = false;
    };
    void readWaiting(int pair);

    mutable std::mutex mutex_;
    std::vector<Connection> connections_[2];
    std::thread thread_;
};

class FakeRelayServer {
public:
    struct Reply {
        std::uint32_t state = 2;
        std::uint32_t accept = 0;
        bool fromBox = false; // the box's address and ports
        std::string deviceId; // empty: the request's
        std::string address;  // when not fromBox
    };
    using Script = std::vector<std::vector<Reply>>;

    FakeRelayServer(std::string address, std::uint16_t port, Script script, FakeRelayBox* box = nullptr);
    ~FakeRelayServer();
    FakeRelayServer(const FakeRelayServer&) = delete;
    FakeRelayServer& operator=(const FakeRelayServer&) = delete;

    bool Bound() const { return socket_ >= 0; }
    std::uint16_t Port() const { return port_; }
    std::vector<RelayPacket> Received() const;
    // Requests only (the closing answer, state 17, left out).
    std::vector<RelayPacket> Requests() const;

private:
    void run();

    std::string address_;
    Script script_;
    FakeRelayBox* box_;
    int socket_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<RelayPacket> received_;
    std::size_t requests_ = 0;
    std::thread thread_;
};

// The two servers of a login, on 127.0.0.1 and 127.0.0.2 with one port.
struct FakeRelayServers {
    FakeRelayServers(FakeRelayServer::Script first, FakeRelayServer::Script second,
                     FakeRelayBox* box = nullptr);
    std::uint16_t Port() const { return first->Port(); }
    std::unique_ptr<FakeRelayServer> first;
    std::unique_ptr<FakeRelayServer> second;
};

} // namespace fakes
