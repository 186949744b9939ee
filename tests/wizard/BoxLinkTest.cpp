// The wizard's box link against wizard boxes on loopback: finding the box on the LAN and at its factory
// address with the temporary address through the fake address service, keeping and replacing the
// connection, and the commands' replies (whole, split, short, late, refused, missing) and a box that
// closes the connection.
#include "WizardRig.h"

#include "tests/support/fakes/Loopback.h"
#include "wizard/BoxLink.h"

#include "platform/win32/Text.h"

#include <optional>

namespace {

using testbox::SearchAnswer;
using testbox::WizardBox;
using testbox::WizardReply;

std::string text(const testbox::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

DWORD u32At(const testbox::Frame& frame, std::size_t at) {
    return testbox::Get32(frame.data() + at);
}

class BoxLinkTest : public WizardTest {
protected:
    std::shared_ptr<fakes::FakeAddressService> addresses = MakeAddressService();
};

struct LanWay {
    const char* name;
    bool fromAdapterTable; // the broadcast address from the adapter table's first address, else the LAN's
};

void PrintTo(const LanWay& w, std::ostream* os) {
    *os << w.name;
}

class LanSearchTest : public BoxLinkTest, public ::testing::WithParamInterface<LanWay> {};

TEST_P(LanSearchTest, FindsTheBoxBySenderWithoutATemporaryAddress) {
    // The box hears the probe on one address and answers from its own, as a box on a LAN hears the
    // subnet's broadcast.
    WizardBox box({.address = "127.0.0.2", .searchAddress = "127.0.0.255"});
    platform::NetEnvironment env = WizardEnvironment(box, addresses);
    if (GetParam().fromAdapterTable) {
        env.directedBroadcast.clear();
        env.adapters = std::vector<platform::Adapter>{
            {"lo-test", 1, platform::kAdapterEthernet, {{Ip("127.0.0.9"), Ip("255.255.255.0")}}, 0}};
    } else {
        env.directedBroadcast.clear();
        env.adapters = std::vector<platform::Adapter>{};
        env.lanBroadcast = "127.0.0.255";
    }
    platform::ScopedNetEnvironment scoped(env);

    CBoxLink link;
    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    EXPECT_EQ(link.BoxAddress(), L"127.0.0.2");
    EXPECT_TRUE(addresses->Adds().empty());
    const std::vector<testbox::WizardProbe> probes = box.Probes();
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(text(probes[0].bytes), "QRR100aaaa");
    ASSERT_EQ(box.FramesOf(testbox::kSetupLogin).size(), 1u);

    ASSERT_TRUE(link.SendDhcpMode(NET_MODE_DHCP));
    const std::vector<testbox::WizardFrame> network = box.FramesOf(testbox::kSetNetwork);
    ASSERT_EQ(network.size(), 1u);
    EXPECT_EQ(network[0].connection, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(network[0].bytes.data() + 16)), "QRR100");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(network[0].bytes.data() + 16 + 42)), "secret12");
    EXPECT_EQ(u32At(network[0].bytes, 16 + 76), 2u);
}

INSTANTIATE_TEST_SUITE_P(Ways, LanSearchTest,
                         ::testing::Values(LanWay{"AdapterTable", true}, LanWay{"LanBroadcast", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxLinkTest, ReachesABoxAtItsFactoryAddressFromTheTemporaryAddress) {
    WizardBox box({.address = kFactoryBox});
    platform::NetEnvironment env = WizardEnvironment(box, addresses);
    env.directedBroadcast = "127.0.0.1"; // nobody hears the LAN probe there
    platform::ScopedNetEnvironment scoped(env);

    auto link = std::make_unique<CBoxLink>();
    ASSERT_EQ(link->Login(L"QRR100", L"admin", L"secret12"), 1);
    EXPECT_EQ(link->BoxAddress(), L"127.0.0.100");
    const std::vector<fakes::FakeAddressService::Add> adds = addresses->Adds();
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0].address, Ip(kTemporaryPc));
    EXPECT_EQ(adds[0].mask, Ip("255.255.255.0"));
    EXPECT_EQ(adds[0].index, kBoxAdapterIndex); // the last Ethernet adapter
    const std::vector<testbox::WizardProbe> probes = box.Probes();
    ASSERT_EQ(probes.size(), 1u);
    testbox::Bytes factory(30, 0);
    const std::string probe = "QRR100aaaa";
    std::copy(probe.begin(), probe.end(), factory.begin());
    EXPECT_EQ(probes[0].bytes, factory);
    EXPECT_EQ(probes[0].from, kTemporaryPc);
    ASSERT_EQ(box.FramesOf(testbox::kSetupLogin).size(), 1u);

    // The address stays for the connection, and goes with the link, which says goodbye first.
    ASSERT_TRUE(link->SendDhcpMode(NET_MODE_DHCP));
    EXPECT_TRUE(addresses->Deletes().empty());
    EXPECT_TRUE(addresses->Holds(Ip(kTemporaryPc)));
    link.reset();
    EXPECT_EQ(addresses->Deletes().size(), 1u);
    EXPECT_FALSE(addresses->Holds(Ip(kTemporaryPc)));
    ASSERT_TRUE(WaitReal([&] { return !box.FramesOf(testbox::kSetupClose).empty(); }));
    testbox::Frame close{};
    close[0] = 12;
    testbox::Put32(close.data() + 8, 0xFDFD2002);
    EXPECT_EQ(box.FramesOf(testbox::kSetupClose)[0].bytes, close);
}

