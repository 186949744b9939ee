#include "AppFixture.h"

#include "app/SkinControls.h"
#include "app/Templates.h"
#include "dialogs/records/IrProfileStore.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Profile.h"

#include <chrono>
#include <future>

namespace {

TEST(LoginInputTest, BoxIdAndCredentialsAreCheckedBeforeAnyThreadStarts) {
    struct Case {
        std::wstring id;
        const wchar_t* error; // null: accepted
    };
    const Case ids[] = {
        {L"ABCDEFGH23", nullptr},
        {L"ABCDEFGH2", L"KQ_S_LOGIN_WRONG_SN_FORMAT"},
        {L"ABCDEFGH234", L"KQ_S_LOGIN_WRONG_SN_FORMAT"},
        {L"ABCDEFGHO3", L"KQ_S_ID_INVALID_ALPHA"},
        {L"ABCDEFGH03", L"KQ_S_ID_INVALID_ALPHA"},
        {L"abcdefgh2l", L"KQ_S_ID_INVALID_ALPHA"},
        {L"ABCD-FGH23", L"KQ_S_ID_INVALID_ALPHA"},
        {L"ABCD\u00c9FGH23", L"KQ_S_ID_INVALID_ALPHA"}, // letters outside ASCII
    };
    for (const Case& c : ids) {
        InputError e;
        EXPECT_EQ(CheckBoxId(c.id, e), c.error == nullptr) << std::string(c.id.begin(), c.id.end());
        if (c.error) {
            EXPECT_EQ(e.key, c.error);
        }
    }
    InputError e;
    EXPECT_TRUE(CheckCredentials(std::wstring(16, L'u'), std::wstring(16, L'p'), e));
    EXPECT_FALSE(CheckCredentials(std::wstring(17, L'u'), L"", e));
    EXPECT_EQ(e.key, L"KQ_S_LOGIN_WRONG_USERNAME_FORMAT");
    EXPECT_EQ(e.caption, L"Error");
    EXPECT_FALSE(CheckCredentials(L"", std::wstring(17, L'p'), e));
    EXPECT_EQ(e.key, L"KQ_S_LOGIN_WRONG_PASSWORD_FORMAT");
    EXPECT_EQ(DottedAddress(0x7F000001), L"127.0.0.1");
}

class LoginTest : public AppFixture {
protected:
    void typeId(const std::wstring& id, const std::wstring& user = L"admin") {
        LoginRadio(LOGIN_MODE_ID).Select();
        login().GetDlgItem(IDC_LOGIN_ID)->SetWindowText(id);
        login().GetDlgItem(IDC_LOGIN_USER)->SetWindowText(user);
        login().GetDlgItem(IDC_LOGIN_PASSWORD)->SetWindowText(L"pw");
    }
    void typeAddress(DWORD address) {
        LoginRadio(LOGIN_MODE_IP).Select();
        static_cast<CIPAddressCtrl*>(login().GetDlgItem(IDC_LOGIN_IP))->SetAddress(address);
    }
    bool settle() {
        return platform::mfc::PumpUiUntil([this] { return state() != UI_STATE_LOGIN; }, 5000);
    }
    void loginWith(int sourceCode) {
        app->m_config.m_lastSource = sourceCode;
        typeId(L"ABCDEFGH23");
        login().OnLoginButton();
        ASSERT_TRUE(settle());
    }
};

TEST_F(LoginTest, InvalidInputShowsItsMessageAndStartsNothing) {
    start();
    typeId(L"SHORT");
    login().OnLoginButton();
    typeAddress(0x7F000001);
    static_cast<CIPAddressCtrl*>(login().GetDlgItem(IDC_LOGIN_IP))->ClearAddress();
    login().OnLoginButton();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].caption, L"Error");
    EXPECT_EQ(messages[0].type, MB_OK);
    EXPECT_EQ(messages[1].text, L"Enter IP Address Error!");
    EXPECT_EQ(messages[1].caption, L"Solvane Player");
    EXPECT_EQ(messages[1].type, MB_ICONINFORMATION);
    EXPECT_TRUE(box->logins().empty());
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
}

