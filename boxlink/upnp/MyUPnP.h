// The UPnP gateway client: asks the user's router (an Internet Gateway Device with a WANIPConnection or
// WANPPPConnection service) to forward ports to this PC, removes those forwardings again, and learns the
// router's external address. SSDP, HTTP and SOAP are plain text built here; nothing else of the box link
// is used, so the setup wizard builds the same sources.
//
// One instance serves the process (TheUPnP()). It remembers every mapping it made; the exit sequence calls
// Shutdown, which removes what remains from the router within a short limit. The destructor sends nothing.
// Calls are serialised by the instance; each may block for seconds (search, HTTP), so the UI thread never
// calls it.
#pragma once

#include "platform/win32/Clock.h"
#include "platform/win32/Types.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class MyUPnP {
public:
    struct UPNPNAT_MAPPING {
        WORD internalPort = 0;
        WORD externalPort = 0;    // 0: the internal port (AddMapping writes it in)
        DWORD protocol = 0;       // 0 TCP, any other value UDP
        std::wstring description; // kept here only: the router is always given "Zomtra"
    };

    // Results of AddMapping and DeleteMapping.
    static constexpr int kOk = 0;
    static constexpr int kNoRouter =
        1; // no connection state, no router found, or the router refused a delete
    static constexpr int kNotOwned = 2;   // DeleteMapping of a mapping this instance did not make
    static constexpr int kPortInUse = 3;  // the router refused the mapping
    static constexpr int kNoFirewall = 4; // a modem connection, or this PC has a public address

    MyUPnP();
    ~MyUPnP();
    MyUPnP(const MyUPnP&) = delete;
    MyUPnP& operator=(const MyUPnP&) = delete;

    // Maps the record's ports (the external port is filled in when 0) and remembers the mapping; on success
    // the router's external address is asked for (ExternalAddress).
    int AddMapping(UPNPNAT_MAPPING& mapping);
    // Deletes the remembered mapping with the same external port and protocol; removeFromList drops it from
    // the remembered list.
    int DeleteMapping(UPNPNAT_MAPPING mapping, bool removeFromList);
    // At exit: deletes every remembered mapping from the router, all of it within limitMs of the scaled
    // clock, then forgets them.
    void Shutdown(DWORD limitMs);
    // Forgets the router and the addresses, so that the next mapping searches afresh.
    void ResetSearch();

    DWORD ExternalAddress() const; // network byte order; 0 when unknown
    std::wstring LastError() const;
    std::vector<UPNPNAT_MAPPING> Mappings() const;
    std::string ControlUrl() const;
    std::string ServiceType() const;
    std::wstring FriendlyName() const;
    std::wstring ModelName() const;

private:
    bool IsFound();
    bool Discover();
    bool usableAnswer(const std::string& answer, std::vector<std::string>& triedLocations);
    bool GetDescription();
    bool InvokeAction(const std::string& arguments, const std::string& action);
    bool InvokeActionWithResult(const std::string& nameSpace, const std::string& arguments,
                                const std::string& action, const std::string& resultTag);
    bool soapCall(const std::string& nameSpace, const std::string& arguments, const std::string& action,
                  bool fallbackOnHttpError, std::string& answer);
    bool AddPortMappingAction(WORD externalPort, WORD internalPort, const std::string& client,
                              const std::string& description, const std::string& protocol);
    bool DeletePortMappingAction(WORD externalPort, const std::string& protocol);
    void GetExternalAddress();
    void GetLocalAddress();
    bool privateAddressTest();
    int deleteMapping(const UPNPNAT_MAPPING& mapping, bool removeFromList);
    bool exchange(const std::string& host, std::uint16_t port, const std::string& request,
                  std::string& answer);

    mutable std::mutex mutex_;
    std::string m_serviceType;
    std::string m_location;
    std::string m_urlBase;
    std::string m_controlUrl; // empty: no router known
    std::wstring m_friendlyName;
    std::wstring m_modelName;
    std::vector<UPNPNAT_MAPPING> m_mappings;
    std::string m_localAddressText;
    std::wstring m_lastError;
    std::uint32_t m_localAddress = 0;    // network byte order
    std::uint32_t m_externalAddress = 0; // network byte order
    int m_externalQuery = 0;             // 0 QueryStateVariable, 1 GetExternalIPAddress
    bool m_searched = false;
    platform::Duration deadline_ = platform::Duration::max(); // Shutdown's limit
};

// The process's one gateway client.
MyUPnP& TheUPnP();
