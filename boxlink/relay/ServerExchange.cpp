// The exchange with the relay server, on its own thread, and the router mappings it announces.
#include "boxlink/relay/Rendezvous.h"
#include "boxlink/relay/RendezvousState.h"
#include "boxlink/upnp/MyUPnP.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kFirstStageWaitMs = 2000;
constexpr DWORD kSecondStageWaitMs = 3000;
constexpr DWORD kRetryPauseMs = 50;
constexpr int kSecondStageWaits = 3;
constexpr int kUdpPortOffset = 45;
constexpr int kSecondMappingOffset = 25;
constexpr int kInUseOffset = 20;

// Counters over the whole exchange; a switch to the second server sets them to their switch values.
struct Counters {
    int firstStageTimeouts = 0;  // switch at 7, fail at 14
    int receiveErrors = 0;       // fail at 6
    int otherStates = 0;         // fail at 5
    int secondStageTimeouts = 0; // switch at 4, fail at 7
    int waitReplies = 0;         // switch at 3, fail at 6
};

// One mapping with its retry on a port in use; returns the MyUPnP result and the port it ended on.
int mapPort(int port, int* mapped) {
    MyUPnP::UPNPNAT_MAPPING m{static_cast<WORD>(port), static_cast<WORD>(port), 0, L"TCP Port"};
    *mapped = port;
    int result = TheUPnP().AddMapping(m);
    if (result == MyUPnP::kPortInUse) {
        *mapped = port + kInUseOffset;
        m = MyUPnP::UPNPNAT_MAPPING{static_cast<WORD>(*mapped), static_cast<WORD>(*mapped), 0, L"TCP Port"};
        result = TheUPnP().AddMapping(m) == MyUPnP::kOk ? MyUPnP::kOk : MyUPnP::kNoRouter;
    }
    return result;
}

class Exchange {
public:
    Exchange(relay::RendezvousState& s, const RendezvousProgress& progress) : s_(s), progress_(progress) {}
    void Run();

private:
    enum class Step { Again, Second, End };
    Step firstStage();
    Step secondStage();
    void accepted(const sockaddr_in& from);
    bool sendRequest();
    int receive(DWORD ms, ServerPacket* packet, sockaddr_in* from);
    void switchServer(int stageOutcome);
    void exchangeFailure();
    void boxDidNotCome(int stageOutcome);
    void refused();
    void report(int stage) {
        if (progress_)
            progress_(stage);
    }

    relay::RendezvousState& s_;
    const RendezvousProgress& progress_;
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t serverPort_ = 0;
    Counters n_;
};

void Exchange::Run() {
    report(2);
    s_.Reset();
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    serverPort_ = env.relayServerPort;
    socket_ = socket(AF_INET, SOCK_DGRAM, 0);
    const int base = env.rendezvousPortBase != 0 ? env.rendezvousPortBase : RandomPortBase();
    MapRendezvousPorts(base);
    int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(base + kUdpPortOffset));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (socket_ == INVALID_SOCKET || setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        s_.giveUp = true;
    } else {
        Step step = Step::Again;
        while (step != Step::End && !s_.stop->Raised())
            step = step == Step::Again ? firstStage() : secondStage();
    }
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
}

bool Exchange::sendRequest() {
    std::uint32_t address = 0;
    if (!platform::ParseIpv4(s_.currentServer, address) || address == 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(serverPort_);
    to.sin_addr.s_addr = address;
    const auto bytes = s_.request.Encode();
    return sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(bytes.size());
}

// 1 a datagram, 0 nothing within ms (or stopped), SOCKET_ERROR a receive error.
int Exchange::receive(DWORD ms, ServerPacket* packet, sockaddr_in* from) {
    const int ready = s_.stop->WaitReadable(socket_, ms);
    if (ready != 1)
        return ready;
    std::uint8_t buffer[ServerPacket::kSize];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const ssize_t n =
        recvfrom(socket_, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&sender), &length);
    if (n < 0)
        return SOCKET_ERROR;
    *packet = ServerPacket::Decode(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer));
    if (from)
        *from = sender;
    return 1;
}

void Exchange::switchServer(int stageOutcome) {
    if (s_.usingSecondServer)
        return;
    s_.currentServer = s_.secondServer;
    s_.RecordOutcome(stageOutcome, -1);
    s_.usingSecondServer = true;
    n_.firstStageTimeouts = 7;
    n_.secondStageTimeouts = 4;
    n_.waitReplies = 3;
}

void Exchange::exchangeFailure() {
    s_.RecordOutcome(1, 1);
    s_.exchangeFailed = true;
}

