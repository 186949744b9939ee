// Mapping, unmapping and the external address, against the fake gateway.
#include "tests/boxlink/UpnpRig.h"

#include "platform/net/Resolver.h"
#include "tests/support/ScaledTime.h"

#include <gtest/gtest.h>

namespace {

using fakes::FakeGateway;
using Calls = std::vector<std::string>;
using Table = std::set<std::pair<int, std::string>>;

const std::string kWanIp = "urn:schemas-upnp-org:service:WANIPConnection:1";

// The fake answers at once; the client's own pauses and limits run on the faster clock.
class UpnpMapping : public ScaledTime {
protected:
    UpnpMapping() : ScaledTime(5.0) {}
};

std::string body(const std::string& action, const std::string& nameSpace, const std::string& arguments) {
    return "<?xml version=\"1.0\"?><s:Envelope\r\n    "
           "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"\r\n"
           "    s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n  <s:Body>\r\n    <u:" +
           action + " xmlns:u=\"" + nameSpace + "\">\r\n" + arguments + "    </u:" + action +
           ">\r\n  </s:Body>\r\n</s:Envelope>\r\n\r\n";
}

// The requests byte for byte: the description, the mapping (external port 0 becomes the internal port)
// and the state-variable query, which answers the external address.
TEST_F(UpnpMapping, RequestsAreTheSystemsTexts) {
    UpnpRig rig;
    MyUPnP::UPNPNAT_MAPPING m{5100, 0, 0, L"TCP Port"};
    ASSERT_EQ(rig.upnp.AddMapping(m), MyUPnP::kOk);
    EXPECT_EQ(m.externalPort, 5100);
    ASSERT_EQ(rig.upnp.Mappings().size(), 1u);
    EXPECT_EQ(rig.upnp.Mappings()[0].externalPort, 5100);
    EXPECT_EQ(rig.upnp.Mappings()[0].description, L"TCP Port");
    EXPECT_EQ(platform::Ipv4Text(rig.upnp.ExternalAddress()), "203.0.113.7");

    const auto requests = rig.gateway.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::string dp = "127.0.0.1:" + std::to_string(rig.gateway.DescriptionPort());
    const std::string cp = "127.0.0.1:" + std::to_string(rig.gateway.ControlPort());
    EXPECT_EQ(requests[0].text,
              "GET /rootDesc.xml HTTP/1.1\r\nHOST: " + dp +
                  "\r\nUser-Agent:Microsoft-ATL-Native/7.00\r\nACCEPT-LANGUAGE: en\r\n\r\n");
    const std::string add = body(
        "AddPortMapping", kWanIp,
        "<NewRemoteHost></NewRemoteHost><NewExternalPort>5100</NewExternalPort><NewProtocol>TCP</NewProtocol>"
        "<NewInternalPort>5100</NewInternalPort><NewInternalClient>192.168.1.20</NewInternalClient>"
        "<NewEnabled>1</NewEnabled><NewPortMappingDescription>Zomtra</NewPortMappingDescription>"
        "<NewLeaseDuration>0</NewLeaseDuration>");
    EXPECT_EQ(requests[1].text, "POST /ctl/IPConn HTTP/1.1\r\nHOST: " + cp +
                                    "\r\nUser-Agent:Microsoft-ATL-Native/7.00\r\nContent-Length: " +
                                    std::to_string(add.size()) +
                                    "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"" +
                                    kWanIp + "#AddPortMapping\"\r\n\r\n" + add);
    const std::string control = "urn:schemas-upnp-org:control-1-0";
    EXPECT_EQ(requests[2].nameSpace, control);
    EXPECT_EQ(requests[2].body,
              body("QueryStateVariable", control, "<u:varName>ExternalIPAddress</u:varName>"));
}

// POST first; M-POST after an HTTP error or a failed exchange; the mapping fails when both fail.
TEST_F(UpnpMapping, FallsBackToMPost) {
    struct Case {
        const char* name;
        std::map<std::string, int> status;
        std::set<int> portsInUse;
        int result;
        Calls calls;
    };
    const Case cases[] = {
        {"accepted", {}, {}, MyUPnP::kOk, {"POST AddPortMapping"}},
        {"405 to POST",
         {{"POST AddPortMapping", 405}},
         {},
         MyUPnP::kOk,
         {"POST AddPortMapping", "M-POST AddPortMapping"}},
        {"POST exchange fails",
         {{"POST AddPortMapping", FakeGateway::kClose}},
         {},
         MyUPnP::kOk,
         {"POST AddPortMapping", "M-POST AddPortMapping"}},
        {"fault to both", {}, {5100}, MyUPnP::kPortInUse, {"POST AddPortMapping", "M-POST AddPortMapping"}},
        {"405 to both",
         {{"POST AddPortMapping", 405}, {"M-POST AddPortMapping", 405}},
         {},
         MyUPnP::kPortInUse,
         {"POST AddPortMapping", "M-POST AddPortMapping"}},
    };
    for (const Case& c : cases) {
        FakeGateway::Options options;
        options.status = c.status;
        options.portsInUse = c.portsInUse;
        UpnpRig rig(options);
        EXPECT_EQ(rig.map(5100), c.result) << c.name;
        Calls calls = rig.calls();
        std::erase_if(calls,
                      [](const std::string& s) { return s.find("AddPortMapping") == std::string::npos; });
        EXPECT_EQ(calls, c.calls) << c.name;
        if (c.result == MyUPnP::kOk) {
            EXPECT_EQ(rig.gateway.Mappings(), (Table{{5100, "TCP"}})) << c.name;
            continue;
        }
        EXPECT_EQ(rig.upnp.LastError(), L"External NAT port in use") << c.name;
        EXPECT_TRUE(rig.upnp.Mappings().empty()) << c.name;
    }

    FakeGateway::Options options;
    options.status = {{"POST AddPortMapping", 405}};
    UpnpRig rig(options);
    ASSERT_EQ(rig.map(5100), MyUPnP::kOk);
    const auto mpost = rig.gateway.Requests("AddPortMapping").at(1);
    const std::string head = mpost.text.substr(0, mpost.text.find("\r\n\r\n") + 4);
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "M-POST /ctl/IPConn HTTP/1.1");
    EXPECT_NE(head.find("\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nMAN: "
                        "\"http://schemas.xmlsoap.org/soap/envelope/\"; ns=01\r\n01-SOAPAction: \"" +
                        kWanIp + "#AddPortMapping\"\r\n\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(mpost.body, rig.gateway.Requests("AddPortMapping").at(0).body);
}

// The state variable first; the gateway's own action when that fails; M-POST only after a failed exchange.
TEST_F(UpnpMapping, ExternalAddressQueries) {
    const int close = FakeGateway::kClose;
    struct Case {
        std::map<std::string, int> status;
        const char* address;
        Calls calls;
    };
    const Case cases[] = {
        {{}, "203.0.113.7", {"POST QueryStateVariable"}},
        {{{"POST QueryStateVariable", 500}},
         "203.0.113.7",
         {"POST QueryStateVariable", "POST GetExternalIPAddress"}},
        {{{"POST QueryStateVariable", close}},
         "203.0.113.7",
         {"POST QueryStateVariable", "M-POST QueryStateVariable"}},
        {{{"POST QueryStateVariable", 500}, {"POST GetExternalIPAddress", close}},
         "203.0.113.7",
         {"POST QueryStateVariable", "POST GetExternalIPAddress", "M-POST GetExternalIPAddress"}},
        {{{"POST QueryStateVariable", 500}, {"POST GetExternalIPAddress", 500}},
         "0.0.0.0",
         {"POST QueryStateVariable", "POST GetExternalIPAddress"}},
    };
    for (const Case& c : cases) {
        FakeGateway::Options options;
        options.status = c.status;
        UpnpRig rig(options);
        EXPECT_EQ(rig.map(5100), MyUPnP::kOk);
        Calls calls = rig.calls();
        calls.erase(calls.begin()); // the mapping itself
        EXPECT_EQ(calls, c.calls) << c.address;
        EXPECT_EQ(platform::Ipv4Text(rig.upnp.ExternalAddress()), c.address);
        for (const auto& r : rig.gateway.Requests("GetExternalIPAddress")) {
            EXPECT_EQ(r.nameSpace, kWanIp);
            EXPECT_EQ(r.body, body("GetExternalIPAddress", kWanIp, ""));
        }
    }
}

// Only a PC with a private address is mapped; an unknown address (0) is let through. The addresses are the
// PC's own as the environment gives it, only classified and written into the request body: every request
// goes to the fake gateway on 127.0.0.1.
TEST_F(UpnpMapping, PrivateAddressTest) {
    struct Case {
        const char* own;
        bool passes;
        const char* client;
    };
    const Case cases[] = {
        {"10.1.2.3", true, "10.1.2.3"},     {"172.15.0.9", false, ""},
        {"172.16.0.9", true, "172.16.0.9"}, {"172.31.255.9", true, "172.31.255.9"},
        {"172.32.0.9", false, ""},          {"192.168.7.9", true, "192.168.7.9"},
        {"192.169.0.9", false, ""},         {"127.0.0.1", false, ""},
        {"203.0.113.9", false, ""},         {"no address", true, ""},
    };
    for (const Case& c : cases) {
        UpnpRig rig({}, c.own);
        if (!c.passes) {
            EXPECT_EQ(rig.map(5100), MyUPnP::kNoFirewall) << c.own;
            EXPECT_EQ(rig.upnp.LastError(), L"You aren't behind a Hardware Firewall or Router") << c.own;
            EXPECT_EQ(rig.unmap(5100, 0, true), MyUPnP::kNoFirewall) << c.own;
            EXPECT_TRUE(rig.gateway.Searches().empty()) << c.own;
            continue;
        }
        EXPECT_EQ(rig.map(5100), MyUPnP::kOk) << c.own;
        EXPECT_EQ(rig.gateway.Requests("AddPortMapping").at(0).argument("NewInternalClient"), c.client);
    }
}

TEST_F(UpnpMapping, NoConnectionStateSendsNothing) {
    UpnpRig rig;
    platform::NetEnvironment offline = platform::GetNetEnvironment();
    offline.connected = false;
    platform::ScopedNetEnvironment scoped(offline);
    EXPECT_EQ(rig.map(5100), MyUPnP::kNoRouter);
    EXPECT_TRUE(rig.gateway.Searches().empty());
}

// Only mappings this instance made are deleted, matched by external port and protocol.
TEST_F(UpnpMapping, DeletesOnlyItsOwnMappings) {
    UpnpRig rig;
    ASSERT_EQ(rig.map(5100, 0), MyUPnP::kOk);
    ASSERT_EQ(rig.map(5200, 1), MyUPnP::kOk);
    EXPECT_EQ(rig.gateway.Mappings(), (Table{{5100, "TCP"}, {5200, "UDP"}}));

    EXPECT_EQ(rig.unmap(5100, 1, true), MyUPnP::kNotOwned);
    EXPECT_EQ(rig.unmap(5300, 0, true), MyUPnP::kNotOwned);
    EXPECT_EQ(rig.upnp.LastError(), L"Port mapping not owned by this class");
    EXPECT_TRUE(rig.gateway.Requests("DeletePortMapping").empty());

    EXPECT_EQ(rig.unmap(5100, 0, true), MyUPnP::kOk);
    EXPECT_EQ(rig.gateway.Mappings(), (Table{{5200, "UDP"}}));
    ASSERT_EQ(rig.upnp.Mappings().size(), 1u);
    EXPECT_EQ(rig.gateway.Requests("DeletePortMapping").at(0).body,
              body("DeletePortMapping", kWanIp,
                   "<NewRemoteHost></NewRemoteHost><NewExternalPort>5100</NewExternalPort>"
                   "<NewProtocol>TCP</NewProtocol>"));

    EXPECT_EQ(rig.unmap(5200, 1, false), MyUPnP::kOk);
    EXPECT_TRUE(rig.gateway.Mappings().empty());
    EXPECT_EQ(rig.upnp.Mappings().size(), 1u);
    // The router no longer has it and refuses.
    EXPECT_EQ(rig.unmap(5200, 1, true), MyUPnP::kNoRouter);
    EXPECT_EQ(rig.upnp.LastError(), L"Error getting StaticPortMappingCollection");
    EXPECT_EQ(rig.upnp.Mappings().size(), 1u);
}

// At exit every remembered mapping is deleted, within the limit even when the router stops answering.
TEST_F(UpnpMapping, ShutdownDeletesWhatRemainsWithinItsLimit) {
    UpnpRig rig;
    ASSERT_EQ(rig.map(5100), MyUPnP::kOk);
    ASSERT_EQ(rig.map(5125), MyUPnP::kOk);
    rig.upnp.Shutdown(3000);
    EXPECT_TRUE(rig.gateway.Mappings().empty());
    EXPECT_TRUE(rig.upnp.Mappings().empty());

    FakeGateway::Options silent;
    silent.status = {{"POST DeletePortMapping", FakeGateway::kHang},
                     {"M-POST DeletePortMapping", FakeGateway::kHang}};
    UpnpRig stuck(silent);
    ASSERT_EQ(stuck.map(5100), MyUPnP::kOk);
    ASSERT_EQ(stuck.map(5125), MyUPnP::kOk);
    const DWORD start = GetTickCount();
    stuck.upnp.Shutdown(1000);
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_TRUE(stuck.upnp.Mappings().empty());
    EXPECT_EQ(stuck.gateway.Requests("DeletePortMapping").size(), 1u);
}

} // namespace
