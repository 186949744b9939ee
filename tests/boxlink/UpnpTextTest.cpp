#include "boxlink/upnp/UpnpText.h"
#include "boxlink/upnp/UpnpHttp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using upnp::HttpAnswerReader;

// Answers as they may arrive from a router, in pieces.
TEST(HttpAnswerReaderTest, FramesAnswersByLengthChunksOrClose) {
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        bool done;
        std::string message;
    };
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const Case cases[] = {
        {"length, cut inside the headers and the body",
         {ok + "Content-Le", "ngth: 5\r\n\r\nhel", "lo"},
         true,
         ok + "Content-Length: 5\r\n\r\nhello"},
        {"length not yet reached",
         {ok + "content-length: 10\r\n\r\nhello"},
         false,
         ok + "content-length: 10\r\n\r\nhello"},
        {"bytes past the length are not part of it",
         {ok + "Content-Length: 2\r\n\r\nokHTTP/1.1 200"},
         true,
         ok + "Content-Length: 2\r\n\r\nok"},
        {"chunked, a tag split across chunks",
         {ok + "Transfer-Encoding: chunked\r\n\r\n5\r\n<cont\r\n", "7;x=1\r\nrolURL>\r\n", "0\r\n\r\n"},
         true,
         ok + "Transfer-Encoding: chunked\r\n\r\n<controlURL>"},
        {"chunked without its last chunk",
         {ok + "Transfer-Encoding: Chunked\r\n\r\n2\r\nab\r\n"},
         false,
         ok + "Transfer-Encoding: Chunked\r\n\r\nab"},
        {"chunk size that is no number",
         {ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\nzz\r\ncd"},
         true,
         ok + "Transfer-Encoding: chunked\r\n\r\nab"},
        {"chunk size beyond any bound",
         {ok + "Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\nab"},
         true,
         ok + "Transfer-Encoding: chunked\r\n\r\n"},
        {"chunk size line that never ends",
         {ok + "Transfer-Encoding: chunked\r\n\r\n" + std::string(300, '1')},
         true,
         ok + "Transfer-Encoding: chunked\r\n\r\n"},
        {"neither: the close ends it",
         {ok + "Server: x\r\n\r\n<a>", "</a>"},
         false,
         ok + "Server: x\r\n\r\n<a></a>"},
        {"no body for 204",
         {"HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n"},
         true,
         "HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n"},
        {"bare line feeds",
         {"HTTP/1.1 200 OK\nContent-Length: 2\n\nok"},
         true,
         "HTTP/1.1 200 OK\nContent-Length: 2\n\nok"},
        {"headers still incomplete", {ok + "Content-Length: 2\r\n"}, false, ok + "Content-Length: 2\r\n"},
    };
    for (const Case& c : cases) {
        HttpAnswerReader reader;
        bool done = false;
        for (const std::string& piece : c.pieces)
            done = reader.Append(piece);
        EXPECT_EQ(done, c.done) << c.name;
        EXPECT_EQ(reader.Message(), c.message) << c.name;
    }
}

TEST(HttpAnswerReaderTest, KeepsAtMostItsBound) {
    for (const std::string head :
         {"HTTP/1.1 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 999999\r\n\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000\r\n"}) {
        HttpAnswerReader reader;
        reader.Append(head);
        const std::string block(4096, 'x');
        int blocks = 0;
        while (!reader.Append(block))
            ASSERT_LT(++blocks, 100) << head;
        EXPECT_LE(reader.Message().size(), upnp::kMaxAnswer) << head;
        EXPECT_GE(blocks, 14) << head;
    }
}