TEST_F(LoginTest, AnAcceptedIdLoginStartsTheStreamAndLiveViewAndRemembersTheId) {
    start();
    loginWith(0);
    const auto logins = box->logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].address, L"ABCDEF"); // the first six characters of the ID
    EXPECT_EQ(logins[0].user, L"admin");
    EXPECT_EQ(logins[0].params.sourceCode, 0);
    EXPECT_EQ(logins[0].params.loginType, 0);
    EXPECT_EQ(logins[0].params.confirm, 0);
    EXPECT_EQ(logins[0].window, login().m_hWnd);
    EXPECT_TRUE(boxCalled(L"StartStream"));
    EXPECT_TRUE(boxCalled(L"SetPicture 32,32,32,32"));
    EXPECT_TRUE(playerCalled(L"StartLive"));
    EXPECT_EQ(player->videoWindow, main->VideoBox().m_hWnd);
    EXPECT_EQ(state(), UI_STATE_CV_PLAY);
    EXPECT_EQ(login().SavedUiState(), UI_STATE_INIT);
    EXPECT_TRUE(login().IsLoggedIn());
    EXPECT_EQ(app->m_config.m_userRecord.text1, L"ABCDEFGH23");
    EXPECT_EQ(GetPrivateProfileIntW(L"Country", L"value", -5, L".\\Setup\\property.ini"), 7u);
    KQ_UI_UserRecord saved;
    ASSERT_EQ(saved.Load(), 1);
    EXPECT_EQ(saved.loginIds, std::list<std::wstring>{L"ABCDEFGH23"});
    EXPECT_TRUE(std::filesystem::is_directory(temp / "UserData" / "ABCDEFGH23"));
    EXPECT_EQ(login().ToolTips().GetText(&login().LoginButton()), L"Logout");
}

TEST_F(LoginTest, TheBoxSourceCodeChoosesTheLiveState) {
    struct Case {
        int code;
        int state;
        int indicator;
        int codeAfter;
        const wchar_t* osd; // null: no text
    };
    const Case cases[] = {{0, UI_STATE_CV_PLAY, 1, 0, L"CV"},
                          {1, UI_STATE_SV_PLAY, 2, 1, L"SV"},
                          {2, UI_STATE_TV_PLAY, 0, 2, L"TV"},
                          {7, UI_STATE_CV_PLAY, 1, 0, nullptr}};
    for (const Case& c : cases) {
        start();
        loginWith(c.code);
        EXPECT_EQ(state(), c.state) << c.code;
        EXPECT_EQ(main->SourceButton().Indicator(), c.indicator) << c.code;
        EXPECT_EQ(app->m_config.m_lastSource, c.codeAfter) << c.code;
        const bool anyText =
            std::any_of(player->calls.begin(), player->calls.end(),
                        [](const std::wstring& call) { return call.rfind(L"ReplaceInfoText", 0) == 0; });
        EXPECT_EQ(anyText, c.osd != nullptr) << c.code;
        if (c.osd) {
            EXPECT_TRUE(playerCalled(std::wstring(L"ReplaceInfoText ") + c.osd)) << c.code;
        }
        if (c.code == 2) { // the tuner without a channel table asks to scan
            ASSERT_FALSE(messages.empty());
            EXPECT_EQ(messages.back().type, MB_YESNO);
        }
        stop();
        messages.clear();
    }
}

TEST_F(LoginTest, AFailedLoginShowsItsCodeAndReturnsToTheSavedState) {
    start();
    box->answer = [](HWND w, const FakeBoxClient::LoginCall&) {
        PostMessage(w, WM_BOX_LOGIN_FAILED, 1009, 0);
    };
    typeId(L"ABCDEFGH23");
    login().OnLoginButton();
    ASSERT_TRUE(settle());
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_TRUE(boxCalled(L"CloseControlSocket"));
    ASSERT_EQ(modal, std::vector<int>{190});
    EXPECT_EQ(modalText[0], L"Link failed (1009)");
    EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
    EXPECT_FALSE(login().IsLoggedIn());
    EXPECT_FALSE(playerCalled(L"StartLive"));
}

