// A UPnP Internet Gateway Device on loopback for the tests of the gateway client: it answers SSDP
// searches on one UDP port at one or more 127.0.0.0/8 addresses, serves its device description and SOAP
// control over HTTP on 127.0.0.1, keeps a port-mapping table, and records what it received. Options choose
// the variant: the service it offers, how its description names the control URL, how answers are framed
// and paced, which SSDP answers it sends, and per action and method the HTTP status it answers with.
#pragma once

#include "platform/net/NetEnvironment.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace fakes {

class FakeGateway {
public:
    enum class Service { WanIp, WanPpp };
    // How the description's controlURL is written: "http://127.0.0.1:port/ctl/...", "/ctl/..." or "ctl/...".
    enum class ControlUrl { Absolute, Rooted, Relative };
    // HTTP answers: with Content-Length (connection kept open), chunked (kept open), or ended by the close.
    enum class Framing { ContentLength, Chunked, Close };
    // The datagrams sent for each search of the offered service, in order.
    enum class SsdpAnswer {
        Good,
        ErrorStatus, // "HTTP/1.1 500", otherwise good
        OtherTarget, // the root device's type instead of the service's
        NoLocation,
        BadLocation, // a description path that answers 404
    };
    // Statuses of Options::status with a meaning of their own.
    static constexpr int kClose = 0; // close the connection without an answer
    static constexpr int kHang = -1; // read the request, never answer

    struct Options {
        Service service = Service::WanIp;
        // A URLBase element naming the control listener (written without its trailing slash); without
        // it, relative control URLs resolve against the description's listener.
        bool urlBase = true;
        ControlUrl controlUrl = ControlUrl::Rooted;
        Framing framing = Framing::ContentLength;
        std::size_t descriptionPadding = 0; // comment bytes before the WAN connection service
        std::size_t pieceSize = 0;          // >0: every HTTP answer goes out in pieces of this size
        int pieceDelayMs = 0;               // real milliseconds between pieces
        std::vector<std::string> ssdpAddresses = {"127.0.0.1"};
        std::vector<SsdpAnswer> ssdpAnswers = {SsdpAnswer::Good};
        // "POST AddPortMapping" -> 405, "M-POST QueryStateVariable" -> kClose, ...; absent: the action runs.
        std::map<std::string, int> status;
        std::set<int> portsInUse; // AddPortMapping of these external ports: SOAP fault 718
        std::string externalAddress = "203.0.113.7";
    };

    struct Search {
        std::string destination; // the address it was sent to
        std::string target;      // its ST
        std::string text;
    };
    struct Request {
        std::uint16_t port = 0; // the listener it came to
        std::string method;
        std::string path;
        std::string nameSpace; // SOAP: the part of (01-)SOAPAction before '#'
        std::string action;    // SOAP: the part after it
        std::string body;
        std::string text; // the whole request as received
        std::string argument(std::string_view name) const;
    };

    FakeGateway();
    explicit FakeGateway(Options options);
    ~FakeGateway();
    FakeGateway(const FakeGateway&) = delete;
    FakeGateway& operator=(const FakeGateway&) = delete;

    // The loopback environment with the SSDP destinations (directed broadcast, group, gateway, in this
    // order) at the fake's addresses (the last repeated when there are fewer than three) and its SSDP
    // port, and the given own address of the PC.
    platform::NetEnvironment Environment(const std::string& localAddress) const;

    std::uint16_t SsdpPort() const { return ssdpPort_; }
    std::uint16_t DescriptionPort() const { return descriptionPort_; }
    std::uint16_t ControlPort() const { return controlPort_; }
    std::string ServiceType() const;
    std::string ControlPath() const;
    // The control URL a client should end up with for these options.
    std::string ExpectedControlUrl() const;

    std::vector<Search> Searches() const;
    std::vector<Request> Requests() const;
    std::vector<Request> Requests(std::string_view action) const;
    std::set<std::pair<int, std::string>> Mappings() const; // (external port, "TCP"/"UDP")

private:
    struct Connection;
    void run();
    void onSearch(int socket, const std::string& address);
    bool onReadable(Connection& c);
    bool handle(Connection& c, Request request);
    std::pair<int, std::string> soap(const Request& request);
    std::string description() const;
    void answer(Connection& c, int status, const std::string& body);

    Options options_;
    std::vector<std::pair<int, std::string>> ssdpSockets_;
    int descriptionListener_ = -1;
    int controlListener_ = -1;
    std::uint16_t ssdpPort_ = 0;
    std::uint16_t descriptionPort_ = 0;
    std::uint16_t controlPort_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::vector<std::unique_ptr<Connection>> connections_;
    mutable std::mutex mutex_;
    std::vector<Search> searches_;
    std::vector<Request> requests_;
    std::set<std::pair<int, std::string>> mappings_;
    std::thread thread_;
};

} // namespace fakes