TEST(UpnpTextTest, StatusUrlsAndTags) {
    EXPECT_TRUE(upnp::IsHttpSuccess("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(upnp::IsHttpSuccess("HTTP/1.0  204"));
    EXPECT_FALSE(upnp::IsHttpSuccess("HTTP/1.1 500 Internal Server Error\r\n\r\n200"));
    EXPECT_FALSE(upnp::IsHttpSuccess("HTTP/1.1"));
    EXPECT_FALSE(upnp::IsHttpSuccess(""));

    struct UrlCase {
        const char* url;
        bool ok;
        const char* hostPart;
        const char* host;
        int port;
        const char* path;
    };
    const UrlCase urls[] = {
        {"http://127.0.0.1:4900/rootDesc.xml", true, "127.0.0.1:4900", "127.0.0.1", 4900, "/rootDesc.xml"},
        {"http://127.0.0.1/a/b?c", true, "127.0.0.1", "127.0.0.1", 80, "/a/b?c"},
        {"http://127.0.0.1:81", true, "127.0.0.1:81", "127.0.0.1", 81, "/"},
        {"ctl/IPConn", false, "", "", 0, ""},
        {"http://:80/", false, "", "", 0, ""},
        {"http://127.0.0.1:0/", false, "", "", 0, ""},
        {"http://127.0.0.1:65536/", false, "", "", 0, ""},
        {"http://127.0.0.1:8x/", false, "", "", 0, ""},
    };
    for (const UrlCase& c : urls) {
        upnp::HttpUrl u;
        ASSERT_EQ(upnp::ParseUrl(c.url, u), c.ok) << c.url;
        if (!c.ok)
            continue;
        EXPECT_EQ(u.hostPart, c.hostPart);
        EXPECT_EQ(u.host, c.host);
        EXPECT_EQ(u.port, c.port);
        EXPECT_EQ(u.path, c.path);
    }

    const std::string base = "http://127.0.0.1:5000/";
    EXPECT_EQ(upnp::JoinControlUrl(base, "/ctl/IP"), "http://127.0.0.1:5000/ctl/IP");
    EXPECT_EQ(upnp::JoinControlUrl(base, "ctl/IP"), "http://127.0.0.1:5000/ctl/IP");
    EXPECT_EQ(upnp::JoinControlUrl(base, "http://127.0.0.2:1/c"), "http://127.0.0.2:1/c");
    EXPECT_EQ(upnp::JoinControlUrl(base, ""), "");

    EXPECT_EQ(upnp::MakeElement("NewExternalPort", 5100), "<NewExternalPort>5100</NewExternalPort>");
    EXPECT_EQ(upnp::MakeElement("NewRemoteHost", ""), "<NewRemoteHost></NewRemoteHost>");
    EXPECT_EQ(upnp::ExtractTag("a", "x<a>1</a><a>2</a>"), "1");
    EXPECT_EQ(upnp::ExtractTag("a", "</a><a>1"), "");
    EXPECT_FALSE(upnp::FindTag("return", "<return>1.2.3.4").has_value());
    EXPECT_EQ(upnp::FindTag("return", "<return></return>").value_or("-"), "");
}

TEST(UpnpTextTest, DescriptionGivesTheBaseAndTheWantedServicesControlUrl) {
    const std::string ip = "urn:schemas-upnp-org:service:WANIPConnection:1";
    auto service = [](const std::string& type, const std::string& url) {
        return "<service><serviceType>" + type + "</serviceType><controlURL>" + url +
               "</controlURL></service>";
    };
    const std::string services = service("urn:schemas-upnp-org:service:Layer3Forwarding:1", "/l3f") +
                                 service(ip, " /ctl/ip\r\n") + service("x", "/other");
    struct Case {
        std::string description;
        std::string urlBase;
        std::string controlUrl;
    };
    const Case cases[] = {
        {"<URLBase>http://127.0.0.1:7/</URLBase>" + services, "http://127.0.0.1:7/",
         "http://127.0.0.1:7/ctl/ip"},
        {"<URLBase>http://127.0.0.1:7</URLBase>" + services, "http://127.0.0.1:7/",
         "http://127.0.0.1:7/ctl/ip"},
        {services, "http://127.0.0.1:9/", "http://127.0.0.1:9/ctl/ip"},
        {"<URLBase></URLBase>" + service(ip, ""), "http://127.0.0.1:9/", ""},
        {service("urn:schemas-upnp-org:service:WANPPPConnection:1", "/ppp"), "http://127.0.0.1:9/", ""},
        // The control URL is looked for only inside the wanted service's own block.
        {"<service><serviceType>" + ip + "</serviceType></service>" + service("x", "/x"),
         "http://127.0.0.1:9/", ""},
    };
    for (const Case& c : cases) {
        const upnp::DeviceDescription d = upnp::ReadDescription(
            "HTTP/1.1 200 OK\r\n\r\n<friendlyName>R</friendlyName>" + c.description, ip, "127.0.0.1:9");
        EXPECT_EQ(d.friendlyName, "R");
        EXPECT_EQ(d.urlBase, c.urlBase) << c.description;
        EXPECT_EQ(d.controlUrl, c.controlUrl) << c.description;
    }
}

} // namespace
