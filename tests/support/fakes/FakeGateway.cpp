#include "tests/support/fakes/FakeGateway.h"

#include "tests/support/fakes/Loopback.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace fakes {
namespace {

const std::string kUrn = "urn:schemas-upnp-org:";
const std::string kEnvelopeOpen = "<?xml version=\"1.0\"?>\r\n<s:Envelope "
                                  "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                                  "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
const std::string kEnvelopeClose = "</s:Body></s:Envelope>\r\n";

sockaddr_in loopback(const std::string& address, std::uint16_t port) {
    return loopbackAddress(address, port, "fake gateway");
}

int bound(int type, const std::string& address, std::uint16_t port) {
    const int s = ::socket(AF_INET, type, 0);
    const sockaddr_in a = loopback(address, port);
    if (s < 0 || ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        if (s >= 0)
            ::close(s);
        return -1;
    }
    return s;
}

int listener() {
    const int s = bound(SOCK_STREAM, "127.0.0.1", 0);
    if (s < 0 || ::listen(s, 16) != 0)
        throw std::runtime_error("fake gateway: cannot listen");
    return s;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string header(const std::string& head, const std::string& name) {
    std::size_t at = 0;
    while ((at = head.find('\n', at)) != std::string::npos) {
        ++at;
        const std::size_t end = head.find('\n', at);
        const std::string line = head.substr(at, end == std::string::npos ? end : end - at);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && lower(line.substr(0, colon)) == name) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            value.erase(value.find_last_not_of(" \r") + 1);
            return value;
        }
    }
    return {};
}

std::string between(const std::string& text, const std::string& open, const std::string& close) {
    const std::size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find(close, start + open.size());
    return end == std::string::npos ? std::string()
                                    : text.substr(start + open.size(), end - start - open.size());
}

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string fault(int code, const std::string& description) {
    return kEnvelopeOpen +
           "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail><UPnPError "
           "xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
           std::to_string(code) + "</errorCode><errorDescription>" + description +
           "</errorDescription></UPnPError></detail></s:Fault>" + kEnvelopeClose;
}

} // namespace

struct FakeGateway::Connection {
    int socket = -1;
    std::uint16_t port = 0;
    std::string input;
    bool hung = false;
};

std::string FakeGateway::Request::argument(std::string_view name) const {
    const std::string n(name);
    return between(body, "<" + n + ">", "</" + n + ">");
}

FakeGateway::FakeGateway() : FakeGateway(Options{}) {}

FakeGateway::FakeGateway(Options options) : options_(std::move(options)) {
    for (int attempt = 0; attempt < 20 && ssdpSockets_.size() != options_.ssdpAddresses.size(); ++attempt) {
        for (auto& [s, address] : ssdpSockets_)
            ::close(s);
        ssdpSockets_.clear();
        std::uint16_t port = 0;
        for (const std::string& address : options_.ssdpAddresses) {
            const int s = bound(SOCK_DGRAM, address, port);
            if (s < 0)
                break;
            port = boundPort(s);
            ssdpSockets_.emplace_back(s, address);
        }
        ssdpPort_ = port;
    }
    if (ssdpSockets_.size() != options_.ssdpAddresses.size())
        throw std::runtime_error("fake gateway: cannot bind its SSDP port");
    descriptionListener_ = listener();
    controlListener_ = listener();
    descriptionPort_ = boundPort(descriptionListener_);
    controlPort_ = boundPort(controlListener_);
    if (::pipe(wake_) != 0)
        throw std::runtime_error("fake gateway: no pipe");
    thread_ = std::thread([this] { run(); });
}

