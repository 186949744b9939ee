// A router's HTTP answer, arriving in pieces, then read as a device description and as a SOAP answer.
#include "boxlink/upnp/UpnpHttp.h"
#include "boxlink/upnp/UpnpText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = 1 + data[0] % 97;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    upnp::HttpAnswerReader reader;
    for (std::size_t at = 0; at < input.size() && !reader.Done(); at += piece)
        reader.Append(input.substr(at, piece));
    const std::string answer = reader.Message();
    if (!upnp::IsHttpSuccess(answer))
        return 0;
    for (const char* service : {"urn:schemas-upnp-org:service:WANIPConnection:1",
                                "urn:schemas-upnp-org:service:WANPPPConnection:1"}) {
        const upnp::DeviceDescription d = upnp::ReadDescription(answer, service, "127.0.0.1:80");
        upnp::HttpUrl url;
        upnp::ParseUrl(d.controlUrl, url);
    }
    upnp::FindTag("NewExternalIPAddress", answer);
    return 0;
}
