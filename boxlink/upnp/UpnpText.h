// The small text operations of the gateway client: XML elements, URLs and HTTP status lines, on the bytes
// as they travel (the protocol texts are ASCII; names from a router stay in its bytes until shown).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace upnp {

// "<name>value</name>"; an integer value in decimal.
std::string MakeElement(std::string_view name, std::string_view value);
std::string MakeElement(std::string_view name, long long value);

// The text between "<name>" and the next "</name>" after it; nothing when either tag is missing.
std::optional<std::string> FindTag(std::string_view name, std::string_view text);
// FindTag, with the empty text when a tag is missing.
std::string ExtractTag(std::string_view name, std::string_view text);

// Whether the second space-separated token of the first line starts with '2'.
bool IsHttpSuccess(std::string_view answer);

std::string Trim(std::string_view text);

// "scheme://host[:port]/path": hostPart is "host[:port]" as written (it goes into the HOST header), port
// 80 when absent, path from the first '/' after the host on ("/" when there is none). False without
// "://", with an empty host, or with a port outside 1..65535.
struct HttpUrl {
    std::string hostPart;
    std::string host;
    std::uint16_t port = 80;
    std::string path;
};
bool ParseUrl(std::string_view url, HttpUrl& out);

// The service's control URL as the client calls it: an absolute URL stays, a rooted one ("/ctl") is
// urlBase (which ends in '/') followed by it without its slash, and a relative one follows urlBase.
std::string JoinControlUrl(std::string_view urlBase, std::string_view controlUrl);

// What the client keeps of a device description: the names, the base URL (URLBase, else "http://", the
// description's host part and "/"; always ending in '/') and the joined control URL of the service whose
// serviceType element is exactly serviceType (empty when the description has no such service).
struct DeviceDescription {
    std::string friendlyName;
    std::string modelName;
    std::string urlBase;
    std::string controlUrl;
};
DeviceDescription ReadDescription(std::string_view answer, std::string_view serviceType,
                                  std::string_view hostPart);

} // namespace upnp