TEST_F(LoginTest, TakingOverAnotherLoginAsksAndLogsInAgainOrDisconnects) {
    for (int yes : {1, 0}) {
        start();
        box->answer = [](HWND w, const FakeBoxClient::LoginCall& call) {
            PostMessage(w, call.again ? WM_BOX_LOGIN_OK : WM_BOX_LOGIN_CONFIRM, 0, 3);
        };
        answer = yes ? IDYES : IDNO;
        typeId(L"ABCDEFGH23");
        login().OnLoginButton();
        ASSERT_TRUE(settle());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].type, MB_YESNO);
        const auto logins = box->logins();
        if (yes) {
            ASSERT_EQ(logins.size(), 2u);
            EXPECT_TRUE(logins[1].again);
            EXPECT_EQ(logins[1].params.confirm, kLoginConfirmed);
            EXPECT_EQ(state(), UI_STATE_CV_PLAY);
        } else {
            EXPECT_EQ(logins.size(), 1u);
            EXPECT_TRUE(boxCalled(L"Disconnect 200"));
            EXPECT_EQ(state(), UI_STATE_INIT);
            EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
        }
        stop();
        messages.clear();
    }
}

TEST_F(LoginTest, ALiveStartThatFailsShowsThePlayersCodeAndLogsOut) {
    start();
    player->startLiveResult = static_cast<HRESULT>(0x8004022Bu);
    loginWith(0);
    ASSERT_EQ(modalText.size(), 1u);
    EXPECT_EQ(modalText[0], L"No file");
    EXPECT_TRUE(boxCalled(L"Disconnect 0"));
    EXPECT_TRUE(playerCalled(L"Stop 1"));
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_FALSE(login().IsLoggedIn());
    EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
}

TEST_F(LoginTest, LoggingOutStopsThePlayerThenDisconnects) {
    start();
    loginWith(0);
    app->m_config.m_channelTable.push_back({0, L"One", 5, 800});
    login().OnLoginButton();
    const auto calls = box->calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"Disconnect 0"), calls.end());
    EXPECT_TRUE(playerCalled(L"Stop 1"));
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_FALSE(login().IsLoggedIn());
    EXPECT_TRUE(app->m_config.m_channelTable.empty());
    EXPECT_EQ(login().ToolTips().GetText(&login().LoginButton()), L"Login");
}

TEST_F(LoginTest, EachLoginOpensItsBoxsProfilesAndTheHistorysProfileIsTheKeyMap) {
    start();
    KQ_UI_RemoterMapping& map = app->m_config.m_remoterMapping;
    map.keys[1050].learned = 1; // left from before
    map.name = L"Old";
    loginWith(0);
    // The first login: the box's file holds the login ID and the empty flag only; nothing is learned.
    const std::string header = std::string("\xFF\xFE\xFF\x0A", 4) + std::string("A\0B\0C\0D\0E\0F\0G\0H\0"
                                                                                "2\0"
                                                                                "3\0",
                                                                                20);
    EXPECT_EQ(temp.read("UserData/ABCDEFGH23/ABCDEFGH23.rpl"), header + std::string("\1\0\0\0", 4));
    EXPECT_EQ(map.keys, KQ_UI_RemoterMapping().keys);
    EXPECT_EQ(map.name, L"");

    KQ_UI_RemoterMapping learnt;
    learnt.keys[1046].learned = 1;
    learnt.keys[1046].code[0] = 4;
    ASSERT_EQ(learnt.SaveKeyMapAsProfile(g_irProfileStore, L"TV", g_irProfileStore.path), 1);
    WritePrivateProfileStringW(L"Profile Setting", L"Profile", L"TV",
                               L".\\UserData\\ABCDEFGH23\\history.ini");
    login().OnLoginButton(); // out
    loginWith(0);
    EXPECT_EQ(map.name, L"TV");
    EXPECT_EQ(map.keys, learnt.keys);

    // Another box: none of the first box's profiles, its own file, and a key map without a profile.
    login().OnLoginButton();
    typeId(L"ABCDEFGH45");
    login().OnLoginButton();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(g_irProfileStore.profiles.empty());
    EXPECT_TRUE(temp.exists("UserData/ABCDEFGH45/ABCDEFGH45.rpl"));
    EXPECT_EQ(map.name, L"");
    EXPECT_EQ(map.keys, KQ_UI_RemoterMapping().keys);
    KQ_UI_IRProfileStore first;
    ASSERT_EQ(first.ReadProfileArchive(L".\\UserData\\ABCDEFGH23\\ABCDEFGH23.rpl"), 1);
    EXPECT_EQ(first.ListProfileNames(), std::list<std::wstring>{L"TV"});
}