struct FactoryCase {
    const char* name;
    std::function<void(fakes::FakeAddressService&, WizardBox&)> arrange;
    int login;
    std::size_t probes;
    std::size_t deletes;
    bool addressLeftAfterwards; // after the link is gone
};

void PrintTo(const FactoryCase& c, std::ostream* os) {
    *os << c.name;
}

class FactorySearchTest : public BoxLinkTest, public ::testing::WithParamInterface<FactoryCase> {};

TEST_P(FactorySearchTest, TemporaryAddressLivesAsLongAsItServes) {
    const FactoryCase& c = GetParam();
    WizardBox box({.address = kFactoryBox});
    platform::NetEnvironment env = WizardEnvironment(box, addresses);
    env.directedBroadcast = "127.0.0.1";
    platform::ScopedNetEnvironment scoped(env);
    c.arrange(*addresses, box);
    {
        CBoxLink link;
        EXPECT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), c.login);
        EXPECT_EQ(box.Probes().size(), c.probes);
        EXPECT_EQ(addresses->Deletes().size(), c.deletes);
    }
    EXPECT_EQ(addresses->Deletes().size(), c.deletes);
    EXPECT_EQ(addresses->Holds(Ip(kTemporaryPc)), c.addressLeftAfterwards);
}

// The address on the box's adapter before the wizard starts, and the add answering that it is there.
std::function<void(fakes::FakeAddressService&, WizardBox&)> alreadyPresent(DWORD answer) {
    return [answer](fakes::FakeAddressService& a, WizardBox&) {
        ULONG context = 0;
        a.MemoryAddressService::AddAddress(Ip(kTemporaryPc), Ip("255.255.255.0"), kBoxAdapterIndex, context);
        a.SetAddResult(answer);
    };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FactorySearchTest,
    ::testing::Values(
        FactoryCase{"NeverListed", [](auto& a, auto&) { a.SetAddressAppears(false); }, -1, 0, 1, false},
        FactoryCase{"SilentBox", [](auto&, auto& b) { b.SetSearchAnswer(SearchAnswer::Silent); }, -1, 2, 1,
                    false},
        FactoryCase{"AnotherBox", [](auto&, auto& b) { b.SetSearchAnswer(SearchAnswer::Other); }, -1, 2, 1,
                    false},
        FactoryCase{"NoRightToAdd", [](auto& a, auto&) { a.SetAddResult(ERROR_ACCESS_DENIED); }, -1, 0, 0,
                    false},
        FactoryCase{"PresentDupDomainName", alreadyPresent(ERROR_DUP_DOMAINNAME), 1, 1, 0, true},
        FactoryCase{"PresentObjectExists", alreadyPresent(ERROR_OBJECT_ALREADY_EXISTS), 1, 1, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxLinkTest, SearchRepliesThatAreNotTheBoxsDoNotMatch) {
    for (const SearchAnswer answer : {SearchAnswer::Other, SearchAnswer::Short}) {
        WizardBox box;
        box.SetSearchAnswer(answer);
        platform::ScopedNetEnvironment scoped(WizardEnvironment(box, addresses));
        CBoxLink link;
        EXPECT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), -1);
        EXPECT_EQ(box.Probes().size(), 2u);
        EXPECT_EQ(box.Connections(), 0);
    }
}

