// The login pane with the program's box connection manager against the test box on 127.0.0.1.
#include "AppFixture.h"

#include "app/ProgramBoxClient.h"
#include "app/Templates.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Profile.h"
#include "tests/support/testbox/TestBox.h"

namespace {

constexpr std::uint32_t kLogin = 0xFDFD2001;
constexpr std::uint32_t kLogout = 0xFDFD2002;
constexpr std::uint32_t kSetPicture = 0xFDFD2018;

class BoxLoginTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        boxFactory = [](KQ_AppConfig& config) { return std::make_unique<ProgramBoxClient>(config); };
    }
    void loginByAddress() {
        pressLoginByAddress(L"admin");
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() != UI_STATE_LOGIN; }, 20000));
    }
    testbox::TestBox testBox;
    platform::ScopedNetEnvironment environment{testBox.Environment()};
};

TEST_F(BoxLoginTest, AnAddressLoginGoesLiveAndTheLogoutReachesTheBox) {
    start();
    loginByAddress();
    EXPECT_EQ(state(), UI_STATE_CV_PLAY);
    EXPECT_TRUE(login().IsLoggedIn());
    EXPECT_TRUE(playerCalled(L"StartLive"));
    const auto logins = testBox.FramesOf(kLogin);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(logins[0].checksumOk);
    EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return !testBox.FramesOf(kSetPicture).empty(); }, 10000));
    EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return testBox.StreamConnections() == 1; }, 10000));
    login().OnLoginButton();
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return testBox.FramesOf(kLogout).size() == 3; }, 10000));
}

TEST_F(BoxLoginTest, TheLoginCarriesTheCountryAndItsTvSystem) {
    const std::pair<int, int> cases[] = {{44, 1}, {86, 2}, {1, 3}, {7, 0}}; // 7: not in the table
    for (const auto& [country, system] : cases) {
        start();
        WritePrivateProfileStringW(L"Country", L"value", std::to_wstring(country).c_str(),
                                   L".\\Setup\\property.ini");
        loginByAddress();
        const auto logins = testBox.FramesOf(kLogin);
        ASSERT_FALSE(logins.empty());
        EXPECT_EQ(logins.back().bytes[80], country);
        EXPECT_EQ(logins.back().bytes[81], system) << country;
        login().OnLoginButton();
        stop();
    }
}

TEST_F(BoxLoginTest, ARefusedLoginShowsTheBoxsRefusal) {
    testbox::Reply refusal;
    refusal.value = 5;
    testBox.Script(kLogin, refusal);
    start();
    loginByAddress();
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_FALSE(login().IsLoggedIn());
    ASSERT_EQ(modal, std::vector<int>{190});
    EXPECT_FALSE(playerCalled(L"StartLive"));
    EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
}

} // namespace
