// The rendezvous state thread and the four TCP probes it starts as the server directs.
#include "boxlink/relay/Rendezvous.h"
#include "boxlink/relay/RendezvousState.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"

namespace relay {
namespace {

constexpr DWORD kStatePollMs = 30;
constexpr int kListenWaits = 6;
constexpr DWORD kListenWaitMs = 4000;
constexpr int kListenBacklog = 20;
constexpr int kSendBuffer = 0x20000;
constexpr DWORD kConnectDelayMs = 500;
constexpr int kConnectAttempts = 7;
constexpr DWORD kConnectWaitMs = 3000;
constexpr DWORD kConnectPauseMs = 10;

// listenA, connectA, listenB, connectB: each probe's partner is the other probe of its pair.
int partnerOf(int probe) {
    return probe ^ 1;
}

void probeFailed(RendezvousState& s) {
    s.RecordOutcome(5, s.usingSecondServer ? -1 : 5);
    s.giveUp = true;
}

// The probe has stopped trying: connected (then it keeps its socket until the rendezvous ends and closes
// it unless it was handed over), failed, or given way to its partner.
void finish(RendezvousState& s, int probe, SOCKET socket, bool connected) {
    ProbeRecord& record = s.probes[probe];
    if (connected) {
        record.socket = socket;
        record.connected.store(true, std::memory_order_release);
    } else if (socket != INVALID_SOCKET) {
        closesocket(socket);
    }
    --s.probesTrying;
    if (!connected)
        return;
    while (s.stop->Sleep(INFINITE)) {
    }
    if (!record.handedOver)
        closesocket(socket);
}

bool partnerConnected(const RendezvousState& s, int probe) {
    return s.probes[partnerOf(probe)].connected.load(std::memory_order_acquire);
}

void listenProbe(RendezvousState& s, int probe) {
    const ServerPacket& request = s.request;
    const std::uint32_t mapped = probe == kListenA ? request.portA : request.portB;
    const std::uint16_t port = request.state != 0 ? static_cast<std::uint16_t>(mapped)
                                                  : platform::GetNetEnvironment().rendezvousListenPort;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    const int sendBuffer = kSendBuffer;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (listener == INVALID_SOCKET || setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        setsockopt(listener, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer) != 0 ||
        bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        listen(listener, kListenBacklog) != 0) {
        if (!partnerConnected(s, probe))
            probeFailed(s);
        finish(s, probe, listener, false);
        return;
    }
    for (int wait = 0; wait < kListenWaits; ++wait) {
        if (partnerConnected(s, probe) || s.stop->Raised())
            break;
        const int ready = s.stop->WaitReadable(listener, kListenWaitMs);
        if (ready == 1) {
            const SOCKET accepted = accept(listener, nullptr, nullptr);
            if (accepted == INVALID_SOCKET)
                break;
            closesocket(listener);
            finish(s, probe, accepted, true);
            return;
        }
        if (ready == SOCKET_ERROR)
            break;
    }
    if (!partnerConnected(s, probe) && !s.stop->Raised())
        probeFailed(s);
    finish(s, probe, listener, false);
}

// A fresh socket for each attempt: a failed connect leaves a socket that can't be reused everywhere.
void connectProbe(RendezvousState& s, int probe) {
    const ServerPacket& reply = s.secondStageReply;
    sockaddr_in box{};
    box.sin_family = AF_INET;
    box.sin_port = htons(static_cast<std::uint16_t>(probe == kConnectA ? reply.portA : reply.portB));
    const bool addressed = platform::ParseIpv4(reply.AddressText(), box.sin_addr.s_addr);
    if (s.stop->Sleep(kConnectDelayMs) && addressed) {
        for (int attempt = 0; attempt < kConnectAttempts && !partnerConnected(s, probe); ++attempt) {
            const SOCKET c = socket(AF_INET, SOCK_STREAM, 0);
            if (c == INVALID_SOCKET)
                break;
            ULONG mode = 1;
            ioctlsocket(c, FIONBIO, &mode);
            const bool started = connect(c, reinterpret_cast<const sockaddr*>(&box), sizeof box) == 0 ||
                                 WSAGetLastError() == WSAEWOULDBLOCK;
            if (started && s.stop->WaitWritable(c, kConnectWaitMs) == 1) {
                mode = 0;
                ioctlsocket(c, FIONBIO, &mode);
                finish(s, probe, c, true);
                return;
            }
            closesocket(c);
            if (s.stop->Raised() || !s.stop->Sleep(kConnectPauseMs))
                break;
        }
    }
    if (!partnerConnected(s, probe) && !s.stop->Raised())
        probeFailed(s);
    finish(s, probe, INVALID_SOCKET, false);
}

void startProbe(RendezvousState& s, int probe) {
    ++s.probesTrying;
    const bool listens = probe == kListenA || probe == kListenB;
    s.probeThreads.emplace_back(listens ? listenProbe : connectProbe, std::ref(s), probe);
}

} // namespace

void RendezvousStateThread(RendezvousState& s) {
    while (!s.peerKnown.load(std::memory_order_acquire)) {
        if (s.serverRefused || s.exchangeFailed || s.deviceTimedOut || !s.stop->Sleep(kStatePollMs))
            return;
    }
    switch (s.secondStageReply.state) {
    case 0: // no path between the two sides
        s.RecordOutcome(4, s.usingSecondServer ? -1 : 4);
        s.giveUp = true;
        break;
    case 1:
    case 4:
        startProbe(s, kConnectA);
        startProbe(s, kConnectB);
        break;
    case 2:
    case 5:
        startProbe(s, kListenA);
        startProbe(s, kListenB);
        break;
    case 3:
    case 6:
    case 7:
    case 8:
        for (int probe : {kConnectA, kConnectB, kListenA, kListenB})
            startProbe(s, probe);
        break;
    default: // no probe; the limit ends the attempt
        break;
    }
}

} // namespace relay