TEST_F(LoginTest, AddressAndHostLoginsNameTheLoginByWhatWasTyped) {
    start();
    typeAddress(0x7F000001);
    login().OnLoginButton();
    ASSERT_TRUE(settle());
    EXPECT_EQ(box->logins().back().address, L"127.0.0.1");
    EXPECT_EQ(box->logins().back().params.loginType, 1);
    EXPECT_EQ(app->m_config.m_userRecord.text1, L"127.0.0.1");
    EXPECT_EQ(static_cast<DWORD>(app->m_config.m_userRecord.value), 0x7F000001u);
    EXPECT_TRUE(std::filesystem::is_directory(temp / "UserData" / "127.0.0.1"));
    login().OnLoginButton(); // out
    LoginRadio(LOGIN_MODE_DDNS).Select();
    login().GetDlgItem(IDC_LOGIN_HOST)->SetWindowText(L"localhost");
    login().OnLoginButton();
    ASSERT_TRUE(settle());
    EXPECT_EQ(box->logins().back().address, L"localhost");
    EXPECT_EQ(box->logins().back().params.loginType, 2);
    EXPECT_EQ(app->m_config.m_userRecord.text1, L"localhost");
}

TEST_F(LoginTest, TheRememberedLoginFillsThePaneOnlyWhenRememberIsOn) {
    KQ_UI_UserRecord record;
    record.text1 = L"ABCDEFGH23";
    record.text2 = L"admin";
    record.text3 = L"secret";
    record.loginIds = {L"", L"XYZXYZXYZ2"};
    ASSERT_EQ(record.Save(), 1);
    for (int enable : {1, 0}) {
        temp.write("Setup/property.ini", "[Remember User]\r\nEnable=" + std::to_string(enable) + "\r\n");
        start();
        auto* combo = static_cast<CComboBox*>(login().GetDlgItem(IDC_LOGIN_ID));
        EXPECT_EQ(combo->GetCount(), 2); // the empty entry skipped, the current ID added
        EXPECT_EQ(login().GetDlgItem(IDC_LOGIN_USER)->GetWindowText(), enable ? L"admin" : L"");
        EXPECT_EQ(login().GetDlgItem(IDC_LOGIN_PASSWORD)->GetWindowText(), enable ? L"secret" : L"");
        EXPECT_EQ(combo->GetWindowText(), enable ? L"ABCDEFGH23" : L"");
        auto* check = static_cast<CButton*>(login().GetDlgItem(IDC_LOGIN_REMEMBER));
        EXPECT_EQ(check->GetCheck(), enable ? BST_CHECKED : BST_UNCHECKED);
        stop();
    }
}

// A login the box link is still working on (as during a relay attempt) does not keep the window open: the
// skinned close button is greyed while a login runs, but the window manager's close works in every state;
// it stops the player, hides the windows and ends the loop, and the result that comes after the windows
// have gone reaches none of them.
TEST_F(LoginTest, TheWindowClosesWhileALoginRuns) {
    start();
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    box->answer = [&entered, released](HWND window, const FakeBoxClient::LoginCall&) {
        entered.set_value();
        released.wait_for(std::chrono::seconds(10));
        PostMessage(window, WM_BOX_LOGIN_OK, 0, 7);
    };
    typeId(L"ABCDEFGH23");
    login().OnLoginButton();
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    ASSERT_EQ(state(), UI_STATE_LOGIN);
    EXPECT_FALSE(main->Button(IDC_BTN_CLOSE).IsWindowEnabled());

    main->SendMessage(WM_CLOSE, 0, 0);
    EXPECT_TRUE(playerCalled(L"Stop 1"));
    EXPECT_FALSE(boxCalled(L"Disconnect 0")) << "nothing to log out of yet";
    EXPECT_FALSE(main->IsWindowVisible());
    EXPECT_FALSE(login().IsWindowVisible());
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    release.set_value();
    login().JoinWorker();
    platform::PumpPending();
    EXPECT_FALSE(boxCalled(L"StartStream")) << "the late result started nothing";
    EXPECT_FALSE(playerCalled(L"StartLive"));
    EXPECT_EQ(state(), UI_STATE_LOGIN);
}

} // namespace
