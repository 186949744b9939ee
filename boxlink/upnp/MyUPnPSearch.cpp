// Finding the router: the SSDP search and the device description.
#include "boxlink/upnp/MyUPnP.h"

#include "boxlink/upnp/UpnpText.h"
#include "platform/net/Adapters.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/net/Winsock.h"
#include "platform/win32/Text.h"

#include <algorithm>
#include <array>

namespace {

const std::string kUrnPrefix = "urn:schemas-upnp-org:";
const std::string kUserAgent = "User-Agent:Microsoft-ATL-Native/7.00";
constexpr int kSearchMx = 6;
constexpr DWORD kSearchWaitMs = 4000;
constexpr DWORD kSearchPauseMs = 10;
constexpr int kSearchPasses = 2;
constexpr int kMaxDatagram = 10240;

const std::array<std::string, 2>& searchTargets() {
    static const std::array<std::string, 2> targets = {kUrnPrefix + "service:WANIPConnection:1",
                                                       kUrnPrefix + "service:WANPPPConnection:1"};
    return targets;
}

// The SSDP HOST header names the standard multicast group even when the environment sends elsewhere.
std::string ssdpHost() {
    const platform::NetEnvironment defaults;
    return defaults.ssdpMulticast + ":" + std::to_string(defaults.ssdpPort);
}

std::uint32_t parsed(const std::string& text) {
    std::uint32_t address = 0;
    return platform::ParseIpv4(text, address) ? address : 0;
}

// The directed broadcast of the first address of the adapter table, the SSDP group and the first adapter's
// gateway, each as the environment may override it; destinations that are unknown are left out.
std::vector<std::uint32_t> searchDestinations() {
    const platform::NetEnvironment env = platform::GetNetEnvironment();
    const std::vector<platform::Adapter> table = platform::AdapterTable();
    std::uint32_t broadcast = parsed(env.directedBroadcast);
    if (env.directedBroadcast.empty() && !table.empty() && !table.front().addresses.empty()) {
        const platform::AdapterAddress& first = table.front().addresses.front();
        broadcast = (first.address & first.mask) | ~first.mask;
    }
    std::uint32_t gateway = parsed(env.gateway);
    if (env.gateway.empty() && !table.empty())
        gateway = table.front().gateway;
    std::vector<std::uint32_t> destinations;
    for (std::uint32_t address : {broadcast, parsed(env.ssdpMulticast), gateway})
        if (address != 0)
            destinations.push_back(address);
    return destinations;
}

std::string locationLine(const std::string& answer) {
    std::size_t start = 0;
    while (start < answer.size()) {
        std::size_t end = answer.find('\n', start);
        if (end == std::string::npos)
            end = answer.size();
        const std::string_view line(answer.data() + start, end - start);
        std::string head(line.substr(0, 9));
        std::transform(head.begin(), head.end(), head.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (head == "LOCATION:")
            return upnp::Trim(line.substr(9));
        start = end + 1;
    }
    return {};
}

} // namespace

bool MyUPnP::IsFound() {
    if (m_searched)
        return !m_controlUrl.empty();
    m_searched = true;
    return Discover();
}

bool MyUPnP::Discover() {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const std::uint16_t port = platform::GetNetEnvironment().ssdpPort;
    const std::vector<std::uint32_t> destinations = searchDestinations();
    std::vector<std::string> triedLocations;
    bool found = false;
    for (const std::string& target : searchTargets()) {
        const std::string request = "M-SEARCH * HTTP/1.1\r\nHOST: " + ssdpHost() +
                                    "\r\nMAN: \"ssdp:discover\"\r\nMX: " + std::to_string(kSearchMx) +
                                    "\r\nST: " + target + "\r\n\r\n";
        for (int pass = 0; pass < kSearchPasses; ++pass) {
            for (std::size_t i = 0; i < destinations.size(); ++i) {
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_port = htons(port);
                to.sin_addr.s_addr = destinations[i];
                sendto(s, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to);
                if (i + 1 < destinations.size())
                    Sleep(kSearchPauseMs);
            }
        }
        // The first usable answer ends the search; unusable ones are read past within the window.
        const platform::Duration window = std::min(platform::DeadlineAfter(kSearchWaitMs), deadline_);
        std::vector<char> datagram(kMaxDatagram);
        while (!found) {
            const platform::Duration now = platform::Now();
            if (now >= window)
                break;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(window - now).count();
            if (platform::WaitReadable(s, static_cast<DWORD>(left)) != 1)
                break;
            const ssize_t n = recvfrom(s, datagram.data(), datagram.size(), 0, nullptr, nullptr);
            if (n <= 0)
                break;
            found = usableAnswer(std::string(datagram.data(), static_cast<std::size_t>(n)), triedLocations);
        }
        if (found)
            break;
    }
    closesocket(s);
    return found;
}

// A success status, one of the search targets (the first in search order becomes the service type), and
// a LOCATION whose description names that service. A location already tried is not fetched again.
bool MyUPnP::usableAnswer(const std::string& answer, std::vector<std::string>& triedLocations) {
    if (!upnp::IsHttpSuccess(answer))
        return false;
    for (const std::string& target : searchTargets()) {
        if (answer.find(target) == std::string::npos)
            continue;
        const std::string location = locationLine(answer);
        if (location.empty() ||
            std::find(triedLocations.begin(), triedLocations.end(), location) != triedLocations.end())
            return false;
        triedLocations.push_back(location);
        m_serviceType = target;
        m_location = location;
        return GetDescription();
    }
    return false;
}

bool MyUPnP::GetDescription() {
    upnp::HttpUrl url;
    if (m_serviceType.empty() || m_location.empty() || !upnp::ParseUrl(m_location, url))
        return false;
    const std::string request = "GET " + url.path + " HTTP/1.1\r\nHOST: " + url.hostPart + "\r\n" +
                                kUserAgent + "\r\nACCEPT-LANGUAGE: en\r\n\r\n";
    std::string answer;
    if (!exchange(url.host, url.port, request, answer) || !upnp::IsHttpSuccess(answer))
        return false;
    const upnp::DeviceDescription d = upnp::ReadDescription(answer, m_serviceType, url.hostPart);
    m_friendlyName = platform::FromLegacy(d.friendlyName);
    m_modelName = platform::FromLegacy(d.modelName);
    m_urlBase = d.urlBase;
    m_controlUrl = d.controlUrl;
    return !m_controlUrl.empty();
}
