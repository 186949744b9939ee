// Finding the box: the LAN probe to the subnet's broadcast address, and the factory search from a
// temporary PC address in the factory subnet.
#include "wizard/BoxLink.h"

#include "platform/net/AddressService.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Text.h"

namespace {

constexpr int kSearchAttempts = 2;
constexpr DWORD kSearchWaitMs = 2000;
constexpr std::size_t kSearchReplyMax = 30;
constexpr int kAddressChecks = 17;
constexpr DWORD kAddressCheckGapMs = 500;
constexpr DWORD kFactoryProbePauseMs = 100;

std::uint32_t parsed(const std::string& text) {
    std::uint32_t address = 0;
    return platform::ParseIpv4(text, address) ? address : 0;
}

// A search socket bound to the local address and the search port. The fixed port is shared with other
// programs that search for the box; an any-port socket must not share (on UDP, SO_REUSEADDR would let the
// system hand out a port that another socket holds).
SOCKET searchSocket(std::uint32_t localAddress, std::uint16_t localPort, bool broadcast) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return s;
    const int on = 1;
    if (localPort != 0)
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(localPort);
    local.sin_addr.s_addr = localAddress;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (broadcast && setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Sends the probe and waits for a reply that begins with the device ID; the sender's address when one
// came (network byte order), else 0.
std::uint32_t probeOnce(SOCKET s, const sockaddr_in& to, const BYTE* probe, std::size_t length,
                        const std::string& deviceId) {
    sendto(s, probe, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (platform::WaitReadable(s, kSearchWaitMs) != 1)
        return 0;
    BYTE reply[kSearchReplyMax];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(s, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0 || !IsSearchReplyOf(reply, static_cast<std::size_t>(n), deviceId))
        return 0;
    return from.sin_addr.s_addr;
}

sockaddr_in destination(std::uint32_t address, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    return to;
}

} // namespace

std::uint32_t GetBroadcastAddress() {
    return platform::DirectedBroadcastAddress();
}

bool HasTemporaryAddress() {
    const std::uint32_t temporary = parsed(platform::GetNetEnvironment().temporaryPcAddress);
    for (const platform::Adapter& adapter : platform::AdaptersInfo())
        for (const platform::AdapterAddress& held : adapter.addresses)
            if (held.address == temporary)
                return true;
    return false;
}

bool CBoxLink::DiscoverOnLan() {
    DeleteTemporaryAddress();
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    const SOCKET s = searchSocket(htonl(INADDR_ANY), env.lanSearchLocalPort, true);
    if (s == INVALID_SOCKET)
        return false;
    std::uint32_t target = GetBroadcastAddress();
    if (target == 0)
        target = parsed(env.lanBroadcast);
    const sockaddr_in to = destination(target, env.lanSearchPort);
    const std::string probe = LanProbe(deviceId_);
    for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
        const std::uint32_t box =
            probeOnce(s, to, reinterpret_cast<const BYTE*>(probe.data()), probe.size(), deviceId_);
        if (box != 0) {
            boxAddress_ = platform::FromUtf8(platform::Ipv4Text(box));
            closesocket(s);
            return true;
        }
    }
    closesocket(s);
    return false;
}

bool CBoxLink::DiscoverAtFactoryAddress() {
    AddTemporaryAddress();
    bool listed = HasTemporaryAddress();
    for (int check = 1; check < kAddressChecks && !listed; ++check) {
        Sleep(kAddressCheckGapMs);
        listed = HasTemporaryAddress();
    }
    if (!listed) {
        DeleteTemporaryAddress();
        return false;
    }
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    // Without a socket the temporary address stays until the next login removes it.
    const SOCKET s = searchSocket(parsed(env.temporaryPcAddress), env.lanSearchLocalPort, false);
    if (s == INVALID_SOCKET)
        return false;
    const sockaddr_in to = destination(parsed(env.factoryBoxAddress), env.lanSearchPort);
    const std::array<BYTE, 30> probe = FactoryProbe(deviceId_);
    for (int attempt = 0; attempt < kSearchAttempts; ++attempt) {
        Sleep(kFactoryProbePauseMs);
        if (probeOnce(s, to, probe.data(), probe.size(), deviceId_) != 0) {
            // The box is at its factory address; the temporary address stays for the connection.
            boxAddress_ = platform::FromUtf8(env.factoryBoxAddress);
            closesocket(s);
            return true;
        }
    }
    DeleteTemporaryAddress();
    closesocket(s);
    return false;
}

void CBoxLink::AddTemporaryAddress() {
    // The last Ethernet adapter is the one the box hangs on.
    DWORD target = 0;
    for (const platform::Adapter& adapter : platform::AdaptersInfo())
        if (adapter.type == platform::kAdapterEthernet)
            target = adapter.index;
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    for (const platform::InterfaceEntry& entry : platform::InterfaceInfo()) {
        if (target == 0 || entry.index != target)
            continue;
        ULONG context = 0, instance = 0;
        const DWORD result = AddIPAddress(parsed(env.temporaryPcAddress), parsed(env.temporaryPcMask),
                                          entry.index, &context, &instance);
        // An address that is there already (ERROR_DUP_DOMAINNAME, ERROR_OBJECT_ALREADY_EXISTS) serves as
        // well; it is not ours to delete. Any other failure shows when the address is never listed.
        if (result == NO_ERROR)
            temporaryContext_ = context;
        return;
    }
}

void CBoxLink::DeleteTemporaryAddress() {
    if (temporaryContext_ != 0)
        DeleteIPAddress(temporaryContext_);
    temporaryContext_ = 0;
}
