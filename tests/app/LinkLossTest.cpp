// What the user is told when the box link goes: after a lost link the login pane and the language file's
// message in the current language; the source button greyed while nothing is logged in; after a login that
// failed, the status line of the state the window returns to.
#include "AppFixture.h"

#include "app/Templates.h"
#include "platform/win32/Profile.h"

namespace {

class LinkLossTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        useProgramLanguageFile();
    }
    void TearDown() override {
        AppFixture::TearDown();
        g_languageIndex = 0;
    }
    void loginById() {
        LoginRadio(LOGIN_MODE_ID).Select();
        login().GetDlgItem(IDC_LOGIN_ID)->SetWindowText(L"ABCDEFGH23");
        login().OnLoginButton();
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() != UI_STATE_LOGIN; }, 5000));
    }
};

TEST_F(LinkLossTest, ALostLinkReturnsToTheLoginPaneAndSaysWhyInEveryLanguage) {
    const std::pair<int, const wchar_t*> languages[] = {{0, L"Connection to the box was lost."},
                                                        {1, L"Die Verbindung zur Box wurde unterbrochen."}};
    for (const auto& [language, text] : languages) {
        start();
        click(*main, kLanguageMenuFirst + language); // as the user picks it
        loginById();
        ASSERT_EQ(state(), UI_STATE_CV_PLAY);
        ASSERT_TRUE(main->SourceButton().IsWindowEnabled());
        messages.clear();
        main->PostMessage(WM_BOX_LINK_LOST, 0, 0);
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return !messages.empty(); }, 5000));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, text);
        EXPECT_EQ(messages[0].caption, L"Solvane Player");
        EXPECT_EQ(state(), UI_STATE_INIT);
        EXPECT_FALSE(login().IsLoggedIn());
        EXPECT_TRUE(login().IsWindowVisible());
        EXPECT_TRUE(boxCalled(L"Disconnect 0"));
        EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
        main->PostMessage(WM_BOX_LINK_LOST, 0, 0); // logged out already: nothing more to say
        platform::mfc::PumpUiUntil([] { return false; }, 200);
        EXPECT_EQ(messages.size(), 1u);
        stop();
    }
    // The file has the message in each of its languages.
    const int count =
        static_cast<int>(GetPrivateProfileIntW(L"LanguageID", L"Count", 0, L".\\Setup\\Language.ini"));
    EXPECT_GE(count, 2);
    for (g_languageIndex = 0; g_languageIndex < count; ++g_languageIndex)
        EXPECT_FALSE(LoadLanguageString(L"KQ_S_LINK_LOST").empty()) << g_languageIndex;
}

// The source button cannot act while nothing is logged in, also when a source reply of the lost login is
// handled after the logout.
TEST_F(LinkLossTest, TheSourceButtonIsGreyedWhileLoggedOut) {
    start();
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
    loginById();
    click(*main, IDC_BTN_SOURCE);
    ASSERT_TRUE(boxCalled(L"SetSource S"));
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled()); // its reply awaited
    login().OnLoginButton();                              // out
    ASSERT_EQ(state(), UI_STATE_INIT);
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
    main->SendMessage(WM_BOX_SOURCE_FAILED, 0, 0);
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
    main->SendMessage(WM_BOX_SOURCE_CHANGED, 1, 0);
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
    loginById();
    EXPECT_TRUE(main->SourceButton().IsWindowEnabled());
}

// The stages of a login that failed do not stay in the status line: it shows again what it showed for the
// state the window returns to (a stopped file's name here, nothing after a refused take-over).
TEST_F(LinkLossTest, AFailedLoginLeavesTheStatusLineOfItsState) {
    start();
    setState(UI_STATE_FILE_STOP);
    main->SetStatusText(L"clip.mp4");
    const HWND mainWindow = main->m_hWnd;
    box->answer = [mainWindow](HWND w, const FakeBoxClient::LoginCall&) {
        auto text = std::make_shared<std::wstring>(L"Connecting to Server");
        const WPARAM data = reinterpret_cast<WPARAM>(text->c_str());
        platform::PostMessageWithPayload(mainWindow, WM_BOX_STATUS_TEXT, data, 0, std::move(text));
        PostMessage(w, WM_BOX_LOGIN_FAILED, 1005, 0);
    };
    loginById();
    EXPECT_EQ(state(), UI_STATE_FILE_STOP);
    EXPECT_EQ(main->StatusLine().Text(), L"clip.mp4");
    EXPECT_TRUE(main->StatusLine().IsMarkedShown());
}

// The second login after the box asked to take over cannot be sent: it fails as the first would, instead of
// leaving the pane waiting for an answer that never comes.
TEST_F(LinkLossTest, ATakeOverLoginThatCannotBeSentFails) {
    start();
    box->answer = [](HWND w, const FakeBoxClient::LoginCall& call) {
        if (!call.again)
            PostMessage(w, WM_BOX_LOGIN_CONFIRM, 0, 0);
    };
    box->requestLoginSent = false;
    answer = IDYES;
    LoginRadio(LOGIN_MODE_ID).Select();
    login().GetDlgItem(IDC_LOGIN_ID)->SetWindowText(L"ABCDEFGH23");
    login().OnLoginButton();
    ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return !modal.empty(); }, 5000));
    EXPECT_EQ(modal, std::vector<int>{190});
    EXPECT_EQ(modalText[0], L"The login could not be sent to the box.");
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_TRUE(login().LoginButton().IsWindowEnabled());
}

} // namespace