FakeGateway::~FakeGateway() {
    stop_ = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    thread_.join();
    for (auto& c : connections_)
        ::close(c->socket);
    for (auto& [s, address] : ssdpSockets_)
        ::close(s);
    ::close(descriptionListener_);
    ::close(controlListener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

platform::NetEnvironment FakeGateway::Environment(const std::string& localAddress) const {
    platform::NetEnvironment env = platform::LoopbackNetEnvironment();
    const std::vector<std::string>& a = options_.ssdpAddresses;
    auto pick = [&a](std::size_t i) { return a[std::min(i, a.size() - 1)]; };
    env.directedBroadcast = pick(0);
    env.ssdpMulticast = pick(1);
    env.gateway = pick(2);
    env.ssdpPort = ssdpPort_;
    env.localAddress = localAddress;
    return env;
}

std::string FakeGateway::ServiceType() const {
    return kUrn +
           (options_.service == Service::WanIp ? "service:WANIPConnection:1" : "service:WANPPPConnection:1");
}

std::string FakeGateway::ControlPath() const {
    return options_.service == Service::WanIp ? "/ctl/IPConn" : "/ctl/PPPConn";
}

std::string FakeGateway::ExpectedControlUrl() const {
    const bool onControlPort = options_.urlBase || options_.controlUrl == ControlUrl::Absolute;
    return "http://127.0.0.1:" + std::to_string(onControlPort ? controlPort_ : descriptionPort_) +
           ControlPath();
}

std::vector<FakeGateway::Search> FakeGateway::Searches() const {
    std::lock_guard lock(mutex_);
    return searches_;
}

std::vector<FakeGateway::Request> FakeGateway::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<FakeGateway::Request> FakeGateway::Requests(std::string_view action) const {
    std::vector<Request> matching;
    for (Request& r : Requests())
        if (r.action == action)
            matching.push_back(std::move(r));
    return matching;
}

std::set<std::pair<int, std::string>> FakeGateway::Mappings() const {
    std::lock_guard lock(mutex_);
    return mappings_;
}

void FakeGateway::run() {
    while (!stop_) {
        std::vector<pollfd> fds{
            {wake_[0], POLLIN, 0}, {descriptionListener_, POLLIN, 0}, {controlListener_, POLLIN, 0}};
        for (auto& [s, address] : ssdpSockets_)
            fds.push_back({s, POLLIN, 0});
        for (auto& c : connections_)
            fds.push_back({c->socket, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 1000) <= 0)
            continue;
        for (int l : {descriptionListener_, controlListener_}) {
            const auto it = std::find_if(fds.begin(), fds.end(), [l](const pollfd& p) { return p.fd == l; });
            if (it->revents & POLLIN) {
                const int s = ::accept(l, nullptr, nullptr);
                if (s >= 0)
                    connections_.push_back(
                        std::make_unique<Connection>(Connection{s, boundPort(l), {}, false}));
            }
        }
        for (std::size_t i = 0; i < ssdpSockets_.size(); ++i)
            if (fds[3 + i].revents & POLLIN)
                onSearch(ssdpSockets_[i].first, ssdpSockets_[i].second);
        for (std::size_t i = 3 + ssdpSockets_.size(); i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const auto it = std::find_if(connections_.begin(), connections_.end(),
                                         [&](const auto& c) { return c->socket == fds[i].fd; });
            if (it != connections_.end() && !onReadable(**it)) {
                ::close((*it)->socket);
                connections_.erase(it);
            }
        }
    }
}

void FakeGateway::onSearch(int s, const std::string& address) {
    char buffer[4096];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = ::recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n <= 0)
        return;
    const std::string text(buffer, static_cast<std::size_t>(n));
    const std::string target = header(text, "st");
    {
        std::lock_guard lock(mutex_);
        searches_.push_back({address, target, text});
    }
    if (target != ServiceType() || !isLoopback(from))
        return;
    const std::string base = "http://127.0.0.1:" + std::to_string(descriptionPort_);
    for (SsdpAnswer kind : options_.ssdpAnswers) {
        std::string answer = kind == SsdpAnswer::ErrorStatus ? "HTTP/1.1 500 Internal Server Error\r\n"
                                                             : "HTTP/1.1 200 OK\r\n";
        const std::string st =
            kind == SsdpAnswer::OtherTarget ? kUrn + "device:InternetGatewayDevice:1" : target;
        answer += "CACHE-CONTROL: max-age=120\r\nST: " + st + "\r\nUSN: uuid:fake-gateway::" + st +
                  "\r\nEXT:\r\nSERVER: Linux/6 UPnP/1.0 FakeGateway/1.0\r\n";
        if (kind == SsdpAnswer::BadLocation)
            answer += "LOCATION: " + base + "/missing.xml\r\n";
        else if (kind != SsdpAnswer::NoLocation)
            answer += "Location: " + base + "/rootDesc.xml\r\n";
        answer += "\r\n";
        ::sendto(s, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&from), length);
    }
}

