#include "boxlink/upnp/MyUPnP.h"

#include "boxlink/upnp/UpnpHttp.h"
#include "platform/net/Adapters.h"
#include "platform/net/Resolver.h"

#include <algorithm>
#include <arpa/inet.h>

namespace {

const std::string kRouterDescription = "Zomtra";

std::string protocolText(DWORD protocol) {
    return protocol == 0 ? "TCP" : "UDP";
}

} // namespace

MyUPnP::MyUPnP() = default;
MyUPnP::~MyUPnP() = default;

MyUPnP& TheUPnP() {
    static MyUPnP instance;
    return instance;
}

void MyUPnP::GetLocalAddress() {
    m_localAddress = platform::LocalAddress();
    m_localAddressText = m_localAddress != 0 ? platform::Ipv4Text(m_localAddress) : std::string();
}

// Mapping makes sense only for a PC with a private address behind the router.
bool MyUPnP::privateAddressTest() {
    if (m_localAddress == 0)
        GetLocalAddress();
    const std::uint32_t host = ntohl(m_localAddress);
    const unsigned first = host >> 24;
    const unsigned second = (host >> 16) & 0xFF;
    const bool passes = first == 10 || (first == 172 && second >= 16 && second <= 31) ||
                        (first == 192 && second == 168) || first == 0;
    if (!passes)
        m_lastError = L"You aren't behind a Hardware Firewall or Router";
    return passes;
}

int MyUPnP::AddMapping(UPNPNAT_MAPPING& mapping) {
    std::lock_guard lock(mutex_);
    DWORD flags = 0;
    if (!InternetGetConnectedState(&flags, 0))
        return kNoRouter;
    if (flags & INTERNET_CONNECTION_MODEM)
        return kNoFirewall;
    if (!privateAddressTest())
        return kNoFirewall;
    if (m_controlUrl.empty() && !IsFound()) {
        m_lastError = L"Can not found a UPnP Router";
        return kNoRouter;
    }
    if (mapping.externalPort == 0)
        mapping.externalPort = mapping.internalPort;
    if (m_localAddressText.empty())
        GetLocalAddress();
    if (!AddPortMappingAction(mapping.externalPort, mapping.internalPort, m_localAddressText,
                              kRouterDescription, protocolText(mapping.protocol))) {
        m_lastError = L"External NAT port in use";
        return kPortInUse;
    }
    GetExternalAddress();
    m_mappings.push_back(mapping);
    return kOk;
}

int MyUPnP::DeleteMapping(UPNPNAT_MAPPING mapping, bool removeFromList) {
    std::lock_guard lock(mutex_);
    return deleteMapping(mapping, removeFromList);
}

int MyUPnP::deleteMapping(const UPNPNAT_MAPPING& mapping, bool removeFromList) {
    if (!privateAddressTest())
        return kNoFirewall;
    if (m_controlUrl.empty() && !IsFound()) {
        m_lastError = L"Can not found a UPnP Router";
        return kNoRouter;
    }
    const auto owned = std::find_if(m_mappings.begin(), m_mappings.end(), [&](const UPNPNAT_MAPPING& m) {
        return m.externalPort == mapping.externalPort && (m.protocol == 0) == (mapping.protocol == 0);
    });
    if (owned == m_mappings.end()) {
        m_lastError = L"Port mapping not owned by this class";
        return kNotOwned;
    }
    if (!DeletePortMappingAction(owned->externalPort, protocolText(owned->protocol))) {
        m_lastError = L"Error getting StaticPortMappingCollection";
        return kNoRouter;
    }
    if (removeFromList)
        m_mappings.erase(owned);
    return kOk;
}

void MyUPnP::Shutdown(DWORD limitMs) {
    std::lock_guard lock(mutex_);
    deadline_ = platform::DeadlineAfter(limitMs);
    for (const UPNPNAT_MAPPING& mapping : std::vector<UPNPNAT_MAPPING>(m_mappings))
        deleteMapping(mapping, false);
    m_mappings.clear();
    deadline_ = platform::Duration::max();
}

void MyUPnP::ResetSearch() {
    std::lock_guard lock(mutex_);
    m_controlUrl.clear();
    m_searched = false;
    m_localAddress = 0;
    m_localAddressText.clear();
    m_externalAddress = 0;
    m_externalQuery = 0;
}

bool MyUPnP::exchange(const std::string& host, std::uint16_t port, const std::string& request,
                      std::string& answer) {
    return upnp::HttpExchange(host, port, request, answer, deadline_);
}

DWORD MyUPnP::ExternalAddress() const {
    std::lock_guard lock(mutex_);
    return m_externalAddress;
}

std::wstring MyUPnP::LastError() const {
    std::lock_guard lock(mutex_);
    return m_lastError;
}

std::vector<MyUPnP::UPNPNAT_MAPPING> MyUPnP::Mappings() const {
    std::lock_guard lock(mutex_);
    return m_mappings;
}

std::string MyUPnP::ControlUrl() const {
    std::lock_guard lock(mutex_);
    return m_controlUrl;
}

std::string MyUPnP::ServiceType() const {
    std::lock_guard lock(mutex_);
    return m_serviceType;
}

std::wstring MyUPnP::FriendlyName() const {
    std::lock_guard lock(mutex_);
    return m_friendlyName;
}

std::wstring MyUPnP::ModelName() const {
    std::lock_guard lock(mutex_);
    return m_modelName;
}