TEST_F(BoxLinkTest, SettingsGoToTheBoxTheyWereTypedFor) {
    WizardBox a({.deviceId = "QRRAAA", .address = "127.0.0.2"});
    WizardBox b({.deviceId = "QRRBBB",
                 .address = "127.0.0.3",
                 .searchPort = a.SearchPort(),
                 .controlPort = a.ControlPort()});
    platform::ScopedNetEnvironment scoped(WizardEnvironment(a, addresses));
    // The LAN's broadcast reaches whichever box the login looks for.
    const auto loginTo = [&](CBoxLink& link, WizardBox& box) {
        platform::SetNetEnvironment(WizardEnvironment(box, addresses));
        return link.Login(platform::FromUtf8(box.DeviceId()), L"admin", L"secret12");
    };
    CBoxLink link;
    ASSERT_EQ(loginTo(link, a), 1);
    ASSERT_EQ(loginTo(link, a), 1); // the same box: its connection is kept
    EXPECT_EQ(a.Connections(), 1);
    ASSERT_EQ(a.FramesOf(testbox::kSetupLogin).size(), 2u);
    EXPECT_EQ(a.FramesOf(testbox::kSetupLogin)[1].connection, 1);

    ASSERT_EQ(loginTo(link, b), 1); // another box: a connection of its own
    EXPECT_EQ(b.Connections(), 1);
    EXPECT_TRUE(WaitReal([&] { return a.OpenConnections() == 0; }));

    ASSERT_EQ(loginTo(link, a), 1); // and back: A again, not B's connection
    EXPECT_EQ(a.Connections(), 2);
    ASSERT_TRUE(link.SendDhcpMode(NET_MODE_DHCP));
    ASSERT_EQ(a.FramesOf(testbox::kSetNetwork).size(), 1u);
    EXPECT_EQ(a.FramesOf(testbox::kSetNetwork)[0].connection, 2);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(a.FramesOf(testbox::kSetNetwork)[0].bytes.data() + 16)),
        "QRRAAA");
    EXPECT_TRUE(b.FramesOf(testbox::kSetNetwork).empty());
}