// Reads what came and answers every whole request; false when the connection is to be closed.
bool FakeGateway::onReadable(Connection& c) {
    char buffer[16384];
    const ssize_t n = ::recv(c.socket, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    if (c.hung)
        return true;
    c.input.append(buffer, static_cast<std::size_t>(n));
    for (;;) {
        const std::size_t headEnd = c.input.find("\r\n\r\n");
        if (headEnd == std::string::npos)
            return true;
        const std::string head = c.input.substr(0, headEnd + 2);
        const std::size_t length = std::strtoul(header(head, "content-length").c_str(), nullptr, 10);
        if (c.input.size() < headEnd + 4 + length)
            return true;
        Request r;
        r.port = c.port;
        r.text = c.input.substr(0, headEnd + 4 + length);
        r.body = r.text.substr(headEnd + 4);
        c.input.erase(0, r.text.size());
        const std::size_t space = head.find(' ');
        r.method = head.substr(0, space);
        r.path = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
        std::string soapAction = header(head, r.method == "M-POST" ? "01-soapaction" : "soapaction");
        if (soapAction.size() >= 2 && soapAction.front() == '"' && soapAction.back() == '"')
            soapAction = soapAction.substr(1, soapAction.size() - 2);
        const std::size_t hash = soapAction.find('#');
        if (hash != std::string::npos) {
            r.nameSpace = soapAction.substr(0, hash);
            r.action = soapAction.substr(hash + 1);
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(r);
        }
        if (!handle(c, std::move(r)))
            return false;
        if (c.hung)
            return true;
    }
}

bool FakeGateway::handle(Connection& c, Request r) {
    if (r.method == "GET") {
        if (r.path == "/rootDesc.xml")
            answer(c, 200, description());
        else
            answer(c, 404, "");
    } else if ((r.method == "POST" || r.method == "M-POST") && r.path == ControlPath()) {
        const auto scripted = options_.status.find(r.method + " " + r.action);
        if (scripted != options_.status.end()) {
            if (scripted->second == kClose)
                return false;
            if (scripted->second == kHang) {
                c.hung = true;
                return true;
            }
            answer(c, scripted->second, scripted->second == 500 ? fault(501, "ActionFailed") : "");
        } else {
            const auto [status, body] = soap(r);
            answer(c, status, body);
        }
    } else {
        answer(c, 404, "");
    }
    return options_.framing != Framing::Close;
}

std::pair<int, std::string> FakeGateway::soap(const Request& r) {
    const std::string service = ServiceType();
    auto ok = [&](const std::string& inner) {
        return std::pair<int, std::string>(200, kEnvelopeOpen + "<u:" + r.action + "Response xmlns:u=\"" +
                                                    r.nameSpace + "\">" + inner + "</u:" + r.action +
                                                    "Response>" + kEnvelopeClose);
    };
    const std::string invalid = fault(401, "Invalid Action");
    if (r.action == "QueryStateVariable" && r.nameSpace == kUrn + "control-1-0" &&
        r.argument("u:varName") == "ExternalIPAddress")
        return ok("<return>" + options_.externalAddress + "</return>");
    if (r.nameSpace != service)
        return {500, invalid};
    std::lock_guard lock(mutex_);
    const std::pair<int, std::string> key(std::atoi(r.argument("NewExternalPort").c_str()),
                                          r.argument("NewProtocol"));
    if (r.action == "GetExternalIPAddress")
        return ok("<NewExternalIPAddress>" + options_.externalAddress + "</NewExternalIPAddress>");
    if (r.action == "AddPortMapping") {
        if (options_.portsInUse.count(key.first))
            return {500, fault(718, "ConflictInMappingEntry")};
        mappings_.insert(key);
        return ok("");
    }
    if (r.action == "DeletePortMapping") {
        if (!mappings_.erase(key))
            return {500, fault(714, "NoSuchEntryInArray")};
        return ok("");
    }
    return {500, invalid};
}

std::string FakeGateway::description() const {
    const bool ip = options_.service == Service::WanIp;
    std::string control;
    switch (options_.controlUrl) {
    case ControlUrl::Absolute:
        control = "http://127.0.0.1:" + std::to_string(controlPort_) + ControlPath();
        break;
    case ControlUrl::Rooted:
        control = ControlPath();
        break;
    case ControlUrl::Relative:
        control = ControlPath().substr(1);
        break;
    }
    auto service = [](const std::string& type, const std::string& id, const std::string& url) {
        return "<service><serviceType>" + kUrn + "service:" + type +
               ":1</serviceType><serviceId>urn:upnp-org:serviceId:" + id + "</serviceId><controlURL>" + url +
               "</controlURL><eventSubURL>/evt/" + id + "</eventSubURL><SCPDURL>/" + id +
               ".xml</SCPDURL></service>";
    };
    std::string d = "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
                    "<specVersion><major>1</major><minor>0</minor></specVersion>\r\n";
    if (options_.urlBase)
        d += "<URLBase>http://127.0.0.1:" + std::to_string(controlPort_) + "</URLBase>\r\n";
    d += "<device><deviceType>" + kUrn +
         "device:InternetGatewayDevice:1</deviceType>"
         "<friendlyName>Fake Gateway</friendlyName><manufacturer>Veloq tests</manufacturer>"
         "<modelName>FG-1</modelName><serviceList>" +
         service("Layer3Forwarding", "L3Forwarding1", "/ctl/L3F") +
         "</serviceList>\r\n<deviceList><device><deviceType>" + kUrn +
         "device:WANDevice:1</deviceType><serviceList>" +
         service("WANCommonInterfaceConfig", "WANCommonIFC1", "/ctl/CmnIfCfg") + "</serviceList>\r\n";
    if (options_.descriptionPadding > 0)
        d += "<!--" + std::string(options_.descriptionPadding, 'x') + "-->\r\n";
    d += "<deviceList><device><deviceType>" + kUrn +
         "device:WANConnectionDevice:1</deviceType><serviceList>" +
         service(ip ? "WANIPConnection" : "WANPPPConnection", ip ? "WANIPConn1" : "WANPPPConn1", control) +
         "</serviceList></device></deviceList>\r\n</device></deviceList>\r\n</device>\r\n</root>\r\n";
    return d;
}

void FakeGateway::answer(Connection& c, int status, const std::string& body) {
    std::string message = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
                          "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nServer: FakeGateway/1.0\r\n";
    switch (options_.framing) {
    case Framing::ContentLength:
        message += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        break;
    case Framing::Chunked: {
        message += "Transfer-Encoding: chunked\r\n\r\n";
        constexpr std::size_t kChunk = 700;
        for (std::size_t at = 0; at < body.size(); at += kChunk) {
            const std::string chunk = body.substr(at, kChunk);
            char size[16];
            std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
            message += size + chunk + "\r\n";
        }
        message += "0\r\n\r\n";
        break;
    }
    case Framing::Close:
        message += "Connection: close\r\n\r\n" + body;
        break;
    }
    const std::size_t piece = options_.pieceSize > 0 ? options_.pieceSize : message.size();
    for (std::size_t at = 0; at < message.size(); at += piece) {
        if (at > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.pieceDelayMs));
        const std::string part = message.substr(at, piece);
        if (::send(c.socket, part.data(), part.size(), MSG_NOSIGNAL) < 0)
            return;
    }
}

} // namespace fakes
