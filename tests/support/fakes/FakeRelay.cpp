#include "tests/support/fakes/FakeRelay.h"

#include "tests/support/fakes/Loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace fakes {
namespace {

sockaddr_in loopback(const std::string& address, std::uint16_t port) {
    return loopbackAddress(address, port, "fake relay");
}

std::uint32_t u32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void putU32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

std::string field(const std::string& b, std::size_t at, std::size_t size) {
    const std::string raw = b.substr(at, size);
    return raw.substr(0, raw.find('\0'));
}

} // namespace

RelayPacket RelayPacket::Decode(const std::string& bytes) {
    std::string b = bytes;
    b.resize(48, '\0');
    RelayPacket p;
    p.address = field(b, 0, 16);
    p.accept = u32(b, 20);
    p.portA = u32(b, 24);
    p.portB = u32(b, 28);
    p.deviceId = field(b, 32, 8);
    p.state = u32(b, 40);
    p.bytes = bytes;
    return p;
}

std::string RelayPacket::Encode() const {
    std::string b(48, '\0');
    std::memcpy(b.data(), address.data(), std::min<std::size_t>(address.size(), 16));
    putU32(b, 20, accept);
    putU32(b, 24, portA);
    putU32(b, 28, portB);
    std::memcpy(b.data() + 32, deviceId.data(), std::min<std::size_t>(deviceId.size(), 8));
    putU32(b, 40, state);
    return b;
}

FakeRelayBox::FakeRelayBox(Options options) : options_(std::move(options)), address_(options_.address) {
    for (int pair = 0; pair < 2; ++pair) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in a = loopback(address_, 0);
        if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("fake relay box: cannot bind");
        ports_[pair] = boundPort(s);
        if (!(pair == 0 ? options_.listenA : options_.listenB)) {
            ::close(s); // the port now refuses
            continue;
        }
        if (::listen(s, 8) != 0)
            throw std::runtime_error("fake relay box: cannot listen");
        listeners_[pair] = s;
    }
    thread_ = std::thread([this] { run(); });
}

FakeRelayBox::~FakeRelayBox() {
    stop_ = true;
    thread_.join();
    for (int l : listeners_)
        if (l >= 0)
            ::close(l);
    for (auto& pair : connections_)
        for (const Connection& c : pair)
            ::close(c.socket);
}

void FakeRelayBox::Start(const RelayPacket& request) {
    std::lock_guard lock(mutex_);
    if (started_)
        return;
    targets_[0] = request.state != 0 ? static_cast<std::uint16_t>(request.portA) : options_.pcListenPort;
    targets_[1] = request.state != 0 ? static_cast<std::uint16_t>(request.portB) : options_.pcListenPort;
    started_ = true;
}

// Accepts on the listeners; once started, connects each pair to the PC, retrying for a few seconds while
// the PC's listen probes come up.
void FakeRelayBox::run() {
    bool connected[2] = {false, false};
    std::chrono::steady_clock::time_point deadline{};
    while (!stop_) {
        std::vector<pollfd> fds;
        for (int pair = 0; pair < 2; ++pair)
            if (listeners_[pair] >= 0)
                fds.push_back({listeners_[pair], POLLIN, 0});
        if (fds.empty()) {
            ::usleep(20000);
        } else if (::poll(fds.data(), fds.size(), 20) > 0) {
            for (const pollfd& p : fds) {
                if (!(p.revents & POLLIN))
                    continue;
                const int pair = p.fd == listeners_[0] ? 0 : 1;
                const int s = ::accept(p.fd, nullptr, nullptr);
                std::lock_guard lock(mutex_);
                if (s >= 0)
                    connections_[pair].push_back(Connection{s, {}, false});
            }
        }
        if (!options_.connect || !started_)
            continue;
        if (deadline == std::chrono::steady_clock::time_point{})
            deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (int pair = 0; pair < 2; ++pair) {
            if (connected[pair] || std::chrono::steady_clock::now() > deadline)
                continue;
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            std::uint16_t target = 0;
            {
                std::lock_guard lock(mutex_);
                target = targets_[pair];
            }
            const sockaddr_in pc = loopback("127.0.0.1", target);
            if (::connect(s, reinterpret_cast<const sockaddr*>(&pc), sizeof pc) == 0) {
                connected[pair] = true;
                std::lock_guard lock(mutex_);
                connections_[pair].push_back(Connection{s, {}, false});
            } else {
                ::close(s);
            }
        }
    }
}

