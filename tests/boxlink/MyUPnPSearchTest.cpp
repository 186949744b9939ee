// Finding the router: the SSDP search and the description, against the fake gateway's variants.
#include "tests/boxlink/UpnpRig.h"
#include "tests/support/ScaledTime.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using fakes::FakeGateway;
using Answer = FakeGateway::SsdpAnswer;

const std::string kWanIp = "urn:schemas-upnp-org:service:WANIPConnection:1";
const std::string kWanPpp = "urn:schemas-upnp-org:service:WANPPPConnection:1";

std::string searchText(const std::string& target) {
    const platform::NetEnvironment defaults;
    return "M-SEARCH * HTTP/1.1\r\nHOST: " + defaults.ssdpMulticast + ":" +
           std::to_string(defaults.ssdpPort) + "\r\nMAN: \"ssdp:discover\"\r\nMX: 6\r\nST: " + target +
           "\r\n\r\n";
}

class UpnpSearchTest : public ScaledTime {
protected:
    UpnpSearchTest() : ScaledTime(10.0) {}
};

// The broadcast, the group and the gateway each get the request twice for the first target; a gateway
// that offers only the second service is found with it after the first target's window.
TEST_F(UpnpSearchTest, SearchesEachDestinationTwicePerTarget) {
    FakeGateway::Options options;
    options.service = FakeGateway::Service::WanPpp;
    options.ssdpAddresses = {"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    UpnpRig rig(options);
    ASSERT_EQ(rig.map(5100), MyUPnP::kOk);
    EXPECT_EQ(rig.upnp.ServiceType(), kWanPpp);
    EXPECT_EQ(rig.upnp.ControlUrl(), rig.gateway.ExpectedControlUrl());

    const auto searches = rig.gateway.Searches();
    ASSERT_GE(searches.size(), 7u);
    std::map<std::string, int> wanIp, wanPpp;
    for (std::size_t i = 0; i < searches.size(); ++i) {
        const bool first = i < 6;
        EXPECT_EQ(searches[i].text, searchText(first ? kWanIp : kWanPpp)) << i;
        ++(first ? wanIp : wanPpp)[searches[i].destination];
    }
    EXPECT_EQ(wanIp, (std::map<std::string, int>{{"127.0.0.1", 2}, {"127.0.0.2", 2}, {"127.0.0.3", 2}}));
    EXPECT_EQ(wanPpp.size(), 3u);
    const auto add = rig.gateway.Requests("AddPortMapping");
    ASSERT_EQ(add.size(), 1u);
    EXPECT_EQ(add[0].nameSpace, kWanPpp);
}

TEST_F(UpnpSearchTest, NoUsableAnswerMeansNoRouterAfterBothWindows) {
    for (const std::vector<Answer>& answers :
         {std::vector<Answer>{}, std::vector<Answer>{Answer::ErrorStatus, Answer::NoLocation}}) {
        FakeGateway::Options options;
        options.ssdpAnswers = answers;
        UpnpRig rig(options);
        const DWORD start = GetTickCount();
        EXPECT_EQ(rig.map(5100), MyUPnP::kNoRouter);
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed, 8000u);
        EXPECT_LT(elapsed, 16000u);
        EXPECT_EQ(rig.upnp.LastError(), L"Can not found a UPnP Router");
        EXPECT_TRUE(rig.upnp.ControlUrl().empty());

        // The outcome is kept until the search is reset.
        const std::size_t searched = rig.gateway.Searches().size();
        EXPECT_EQ(rig.map(5200), MyUPnP::kNoRouter);
        EXPECT_EQ(rig.gateway.Searches().size(), searched);
        rig.upnp.ResetSearch();
        EXPECT_EQ(rig.map(5200), MyUPnP::kNoRouter);
        EXPECT_GT(rig.gateway.Searches().size(), searched);
    }
}

// Answers that can't be used (error status, another target, no location, a location that fails) are read
// past within the window; each location is fetched once although every search is answered again.
TEST(UpnpSearch, TakesTheFirstUsableAnswer) {
    FakeGateway::Options options;
    options.ssdpAnswers = {Answer::ErrorStatus, Answer::OtherTarget, Answer::NoLocation, Answer::BadLocation,
                           Answer::Good};
    UpnpRig rig(options);
    ASSERT_EQ(rig.map(5100), MyUPnP::kOk);
    EXPECT_EQ(rig.upnp.ServiceType(), kWanIp);
    std::vector<std::string> gets;
    for (const auto& r : rig.gateway.Requests())
        if (r.method == "GET")
            gets.push_back(r.path);
    EXPECT_EQ(gets, (std::vector<std::string>{"/missing.xml", "/rootDesc.xml"}));
}

// The ways a description names the control URL, and the ways it arrives.
TEST(UpnpSearch, DescriptionVariantsGiveTheControlUrl) {
    using Url = FakeGateway::ControlUrl;
    using Framing = FakeGateway::Framing;
    struct Case {
        const char* name;
        bool urlBase;
        Url controlUrl;
        Framing framing;
        std::size_t padding;
        std::size_t pieceSize;
        int pieceDelayMs;
    };
    const Case cases[] = {
        {"URLBase, rooted", true, Url::Rooted, Framing::ContentLength, 0, 0, 0},
        {"URLBase, relative", true, Url::Relative, Framing::ContentLength, 0, 0, 0},
        {"URLBase, absolute", true, Url::Absolute, Framing::ContentLength, 0, 0, 0},
        {"no URLBase, rooted", false, Url::Rooted, Framing::ContentLength, 0, 0, 0},
        {"no URLBase, relative", false, Url::Relative, Framing::ContentLength, 0, 0, 0},
        {"no URLBase, absolute", false, Url::Absolute, Framing::Chunked, 0, 0, 0},
        {"over 10 KB, chunked", true, Url::Rooted, Framing::Chunked, 12000, 0, 0},
        {"over 10 KB, in pieces over most of a second", true, Url::Rooted, Framing::ContentLength, 12000,
         4000, 250},
        {"ended by the close, in small pieces", false, Url::Rooted, Framing::Close, 0, 100, 2},
    };
    for (const Case& c : cases) {
        FakeGateway::Options options;
        options.urlBase = c.urlBase;
        options.controlUrl = c.controlUrl;
        options.framing = c.framing;
        options.descriptionPadding = c.padding;
        options.pieceSize = c.pieceSize;
        options.pieceDelayMs = c.pieceDelayMs;
        UpnpRig rig(options);
        ASSERT_EQ(rig.map(5100), MyUPnP::kOk) << c.name;
        EXPECT_EQ(rig.upnp.ControlUrl(), rig.gateway.ExpectedControlUrl()) << c.name;
        EXPECT_EQ(rig.upnp.FriendlyName(), L"Fake Gateway") << c.name;
        EXPECT_EQ(rig.upnp.ModelName(), L"FG-1") << c.name;
        const auto add = rig.gateway.Requests("AddPortMapping");
        ASSERT_EQ(add.size(), 1u) << c.name;
        EXPECT_EQ(add[0].port, c.urlBase || c.controlUrl == Url::Absolute ? rig.gateway.ControlPort()
                                                                          : rig.gateway.DescriptionPort())
            << c.name;
        EXPECT_EQ(rig.gateway.Mappings(), (std::set<std::pair<int, std::string>>{{5100, "TCP"}})) << c.name;
    }
}

} // namespace
