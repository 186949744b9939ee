// The ways Login reaches the box: LAN search by device ID (falling back on the relay path), typed address
// and host name (the direct ports).
#include "boxlink/BoxClient.h"

#include "boxlink/BoxMessages.h"
#include "boxlink/TcpConnect.h"
#include "boxlink/WindowPost.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include <cstring>
#include <thread>

namespace {

constexpr int kLanSearchTries = 2;
constexpr DWORD kLanSearchWaitMs = 1000;
constexpr int kLanReplyMax = 30;
constexpr DWORD kDirectConnectWaitMs = 8000;
constexpr int kRelayOk = 1000;
constexpr int kRelayNoRelayPath = 1005; // as when the rendezvous runs out of time

// Relay results after which the box's address from the server may still be reached directly.
bool directFallback(int result) {
    switch (result) {
    case 1004:
    case 1005:
    case 1008:
    case 1009:
    case 1012:
    case 1013:
        return true;
    default:
        return false;
    }
}

std::wstring configuredServer(LPCWSTR section) {
    WCHAR text[65] = {};
    GetPrivateProfileStringW(section, L"ip", L"", text, 65, L".\\configure.ini");
    return text;
}

SOCKET connectDirectPort(std::uint32_t address, std::uint16_t port) {
    Sleep(10);
    return ConnectTcp(address, port, 2, kDirectConnectWaitMs, false);
}

} // namespace

bool KQ_TCP_BoxClient::connectToBox(const std::wstring& target, int loginType) {
    {
        std::lock_guard lock(addressMutex_);
        if (addresses_.empty()) {
            link_.loginState = 1;
            return false;
        }
        ownAddress_ = addresses_.front();
        addresses_.clear();
    }
    switch (loginType) {
    case BOX_LOGIN_BY_ID: {
        if (searchLanDevice(target)) {
            link_.mode = BOX_MODE_LAN;
            if (channel_.Connect(AddressList().front()))
                return true;
            link_.loginState = 2;
            return false;
        }
        std::string boxAddress;
        const int result =
            connectViaServer(configuredServer(L"IP1"), configuredServer(L"IP2"), target, boxAddress);
        if (result == kRelayOk) {
            link_.mode = BOX_MODE_RELAY;
            startControlThreads();
            return true;
        }
        if (directFallback(result) && !boxAddress.empty() && connectDirect(boxAddress)) {
            if (relay_) {
                relay_->ResetRendezvousState();
                relay_->UnmapRendezvousPorts();
            }
            link_.mode = BOX_MODE_RELAY;
            startControlThreads();
            return true;
        }
        link_.loginState = static_cast<DWORD>(result);
        return false;
    }
    case BOX_LOGIN_BY_ADDRESS:
    case BOX_LOGIN_BY_HOST: {
        std::string address = platform::ToLegacy(target);
        if (loginType == BOX_LOGIN_BY_HOST) {
            const std::vector<std::uint32_t> found = platform::ResolveIPv4(address);
            if (found.empty()) {
                link_.loginState = 9;
                return false;
            }
            address = platform::Ipv4Text(found.front());
        }
        if (!connectDirect(address)) {
            link_.loginState = 4;
            return false;
        }
        link_.mode = BOX_MODE_RELAY;
        startControlThreads();
        return true;
    }
    default:
        return false;
    }
}

bool KQ_TCP_BoxClient::searchLanDevice(const std::wstring& deviceId) {
    postStatus(L"Searching Device...", BOX_STATUS_TEXT_CONTROL);
    PostToWindow(link_.mainWindow, WM_BOX_CONNECT_PROGRESS, 1, 1);
    const std::string probe = platform::ToLegacy(deviceId);
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    std::uint32_t destination = 0;
    if (!platform::ParseIpv4(env.lanBroadcast, destination))
        return false;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    const int on = 1;
    // The fixed search port is shared with other programs that search for the box; an any-port socket
    // must not share (on UDP, SO_REUSEADDR would let the system hand out a port another socket holds).
    if (env.lanSearchLocalPort != 0)
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(env.lanSearchLocalPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        closesocket(s);
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(env.lanSearchPort);
    to.sin_addr.s_addr = destination;
    for (int attempt = 0; attempt < kLanSearchTries; ++attempt) {
        sendto(s, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (platform::WaitReadable(s, kLanSearchWaitMs) != 1)
            continue;
        char reply[kLanReplyMax];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            recvfrom(s, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        // The box answers with its ID first; a reply shorter than the probe cannot be that.
        if (n > 0 && static_cast<std::size_t>(n) >= probe.size() &&
            std::memcmp(reply, probe.data(), probe.size()) == 0) {
            setAddresses({platform::Ipv4Text(from.sin_addr.s_addr)});
            closesocket(s);
            return true;
        }
    }
    closesocket(s);
    return false;
}

int KQ_TCP_BoxClient::connectViaServer(const std::wstring& server1, const std::wstring& server2,
                                       const std::wstring& deviceId, std::string& boxAddress) {
    controlSocket_ = INVALID_SOCKET;
    streamSocket_ = INVALID_SOCKET;
    if (!relay_)
        return kRelayNoRelayPath;
    SOCKET control = INVALID_SOCKET;
    SOCKET stream = INVALID_SOCKET;
    const int result = relay_->RunServerRendezvous(server1, server2, deviceId, control, stream, boxAddress);
    if (result == kRelayOk) {
        controlSocket_ = control;
        streamSocket_ = stream;
    }
    return result;
}

bool KQ_TCP_BoxClient::connectDirect(const std::string& boxAddress) {
    controlSocket_ = INVALID_SOCKET;
    streamSocket_ = INVALID_SOCKET;
    std::uint32_t address = 0;
    if (!platform::ParseIpv4(boxAddress, address))
        return false;
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    // Both connections are tried at once; the login needs both.
    SOCKET control = INVALID_SOCKET;
    SOCKET stream = INVALID_SOCKET;
    std::thread controlConnect([&] { control = connectDirectPort(address, env.directControlPort); });
    std::thread streamConnect([&] { stream = connectDirectPort(address, env.directStreamPort); });
    controlConnect.join();
    streamConnect.join();
    if (control != INVALID_SOCKET && stream != INVALID_SOCKET) {
        controlSocket_ = control;
        streamSocket_ = stream;
        return true;
    }
    for (SOCKET s : {control, stream})
        if (s != INVALID_SOCKET)
            closesocket(s);
    return false;
}