void Exchange::boxDidNotCome(int stageOutcome) {
    s_.RecordOutcome(stageOutcome, 2);
    s_.deviceTimedOut = true;
}

// A refusal ends the attempt at once on either server.
void Exchange::refused() {
    s_.RecordOutcome(3, s_.usingSecondServer ? -1 : 3);
    s_.serverRefused = true;
}

Exchange::Step Exchange::firstStage() {
    if (!sendRequest()) {
        exchangeFailure();
        return Step::End;
    }
    ServerPacket reply;
    const int r = receive(kFirstStageWaitMs, &reply, nullptr);
    if (s_.stop->Raised())
        return Step::End;
    if (r == 0) {
        ++n_.firstStageTimeouts;
        if (n_.firstStageTimeouts == 7)
            switchServer(1);
        if (n_.firstStageTimeouts >= 14) {
            s_.RecordOutcome(-1, 1);
            s_.exchangeFailed = true;
            return Step::End;
        }
        return Step::Again;
    }
    if (r == SOCKET_ERROR) {
        if (++n_.receiveErrors >= 6) {
            exchangeFailure();
            return Step::End;
        }
        return Step::Again;
    }
    if (reply.state == ServerPacket::kGoOn) {
        report(3);
        return Step::Second;
    }
    if (reply.state == ServerPacket::kRefused || s_.secondStageReply.state == ServerPacket::kRefused) {
        refused();
        return Step::End;
    }
    if (++n_.otherStates >= 5) {
        boxDidNotCome(2);
        return Step::End;
    }
    return Step::Again;
}

Exchange::Step Exchange::secondStage() {
    for (int wait = 0; wait < kSecondStageWaits; ++wait) {
        ServerPacket reply;
        sockaddr_in from{};
        const int r = receive(kSecondStageWaitMs, &reply, &from);
        if (s_.stop->Raised())
            return Step::End;
        if (r == 0) {
            s_.stop->Sleep(kRetryPauseMs);
            ++n_.secondStageTimeouts;
            if (n_.secondStageTimeouts == 4)
                switchServer(2);
            if (n_.secondStageTimeouts >= 7) {
                boxDidNotCome(-1);
                return Step::End;
            }
            return Step::Again;
        }
        if (r != 1)
            continue;
        s_.secondStageReply = reply;
        s_.secondStageSeen = true;
        if (reply.state == ServerPacket::kWait) {
            s_.stop->Sleep(kRetryPauseMs);
            ++n_.waitReplies;
            if (n_.waitReplies == 3)
                switchServer(2);
            if (n_.waitReplies >= 6) {
                boxDidNotCome(-1);
                return Step::End;
            }
            return Step::Again;
        }
        if (reply.accept != 0 && reply.SameDeviceId(s_.request)) {
            accepted(from);
            return Step::End;
        }
    }
    return Step::Again;
}

// The box's address goes back to the caller with the reply; the closing answer tells the server.
void Exchange::accepted(const sockaddr_in& from) {
    s_.exchangeFailed = false;
    s_.peerKnown.store(true, std::memory_order_release);
    report(4);
    ServerPacket closing;
    std::memcpy(closing.deviceId, s_.request.deviceId, sizeof closing.deviceId);
    closing.state = ServerPacket::kClosing;
    const auto bytes = closing.Encode();
    if (sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from),
               sizeof from) != static_cast<ssize_t>(bytes.size()))
        exchangeFailure();
}

} // namespace

void MapRendezvousPorts(int base) {
    TheUPnP().ResetSearch();
    ServerPacket& request = relay::State().request;
    int port = 0;
    const int first = mapPort(base, &port);
    if (first == MyUPnP::kOk) {
        request.SetAddress(platform::Ipv4Text(TheUPnP().ExternalAddress()));
        request.state = 1;
        request.portA = static_cast<std::uint32_t>(port);
    } else if (first == MyUPnP::kNoFirewall) {
        request.state = 2;
        request.portA = static_cast<std::uint32_t>(port);
    } else {
        request.state = 0;
    }
    const int second = mapPort(base + kSecondMappingOffset, &port);
    if (second == MyUPnP::kOk || second == MyUPnP::kNoFirewall)
        request.portB = static_cast<std::uint32_t>(port);
    if (request.state == 0 || (second != MyUPnP::kOk && second != MyUPnP::kNoFirewall))
        request.state = 0;
    else
        request.state = second == MyUPnP::kOk ? 1 : 2;
}

namespace relay {

void ServerExchangeThread(RendezvousState& s, const std::function<void(int)>& progress) {
    Exchange(s, progress).Run();
}

} // namespace relay
