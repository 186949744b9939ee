// The SOAP actions of the gateway client.
#include "boxlink/upnp/MyUPnP.h"

#include "boxlink/upnp/UpnpText.h"
#include "platform/net/Resolver.h"

namespace {

const std::string kUserAgent = "User-Agent:Microsoft-ATL-Native/7.00";
const std::string kControlNamespace = "urn:schemas-upnp-org:control-1-0";

} // namespace

// POST, and M-POST after a failed exchange (or, with fallbackOnHttpError, after an HTTP error too).
bool MyUPnP::soapCall(const std::string& nameSpace, const std::string& arguments, const std::string& action,
                      bool fallbackOnHttpError, std::string& answer) {
    upnp::HttpUrl url;
    if (m_controlUrl.empty() || !upnp::ParseUrl(m_controlUrl, url))
        return false;
    const std::string body = "<?xml version=\"1.0\"?><s:Envelope\r\n"
                             "    xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"\r\n"
                             "    s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
                             "  <s:Body>\r\n"
                             "    <u:" +
                             action + " xmlns:u=\"" + nameSpace + "\">\r\n" + arguments +
                             "    </u:" + action + ">\r\n  </s:Body>\r\n</s:Envelope>\r\n\r\n";
    const std::string head = " " + url.path + " HTTP/1.1\r\nHOST: " + url.hostPart + "\r\n" + kUserAgent +
                             "\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\n";
    const std::string tail = nameSpace + "#" + action + "\"\r\n\r\n" + body;
    const std::string post = "POST" + head + "SOAPAction: \"" + tail;
    const bool exchanged = exchange(url.host, url.port, post, answer);
    if (exchanged && upnp::IsHttpSuccess(answer))
        return true;
    if (exchanged && !fallbackOnHttpError)
        return false;
    const std::string mpost =
        "M-POST" + head + "MAN: \"http://schemas.xmlsoap.org/soap/envelope/\"; ns=01\r\n01-SOAPAction: \"" +
        tail;
    return exchange(url.host, url.port, mpost, answer) && upnp::IsHttpSuccess(answer);
}

bool MyUPnP::InvokeAction(const std::string& arguments, const std::string& action) {
    std::string answer;
    return soapCall(m_serviceType, arguments, action, true, answer);
}

// Any HTTP success counts; the address is stored only when the answer carries resultTag.
bool MyUPnP::InvokeActionWithResult(const std::string& nameSpace, const std::string& arguments,
                                    const std::string& action, const std::string& resultTag) {
    std::string answer;
    if (!soapCall(nameSpace, arguments, action, false, answer))
        return false;
    if (const auto text = upnp::FindTag(resultTag, answer)) {
        std::uint32_t address = 0;
        m_externalAddress = platform::ParseIpv4(upnp::Trim(*text), address) ? address : 0;
    }
    return true;
}

bool MyUPnP::AddPortMappingAction(WORD externalPort, WORD internalPort, const std::string& client,
                                  const std::string& description, const std::string& protocol) {
    const std::string arguments =
        upnp::MakeElement("NewRemoteHost", "") + upnp::MakeElement("NewExternalPort", externalPort) +
        upnp::MakeElement("NewProtocol", protocol) + upnp::MakeElement("NewInternalPort", internalPort) +
        upnp::MakeElement("NewInternalClient", client) + upnp::MakeElement("NewEnabled", "1") +
        upnp::MakeElement("NewPortMappingDescription", description) +
        upnp::MakeElement("NewLeaseDuration", 0);
    return InvokeAction(arguments, "AddPortMapping");
}

bool MyUPnP::DeletePortMappingAction(WORD externalPort, const std::string& protocol) {
    const std::string arguments = upnp::MakeElement("NewRemoteHost", "") +
                                  upnp::MakeElement("NewExternalPort", externalPort) +
                                  upnp::MakeElement("NewProtocol", protocol);
    return InvokeAction(arguments, "DeletePortMapping");
}

// The state variable first; a router that doesn't answer it is asked with its own action.
void MyUPnP::GetExternalAddress() {
    m_externalQuery = 0;
    if (InvokeActionWithResult(kControlNamespace, upnp::MakeElement("u:varName", "ExternalIPAddress"),
                               "QueryStateVariable", "return"))
        return;
    m_externalQuery = 1;
    InvokeActionWithResult(m_serviceType, "", "GetExternalIPAddress", "NewExternalIPAddress");
}
