// Login against the test box: each way of finding the box with its states and messages, the relay path's
// hand-over, the box's answers to the login, the stream start, and disconnecting.
#include "BoxRig.h"

#include "tests/support/fakes/TempFolder.h"

#include <cstring>

namespace {

using testbox::Reply;

struct Status {
    UINT message;
    std::wstring text; // WM_BOX_STATUS_TEXT
    WPARAM wParam = 0;
};

std::vector<Status> statusOf(const Recorder& main) {
    std::vector<Status> seen;
    for (const Posted& p : main.all()) {
        if (p.message == WM_BOX_STATUS_TEXT)
            seen.push_back(
                {p.message, reinterpret_cast<const wchar_t*>(p.wParam), static_cast<WPARAM>(p.lParam)});
        else if (p.message == WM_BOX_CONNECT_PROGRESS)
            seen.push_back({p.message, {}, p.wParam});
    }
    return seen;
}

bool operator==(const Status& a, const Status& b) {
    return a.message == b.message && a.text == b.text && a.wParam == b.wParam;
}

const Status kSearching{WM_BOX_STATUS_TEXT, L"Searching Device...", BOX_STATUS_TEXT_CONTROL};
const Status kSearchStarted{WM_BOX_CONNECT_PROGRESS, {}, 1};
const Status kConnected{WM_BOX_STATUS_TEXT, L"Device is connected", BOX_STATUS_TEXT_CONTROL};
const Status kConnectedStage{WM_BOX_CONNECT_PROGRESS, {}, 5};

struct Way {
    const char* name;
    testbox::Options options; // the box serves only the ports this way must use
    std::wstring target;
    int type;
    DWORD mode;
    std::vector<Status> status;
};

void PrintTo(const Way& w, std::ostream* os) {
    *os << w.name;
}

class LoginWayTest : public BoxLinkTest, public ::testing::WithParamInterface<Way> {};

TEST_P(LoginWayTest, ConnectsLogsInAndReportsItsStages) {
    const Way& way = GetParam();
    BoxRig rig(way.options);
    ASSERT_TRUE(rig.login(way.target, way.type));
    ASSERT_TRUE(rig.loggedIn());
    EXPECT_EQ(rig.client.Mode(), way.mode);
    EXPECT_EQ(statusOf(rig.main), way.status);
    EXPECT_EQ(rig.box.LanProbes().size(), way.type == BOX_LOGIN_BY_ID ? 1u : 0u);
    EXPECT_EQ(rig.client.OwnAddress(), "127.0.0.1");
    const std::vector<testbox::ReceivedFrame> logins = rig.box.FramesOf(BOX_CMD_LOGIN);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].sequence, 0xF001u); // the first frame of the run
    EXPECT_EQ(logins[0].value2, DWORD{'T'});
    EXPECT_EQ(logins[0].value3, 0x0560u);
    const int streams = way.mode == BOX_MODE_RELAY ? 1 : 0;
    EXPECT_TRUE(PumpUntilReal([&] { return rig.box.StreamConnections() >= streams; }));
    EXPECT_EQ(rig.box.StreamConnections(), streams);

    ASSERT_TRUE(rig.client.StartStream());
    EXPECT_EQ(rig.receiverCalls(),
              (std::vector<std::string>{way.mode == BOX_MODE_LAN ? "lan 127.0.0.1" : "relay"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, LoginWayTest,
                         ::testing::Values(Way{"DeviceIdOnTheLan",
                                               {.directControl = false, .directStream = false},
                                               L"ABC234",
                                               BOX_LOGIN_BY_ID,
                                               BOX_MODE_LAN,
                                               {kSearching, kSearchStarted, kConnected, kConnectedStage}},
                                           Way{"TypedAddress",
                                               {.lanControl = false},
                                               L"127.0.0.1",
                                               BOX_LOGIN_BY_ADDRESS,
                                               BOX_MODE_RELAY,
                                               {kConnected, kConnectedStage}},
                                           Way{"HostName",
                                               {.lanControl = false},
                                               L"localhost",
                                               BOX_LOGIN_BY_HOST,
                                               BOX_MODE_RELAY,
                                               {kConnected, kConnectedStage}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Failure {
    const char* name;
    testbox::Options options;
    std::function<void(BoxRig&)> setup;
    std::wstring target;
    int type;
    std::wstring user;
    DWORD state;
    int probes;
    int controlConnections; // accepted by the box
    bool sent = false;      // the login request went out and the box answered it
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.name;
}

class LoginFailureTest : public BoxLinkTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(LoginFailureTest, PostsItsStateOnce) {
    const Failure& f = GetParam();
    BoxRig rig(f.options);
    if (f.setup)
        f.setup(rig);
    EXPECT_EQ(rig.login(f.target, f.type, f.user), f.sent);
    ASSERT_EQ(rig.dialog.count(WM_BOX_LOGIN_FAILED), 1);
    EXPECT_EQ(rig.dialog.of(WM_BOX_LOGIN_FAILED)[0].wParam, f.state);
    EXPECT_EQ(rig.client.LoginState(), f.state);
    EXPECT_TRUE(PumpUntilReal([&] { return static_cast<int>(rig.box.LanProbes().size()) >= f.probes; }));
    EXPECT_EQ(static_cast<int>(rig.box.LanProbes().size()), f.probes);
    // The box accepts in its own time.
    EXPECT_TRUE(PumpUntilReal([&] { return rig.box.ControlConnections() >= f.controlConnections; }));
    EXPECT_EQ(rig.box.ControlConnections(), f.controlConnections);
    rig.client.CloseControlSocket(); // as the login dialog does
    EXPECT_EQ(rig.client.Mode(), BOX_MODE_NONE);
    EXPECT_TRUE(PumpUntilReal([&] { return rig.box.OpenControlConnections() == 0; })); // nothing left open
    if (f.sent)
        platform::PumpFor(16000);           // past the login's time-out
    EXPECT_EQ(rig.dialog.all().size(), 1u); // no request timer was left behind
}

INSTANTIATE_TEST_SUITE_P(
    States, LoginFailureTest,
    ::testing::Values(Failure{"NoAddressOfThePc",
                              {},
                              [](BoxRig&) {
                                  platform::NetEnvironment env = platform::GetNetEnvironment();
                                  env.adapters = std::vector<platform::Adapter>{};
                                  platform::SetNetEnvironment(env);
                              },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1,
                              0,
                              0},
                      Failure{"LanControlPortRefuses",
                              {.lanControl = false},
                              {},
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              2,
                              1,
                              0},
                      Failure{"DirectStreamPortRefuses",
                              {.directStream = false},
                              {},
                              L"127.0.0.1",
                              BOX_LOGIN_BY_ADDRESS,
                              L"admin",
                              4,
                              0,
                              1},
                      Failure{"DirectPortsRefuse",
                              {.directControl = false, .directStream = false},
                              {},
                              L"127.0.0.1",
                              BOX_LOGIN_BY_ADDRESS,
                              L"admin",
                              4,
                              0,
                              0},
                      Failure{
                          "NotAnAddress", {}, {}, L"box.example", BOX_LOGIN_BY_ADDRESS, L"admin", 4, 0, 0},
                      Failure{"UnknownHostName", {}, {}, L"nobox.test", BOX_LOGIN_BY_HOST, L"admin", 9, 0, 0},
                      Failure{"LanAnswerWithAnotherId",
                              {},
                              [](BoxRig& r) { r.box.SetLanAnswer(testbox::LanAnswer::Other); },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1005,
                              2,
                              0},
                      Failure{"LanAnswerShorterThanTheId",
                              {},
                              [](BoxRig& r) { r.box.SetLanAnswer(testbox::LanAnswer::Short); },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1005,
                              2,
                              0},
                      Failure{"NoLanAnswer",
                              {},
                              [](BoxRig& r) { r.box.SetLanAnswer(testbox::LanAnswer::Silent); },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1005,
                              2,
                              0},
                      Failure{"RelayFailsWithoutAnAddress",
                              {},
                              [](BoxRig& r) {
                                  r.box.SetLanAnswer(testbox::LanAnswer::Silent);
                                  r.relay->result = 1004;
                              },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1004,
                              2,
                              0},
                      Failure{"RelayFailureWithoutDirectFallback",
                              {},
                              [](BoxRig& r) {
                                  r.box.SetLanAnswer(testbox::LanAnswer::Silent);
                                  r.relay->result = 1002;
                                  r.relay->boxAddress = "127.0.0.1";
                              },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1002,
                              2,
                              0},
                      Failure{"RelayDirectFallbackFails",
                              {.directStream = false},
                              [](BoxRig& r) {
                                  r.box.SetLanAnswer(testbox::LanAnswer::Silent);
                                  r.relay->result = 1009;
                                  r.relay->boxAddress = "127.0.0.1";
                              },
                              L"ABC234",
                              BOX_LOGIN_BY_ID,
                              L"admin",
                              1009,
                              2,
                              1},
                      Failure{"LoginRequestCannotBeSent",
                              {},
                              {},
                              L"127.0.0.1",
                              BOX_LOGIN_BY_ADDRESS,
                              L"seventeen_letters",
                              8,
                              0,
                              1},
                      Failure{"BoxRefusesTheLogin",
                              {},
                              [](BoxRig& r) { r.box.Script(BOX_CMD_LOGIN, Reply{.value = 3}); },
                              L"127.0.0.1",
                              BOX_LOGIN_BY_ADDRESS,
                              L"admin",
                              6,
                              0,
                              1,
                              true}),
    [](const auto& info) { return std::string(info.param.name); });

class LoginTest : public BoxLinkTest {};

TEST_F(LoginTest, RelayPathGetsTheConfiguredServersAndItsSocketsCarryTheLogin) {
    TempFolder folder;
    folder.write("configure.ini", "[IP1]\r\nip=relay-one.test\r\n[IP2]\r\nip=relay-two.test\r\n");
    BoxRig rig;
    rig.box.SetLanAnswer(testbox::LanAnswer::Silent);
    rig.relay->result = 1000;
    rig.relay->connect = true;
    ASSERT_TRUE(rig.login(L"ABC234", BOX_LOGIN_BY_ID));
    ASSERT_TRUE(rig.loggedIn());
    EXPECT_EQ(rig.relay->asked, (std::vector<std::wstring>{L"relay-one.test", L"relay-two.test", L"ABC234"}));
    EXPECT_EQ(rig.client.Mode(), BOX_MODE_RELAY);
    EXPECT_EQ(rig.relay->unmaps, 0); // the mappings stay while the connection lasts
    ASSERT_TRUE(rig.client.Disconnect(0));
    EXPECT_EQ(rig.relay->resets, 1);
    EXPECT_EQ(rig.relay->unmaps, 1);
}

TEST_F(LoginTest, RelayResultWithTheBoxAddressFallsBackOnTheDirectPorts) {
    BoxRig rig;
    rig.box.SetLanAnswer(testbox::LanAnswer::Silent);
    rig.relay->result = 1004;
    rig.relay->boxAddress = "127.0.0.1";
    ASSERT_TRUE(rig.login(L"ABC234", BOX_LOGIN_BY_ID));
    ASSERT_TRUE(rig.loggedIn());
    EXPECT_EQ(rig.client.Mode(), BOX_MODE_RELAY);
    EXPECT_EQ(rig.relay->resets, 1);
    EXPECT_EQ(rig.relay->unmaps, 1);
}

TEST_F(LoginTest, TakingOverAnotherLoginNeedsTheConfirmedSecondRequest) {
    BoxRig rig;
    rig.box.Script(BOX_CMD_LOGIN, {Reply{.value = 400}, Reply{.value = 1, .value2 = 2000, .value3 = 4}});
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_EQ(rig.dialog.count(WM_BOX_LOGIN_CONFIRM), 1);
    ASSERT_TRUE(rig.client.RequestLogin(rig.dialog.hwnd(), L"admin", L"secret", 'T', 0, 7, 1,
                                        BOX_LOGIN_BY_ADDRESS, BOX_LOGIN_CONFIRMED));
    ASSERT_TRUE(PumpUntilReal([&] { return rig.dialog.count(WM_BOX_LOGIN_OK) == 1; }));
    const std::vector<testbox::ReceivedFrame> logins = rig.box.FramesOf(BOX_CMD_LOGIN);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[0].bytes[112], 0);
    EXPECT_EQ(logins[1].bytes[112], BOX_LOGIN_CONFIRMED);
    EXPECT_EQ(rig.dialog.count(WM_BOX_LOGIN_FAILED), 0);
}

TEST_F(LoginTest, DisconnectSaysLogoutThreeTimesAndStopsEverything) {
    BoxRig rig;
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(rig.client.StartStream());
    const SOCKET stream = rig.receiver->stream;
    ASSERT_NE(stream, INVALID_SOCKET);
    ASSERT_TRUE(rig.client.Disconnect(200));
    ASSERT_TRUE(PumpUntilReal([&] { return rig.box.FramesOf(BOX_CMD_LOGOUT).size() == 3; }));
    for (const testbox::ReceivedFrame& logout : rig.box.FramesOf(BOX_CMD_LOGOUT))
        EXPECT_EQ(logout.value, 200u);
    EXPECT_EQ(rig.receiverCalls(), (std::vector<std::string>{"relay", "stop"}));
    EXPECT_EQ(rig.client.Mode(), BOX_MODE_NONE);
    EXPECT_TRUE(PumpUntilReal([&] { return rig.box.OpenControlConnections() == 0; }));
    // The audio/video socket is the receiver's: the connection manager did not close it.
    EXPECT_NE(::fcntl(stream, F_GETFD), -1);
    EXPECT_FALSE(rig.client.Channel().SendGetUsers(rig.dialog.hwnd()));
}

TEST_F(LoginTest, NewLoginTearsDownTheLastAndItsNumbersGoOn) {
    BoxRig rig;
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(rig.client.StartStream());
    rig.dialog.clear();
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(rig.loggedIn());
    EXPECT_EQ(rig.receiverCalls(), (std::vector<std::string>{"relay", "stop"}));
    EXPECT_EQ(rig.relay->unmaps, 1);
    EXPECT_EQ(rig.box.ControlConnections(), 2);
    EXPECT_TRUE(PumpUntilReal([&] { return rig.box.OpenControlConnections() == 1; }));
    const std::vector<testbox::ReceivedFrame> logins = rig.box.FramesOf(BOX_CMD_LOGIN);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[1].sequence, logins[0].sequence + 1);
    EXPECT_EQ(logins[1].connection, 2);
}

} // namespace
