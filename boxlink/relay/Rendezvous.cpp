#include "boxlink/relay/Rendezvous.h"

#include "boxlink/relay/RendezvousState.h"
#include "boxlink/upnp/MyUPnP.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Text.h"

#include <cmath>
#include <ctime>
#include <random>

namespace {

constexpr DWORD kRendezvousLimitMs = 90000;
constexpr DWORD kDriverPollMs = 10;
constexpr std::size_t kMaxServerName = 63;

// A configured server name as a dotted quad: the first address it resolves to, else the built-in one.
std::string serverAddress(const std::wstring& name) {
    std::string ansi = platform::ToLegacy(name);
    ansi.resize(std::min(ansi.size(), kMaxServerName));
    const std::vector<std::uint32_t> addresses = platform::ResolveIPv4(ansi);
    return addresses.empty() ? platform::GetNetEnvironment().relayServerFallback
                             : platform::Ipv4Text(addresses.front());
}

// The result when the limit passes or the probes give up with one socket.
int limitResult(const relay::RendezvousState& s) {
    if (!s.usingSecondServer)
        return 1005;
    switch (s.StageOutcome()) {
    case 1:
        return 1009;
    case 2:
        return 1013;
    default:
        return 1005;
    }
}

} // namespace

void StartWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

void ResetRendezvousState() {
    relay::State().Reset();
}

int PortBaseFrom(unsigned random15) {
    const auto spread = static_cast<long>(std::trunc((random15 & 0x7FFF) / 32767.0 * 100000));
    return static_cast<int>(spread % 60491 + 5000);
}

int RandomPortBase() {
    std::minstd_rand generator(static_cast<unsigned>(std::time(nullptr)));
    int base = 0;
    for (int i = 0; i < 5; ++i)
        base = PortBaseFrom(static_cast<unsigned>(generator()) & 0x7FFF);
    return base;
}

int DecodeRendezvousOutcome(int stageOutcome, int failureKind) {
    static constexpr int kTable[2][5] = {{1001, 1006, 1007, 1008, 1009}, {1002, 1010, 1011, 1012, 1013}};
    if (stageOutcome >= 3 && stageOutcome <= 5)
        return 1000 + stageOutcome;
    if ((stageOutcome == 1 || stageOutcome == 2) && failureKind >= 1 && failureKind <= 5)
        return kTable[stageOutcome - 1][failureKind - 1];
    return 0;
}

// Pair A gives the control socket and pair B the audio/video socket, each its connect probe before its
// listen probe; a pair with both probes connected supplies both sockets when the other has none.
bool ChooseRendezvousSockets(const std::array<bool, 4>& c, int* control, int* stream) {
    auto pick = [&c](int connectProbe, int listenProbe) {
        return c[connectProbe] ? connectProbe : c[listenProbe] ? listenProbe : -1;
    };
    int a = pick(kConnectA, kListenA);
    int b = pick(kConnectB, kListenB);
    if (a < 0 && c[kConnectB] && c[kListenB]) {
        a = kConnectB;
        b = kListenB;
    } else if (b < 0 && c[kConnectA] && c[kListenA]) {
        b = kListenA;
    }
    if (a < 0 || b < 0)
        return false;
    *control = a;
    *stream = b;
    return true;
}

int UnmapRendezvousPorts() {
    const ServerPacket& request = relay::State().request;
    for (std::uint32_t port : {request.portA, request.portB})
        if (port != 0) // never mapped
            TheUPnP().DeleteMapping(
                MyUPnP::UPNPNAT_MAPPING{static_cast<WORD>(port), static_cast<WORD>(port), 0, L""}, true);
    return 1;
}

int RunServerRendezvous(const std::wstring& firstServer, const std::wstring& secondServer,
                        const std::wstring& deviceId, SOCKET* controlSocket, SOCKET* streamSocket,
                        std::wstring* boxAddress, const RendezvousProgress& progress, bool* accepted) {
    StartWinsock();
    relay::RendezvousState& s = relay::State();
    s.Reset();
    s.request = ServerPacket{};
    s.currentServer = serverAddress(firstServer);
    s.secondServer = serverAddress(secondServer);
    s.request.SetDeviceId(platform::ToLegacy(deviceId));

    relay::StopSignal stop;
    s.stop = &stop;
    std::thread exchange(relay::ServerExchangeThread, std::ref(s), progress);
    std::thread watcher(relay::RendezvousStateThread, std::ref(s));
    const DWORD start = GetTickCount();
    Sleep(kDriverPollMs);

    int result = 0;
    int control = -1;
    int stream = -1;
    while (result == 0) {
        std::array<bool, 4> connected{};
        int count = 0;
        for (int i = 0; i < 4; ++i)
            count += (connected[i] = s.probes[i].connected.load());
        const bool trying = s.probesTrying.load() > 0;
        if (count >= 2 && ChooseRendezvousSockets(connected, &control, &stream)) {
            result = kRendezvousConnected;
        } else if (count >= 1 && s.giveUp && !trying) {
            result = limitResult(s);
        } else if (count == 0 && !trying) {
            result = DecodeRendezvousOutcome(s.StageOutcome(), s.FailureKind());
        }
        if (result == 0 && GetTickCount() - start >= kRendezvousLimitMs)
            result = limitResult(s);
        if (result == 0)
            Sleep(kDriverPollMs);
    }

    if (result == kRendezvousConnected) {
        s.probes[control].handedOver = true;
        s.probes[stream].handedOver = true;
    }
    stop.Raise();
    exchange.join();
    watcher.join();
    for (std::thread& probe : s.probeThreads)
        probe.join();
    s.probeThreads.clear();
    s.stop = nullptr;

    if (accepted)
        *accepted = s.peerKnown;
    if (boxAddress)
        *boxAddress =
            s.secondStageSeen ? platform::FromLegacy(s.secondStageReply.AddressText()) : std::wstring();
    if (result == kRendezvousConnected) {
        *controlSocket = s.probes[control].socket;
        *streamSocket = s.probes[stream].socket;
    } else {
        UnmapRendezvousPorts();
    }
    return result;
}