void FakeRelayBox::readWaiting(int pair) {
    for (Connection& c : connections_[pair]) {
        char buffer[256];
        ssize_t got = 0;
        while (!c.closed && (got = ::recv(c.socket, buffer, sizeof buffer, MSG_DONTWAIT)) != 0) {
            if (got < 0) {
                c.closed = errno != EAGAIN && errno != EWOULDBLOCK;
                break;
            }
            c.data.append(buffer, static_cast<std::size_t>(got));
        }
        if (got == 0)
            c.closed = true;
    }
}

std::vector<std::string> FakeRelayBox::Received(int pair) {
    std::lock_guard lock(mutex_);
    readWaiting(pair);
    std::vector<std::string> data;
    for (const Connection& c : connections_[pair])
        data.push_back(c.data);
    return data;
}

bool FakeRelayBox::Closed(int pair) {
    std::lock_guard lock(mutex_);
    readWaiting(pair);
    for (const Connection& c : connections_[pair])
        if (!c.closed)
            return false;
    return true;
}

int FakeRelayBox::Connections(int pair) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(connections_[pair].size());
}

FakeRelayServer::FakeRelayServer(std::string address, std::uint16_t port, Script script, FakeRelayBox* box)
    : address_(std::move(address)), script_(std::move(script)), box_(box) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in a = loopback(address_, port);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(socket_);
        socket_ = -1;
        return;
    }
    port_ = boundPort(socket_);
    thread_ = std::thread([this] { run(); });
}

FakeRelayServer::~FakeRelayServer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (socket_ >= 0)
        ::close(socket_);
}

void FakeRelayServer::run() {
    while (!stop_) {
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[512];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n <= 0 || !isLoopback(from))
            continue;
        const RelayPacket request = RelayPacket::Decode(std::string(buffer, static_cast<std::size_t>(n)));
        std::size_t index = 0;
        {
            std::lock_guard lock(mutex_);
            received_.push_back(request);
            if (request.state == 17)
                continue;
            index = requests_++;
        }
        if (script_.empty())
            continue;
        for (const Reply& r : script_[std::min(index, script_.size() - 1)]) {
            RelayPacket reply;
            reply.state = r.state;
            reply.accept = r.accept;
            reply.deviceId = r.deviceId.empty() ? request.deviceId : r.deviceId;
            reply.address = r.address;
            if (r.fromBox && box_) {
                reply.address = box_->Address();
                reply.portA = box_->Port(0);
                reply.portB = box_->Port(1);
                box_->Start(request);
            }
            const std::string bytes = reply.Encode();
            ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from),
                     length);
        }
    }
}

std::vector<RelayPacket> FakeRelayServer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<RelayPacket> FakeRelayServer::Requests() const {
    std::vector<RelayPacket> requests;
    for (RelayPacket& p : Received())
        if (p.state != 17)
            requests.push_back(std::move(p));
    return requests;
}

FakeRelayServers::FakeRelayServers(FakeRelayServer::Script firstScript, FakeRelayServer::Script secondScript,
                                   FakeRelayBox* box) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        first = std::make_unique<FakeRelayServer>("127.0.0.1", 0, firstScript, box);
        second = std::make_unique<FakeRelayServer>("127.0.0.2", first->Port(), secondScript, box);
        if (first->Bound() && second->Bound())
            return;
    }
    throw std::runtime_error("fake relay: no common port on 127.0.0.1 and 127.0.0.2");
}

} // namespace fakes
