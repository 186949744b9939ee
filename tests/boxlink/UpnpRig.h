// A gateway client with its own fake gateway on loopback and the environment that points it there.
#pragma once

#include "boxlink/upnp/MyUPnP.h"
#include "platform/net/Winsock.h"
#include "tests/support/fakes/FakeGateway.h"

#include <string>
#include <vector>

struct WinsockStarted {
    WinsockStarted() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

struct UpnpRig : WinsockStarted {
    explicit UpnpRig(fakes::FakeGateway::Options options = {},
                     const std::string& localAddress = "192.168.1.20")
        : gateway(std::move(options)), environment(gateway.Environment(localAddress)) {}

    int map(WORD internalPort, DWORD protocol = 0, WORD externalPort = 0) {
        MyUPnP::UPNPNAT_MAPPING m{internalPort, externalPort, protocol, L"test"};
        return upnp.AddMapping(m);
    }
    int unmap(WORD externalPort, DWORD protocol, bool removeFromList) {
        return upnp.DeleteMapping(MyUPnP::UPNPNAT_MAPPING{externalPort, externalPort, protocol, L""},
                                  removeFromList);
    }
    // "POST AddPortMapping", "M-POST QueryStateVariable", ...: the SOAP requests in the order received.
    std::vector<std::string> calls() const {
        std::vector<std::string> out;
        for (const auto& r : gateway.Requests())
            if (!r.action.empty())
                out.push_back(r.method + " " + r.action);
        return out;
    }

    fakes::FakeGateway gateway;
    platform::ScopedNetEnvironment environment;
    MyUPnP upnp;
};
