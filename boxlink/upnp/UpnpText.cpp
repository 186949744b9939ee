#include "boxlink/upnp/UpnpText.h"

#include <charconv>

namespace upnp {

std::string MakeElement(std::string_view name, std::string_view value) {
    std::string element;
    element.reserve(2 * name.size() + value.size() + 5);
    element.append("<").append(name).append(">").append(value).append("</").append(name).append(">");
    return element;
}

std::string MakeElement(std::string_view name, long long value) {
    return MakeElement(name, std::to_string(value));
}

std::optional<std::string> FindTag(std::string_view name, std::string_view text) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = text.find(close, start + open.size());
    if (end == std::string_view::npos)
        return std::nullopt;
    return std::string(text.substr(start + open.size(), end - start - open.size()));
}

std::string ExtractTag(std::string_view name, std::string_view text) {
    return FindTag(name, text).value_or(std::string());
}

bool IsHttpSuccess(std::string_view answer) {
    const std::string_view line = answer.substr(0, answer.find_first_of("\r\n"));
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return false;
    const std::size_t token = line.find_first_not_of(' ', space);
    return token != std::string_view::npos && line[token] == '2';
}

std::string Trim(std::string_view text) {
    constexpr std::string_view space = " \t\r\n";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(space) - first + 1));
}

bool ParseUrl(std::string_view url, HttpUrl& out) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return false;
    const std::string_view rest = url.substr(scheme + 3);
    const std::size_t slash = rest.find('/');
    const std::string_view hostPart = rest.substr(0, slash);
    const std::size_t colon = hostPart.find(':');
    const std::string_view host = hostPart.substr(0, colon);
    unsigned port = 80;
    if (colon != std::string_view::npos) {
        const std::string_view digits = hostPart.substr(colon + 1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535)
            return false;
    }
    if (host.empty())
        return false;
    out.hostPart = std::string(hostPart);
    out.host = std::string(host);
    out.port = static_cast<std::uint16_t>(port);
    out.path = slash == std::string_view::npos ? std::string("/") : std::string(rest.substr(slash));
    return true;
}

std::string JoinControlUrl(std::string_view urlBase, std::string_view controlUrl) {
    if (controlUrl.empty() || controlUrl.find("://") != std::string_view::npos)
        return std::string(controlUrl);
    if (controlUrl.front() == '/')
        controlUrl.remove_prefix(1);
    return std::string(urlBase) + std::string(controlUrl);
}

DeviceDescription ReadDescription(std::string_view answer, std::string_view serviceType,
                                  std::string_view hostPart) {
    DeviceDescription d;
    d.friendlyName = ExtractTag("friendlyName", answer);
    d.modelName = ExtractTag("modelName", answer);
    d.urlBase = Trim(ExtractTag("URLBase", answer));
    if (d.urlBase.empty())
        d.urlBase = "http://" + std::string(hostPart) + "/";
    if (d.urlBase.back() != '/')
        d.urlBase += '/';
    const std::string wanted = "<serviceType>" + std::string(serviceType) + "</serviceType>";
    const std::size_t service = answer.find(wanted);
    if (service == std::string_view::npos)
        return d;
    std::string_view block = answer.substr(service + wanted.size());
    block = block.substr(0, block.find("</service>"));
    d.controlUrl = JoinControlUrl(d.urlBase, Trim(ExtractTag("controlURL", block)));
    return d;
}

} // namespace upnp