struct ReplyCase {
    const char* name;
    std::vector<WizardReply> replies;
    bool sent;
    std::size_t frames; // of the command at the box
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandReplyTest : public BoxLinkTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(CommandReplyTest, AWholeReplyWithResultOneWithinTwoAttempts) {
    const ReplyCase& c = GetParam();
    WizardBox box;
    box.Script(testbox::kSetNetwork, c.replies);
    platform::ScopedNetEnvironment scoped(WizardEnvironment(box, addresses));
    CBoxLink link;
    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    EXPECT_EQ(link.SendDhcpMode(NET_MODE_DHCP), c.sent);
    EXPECT_EQ(box.FramesOf(testbox::kSetNetwork).size(), c.frames);
    EXPECT_TRUE(link.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CommandReplyTest,
    ::testing::Values(ReplyCase{"ResultOne", {{}}, true, 1},
                      ReplyCase{"OtherResultTwice", {{.result = 0}}, false, 2},
                      ReplyCase{"OtherResultThenOne", {{.result = 7}, {}}, true, 2},
                      ReplyCase{"SplitAcrossWrites", {{.cuts = {5, 14, 100}, .gapMs = 300}}, true, 1},
                      ReplyCase{"ShortWithResultThenWhole", {{.length = 100}, {}}, true, 2},
                      ReplyCase{"ShortBeforeTheResultWord", {{.length = 14}}, false, 2},
                      ReplyCase{"NoReply", {{.answer = false}}, false, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxLinkTest, ALateReplyIsNeverTakenForTheNextCommand) {
    WizardBox box;
    // Both network replies come after the wait: the first answers the second attempt, the second is
    // still on its way when the command returns.
    box.Script(testbox::kSetNetwork, {{.delayMs = 2500}});
    box.Script(testbox::kSetDdns, {{.answer = false}});
    platform::ScopedNetEnvironment scoped(WizardEnvironment(box, addresses));
    CBoxLink link;
    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    ASSERT_TRUE(link.SendDhcpMode(NET_MODE_DHCP));
    ASSERT_TRUE(WaitReal([&] { return box.WritesDone() == 3; })); // login reply, both network replies
    Sleep(200);
    EXPECT_FALSE(link.SendDdnsSettings(L"mybox.example.net", L"u", L"p", 0, 1));
    EXPECT_EQ(box.FramesOf(testbox::kSetDdns).size(), 2u);
}

TEST_F(BoxLinkTest, AConnectionTheBoxClosedIsNotReused) {
    WizardBox box;
    box.Script(testbox::kSetNetwork, {{.close = true}});
    platform::ScopedNetEnvironment scoped(WizardEnvironment(box, addresses));
    CBoxLink link;
    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    EXPECT_FALSE(link.SendDhcpMode(NET_MODE_DHCP));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(link.SendDdnsSettings(L"", L"", L"", 0, 0)); // nothing to send it on
    EXPECT_TRUE(box.FramesOf(testbox::kSetDdns).empty());

    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    EXPECT_EQ(box.Connections(), 2);
    EXPECT_EQ(box.FramesOf(testbox::kSetupLogin).back().connection, 2);
}

TEST_F(BoxLinkTest, StaticAddressesThatAreNotDottedQuadsAreNeverSent) {
    WizardBox box;
    platform::ScopedNetEnvironment scoped(WizardEnvironment(box, addresses));
    CBoxLink link;
    ASSERT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), 1);
    // Each of them would reach the box as 255.255.255.255 or as a wrong address.
    for (const wchar_t* bad : {L"", L"192.168.1", L"192.168.1.300", L"192.168.1.5x", L"any"}) {
        EXPECT_FALSE(
            link.SendStaticMode(NET_MODE_STATIC, bad, L"255.255.255.0", L"192.168.1.1", L"192.168.1.1"));
        EXPECT_FALSE(
            link.SendStaticMode(NET_MODE_STATIC, L"192.168.1.50", L"255.255.255.0", L"192.168.1.1", bad));
    }
    EXPECT_TRUE(box.FramesOf(testbox::kSetNetwork).empty());

    ASSERT_TRUE(
        link.SendStaticMode(NET_MODE_STATIC, L"192.168.1.50", L"255.255.255.0", L"192.168.1.1", L"8.8.4.4"));
    const std::vector<testbox::WizardFrame> network = box.FramesOf(testbox::kSetNetwork);
    ASSERT_EQ(network.size(), 1u);
    const testbox::Frame& f = network[0].bytes;
    EXPECT_EQ(u32At(f, 16 + 76), 1u);
    EXPECT_EQ(testbox::Bytes(f.begin() + 16 + 144, f.begin() + 16 + 160),
              (testbox::Bytes{192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 1, 8, 8, 4, 4}));
}

// A listener whose queue is full, so that a connect to it is never answered; its port, or nothing when
// this machine's stack answers such connects anyway.
class FullListener {
public:
    FullListener() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 0);
        port_ = fakes::boundPort(listener_);
        a.sin_port = htons(port_);
        for (int i = 0; i < 3; ++i) {
            const SOCKET s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers_.push_back(s);
        }
        const SOCKET probe = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
        full_ = platform::WaitWritable(probe, 300) == 0;
        fillers_.push_back(probe);
    }
    ~FullListener() {
        for (SOCKET s : fillers_)
            closesocket(s);
        closesocket(listener_);
    }
    std::optional<std::uint16_t> Port() const { return full_ ? std::optional(port_) : std::nullopt; }

private:
    SOCKET listener_;
    std::vector<SOCKET> fillers_;
    std::uint16_t port_ = 0;
    bool full_ = false;
};

TEST_F(BoxLinkTest, AConnectThatIsNeverAnsweredEndsTheLogin) {
    WizardBox box;
    const FullListener full;
    if (!full.Port())
        GTEST_SKIP() << "connects to a full listener are answered here";
    platform::NetEnvironment env = WizardEnvironment(box, addresses);
    env.wizardControlPort = *full.Port();
    platform::ScopedNetEnvironment scoped(env);
    CBoxLink link;
    const DWORD start = GetTickCount();
    EXPECT_EQ(link.Login(L"QRR100", L"admin", L"secret12"), -1);
    // Bounded by the link (a few seconds), not by the system's connect time-out of minutes.
    EXPECT_LT(GetTickCount() - start, 60000u);
    EXPECT_FALSE(link.IsConnected());
}

} // namespace
