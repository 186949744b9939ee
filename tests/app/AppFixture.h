// The program in a folder of its own, with fake services: the application object started as the program
// starts it, and the main window made modeless so that a test can drive it. Hooks answer message boxes,
// modal dialogs and menus, and are reset afterwards.
#pragma once

#include "app/Language.h"
#include "app/LanguageHooks.h"
#include "app/LoginDialog.h"
#include "app/Panes.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "platform/mfc/App.h"
#include "platform/mfc/Dialog.h"
#include "platform/mfc/Menu.h"
#include "platform/mfc/MessageBox.h"
#include "tests/support/fakes/FakeServices.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

struct ShownMessage {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::mfc::EnsureToolkit();
        ResetLanguageMenuForTests();
        g_languageIndex = 0;
        cwd_ = std::filesystem::current_path();
        std::filesystem::create_directories(temp / "Setup");
        std::filesystem::create_directories(temp / "UserData");
        temp.write("Setup/Language.ini", kLanguage);
        platform::mfc::SetMessageBoxHook(
            [this](HWND, const std::wstring& t, const std::wstring& c, UINT type) {
                messages.push_back({t, c, type});
                return answer;
            });
        platform::mfc::SetModalHook([this](CDialog& d) {
            modal.push_back(d.GetTemplate().id);
            if (CWnd* summary = d.GetDlgItem(1188))
                modalText.push_back(summary->GetWindowText());
            return INT_PTR{IDOK};
        });
    }

    void TearDown() override {
        stop();
        platform::mfc::SetMessageBoxHook(nullptr);
        platform::mfc::SetModalHook(nullptr);
        platform::mfc::SetMenuHook(nullptr);
        std::filesystem::current_path(cwd_);
    }

    // Start-up, then the main window's initialisation (which makes the panes' windows).
    void start() {
        makeApp();
        app->StartUp();
        main = std::make_unique<KQ_UI_VeloqDlg>();
        app->m_pMainWnd = main.get();
        ASSERT_TRUE(main->Create());
    }

    // The application object with the test's services, not yet started.
    void makeApp() {
        box = boxFactory ? nullptr : new FakeBoxClient;
        player = playerFactory ? nullptr : new FakePlayerPort;
        AppServices services;
        if (boxFactory)
            services.makeBoxClient = boxFactory;
        else
            services.makeBoxClient = [this](KQ_AppConfig&) { return std::unique_ptr<BoxClientPort>(box); };
        if (playerFactory)
            services.makePlayer = playerFactory;
        else
            services.makePlayer = [this](KQ_AppConfig&) { return std::unique_ptr<PlayerPort>(player); };
        services.openSettings = openSettings;
        services.makePower = [this] {
            auto made = std::make_unique<FakePower>();
            made->shutdowns = &shutdowns;
            power = made.get();
            return made;
        };
        app = std::make_unique<KQ_UI_VeloqApp>(std::move(services));
    }

    void stop() {
        if (app && app->m_pLoginDlg)
            app->m_pLoginDlg->JoinWorker();
        main.reset();
        if (app) {
            app->m_pMainWnd = nullptr;
            app->ExitInstance();
            app.reset();
        }
    }

    // The program's own language file in place of the fixture's, with every language it has.
    void useProgramLanguageFile() {
        std::ifstream file(std::filesystem::path(VELOQ_FIXTURES_DIR) / "../../data/Setup/Language.ini",
                           std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        ASSERT_FALSE(bytes.str().empty());
        temp.write("Setup/Language.ini", bytes.str());
    }

    KQ_UI_CLoginDialog& login() { return *app->m_pLoginDlg; }
    // Fills the login pane for the box at 127.0.0.1 and presses Login; the caller waits for the outcome.
    void pressLoginByAddress(const wchar_t* user, const wchar_t* password = nullptr) {
        LoginRadio(LOGIN_MODE_IP).Select();
        static_cast<CIPAddressCtrl*>(login().GetDlgItem(IDC_LOGIN_IP))->SetAddress(0x7F000001);
        login().GetDlgItem(IDC_LOGIN_USER)->SetWindowText(user);
        if (password)
            login().GetDlgItem(IDC_LOGIN_PASSWORD)->SetWindowText(password);
        login().OnLoginButton();
    }
    int state() const { return app->m_uiState; }
    void setState(int s) { main->SendMessage(WM_UI_SET_STATE, static_cast<WPARAM>(s), 0); }
    void click(CWnd& parent, int id) { parent.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool playerCalled(const std::wstring& what) const {
        return std::find(player->calls.begin(), player->calls.end(), what) != player->calls.end();
    }
    bool boxCalled(const std::wstring& what) const {
        const auto calls = box->calls();
        return std::find(calls.begin(), calls.end(), what) != calls.end();
    }

    static constexpr const char* kLanguage =
        "[LanguageID]\r\nCount=2\r\nLanguage_001=English\r\nLanguage_002=Test\r\n"
        "[KQ_S_LOGIN_ERR_LINK_FAIL]\r\nEnglish=Link failed (%d)\r\nTest=Kein Link %d%%\r\n"
        "[KQ_S_LOGIN_ERR_1009]\r\nEnglish=No link||second server\r\n"
        "[KQ_S_LOGIN_ERR_SERVER_FAIL]\r\nEnglish=Server failed\r\n"
        "[KQ_S_LOGIN_ERR_5]\r\nEnglish=Five\r\n"
        "[KQ_SAV_E_CREATEFILE]\r\nEnglish=No file\r\n"
        "[KQ_S_AV_INSIDE_ERROR]\r\nEnglish=Inside\r\n"
        "[KQ_S_MENU_STOP]\r\nEnglish=Stop\r\nTest=Halt\r\n"
        "[KQ_S_MENU_LANG]\r\nEnglish=Language\r\nTest=Sprache\r\n"
        "[IDS_TIPS_CLOSE]\r\nEnglish=Close\r\nTest=Zu\r\n";

    TempFolder temp;
    std::unique_ptr<KQ_UI_VeloqApp> app;
    std::unique_ptr<KQ_UI_VeloqDlg> main;
    FakeBoxClient* box = nullptr; // owned by the application (unless boxFactory makes another)
    std::function<std::unique_ptr<BoxClientPort>(KQ_AppConfig&)> boxFactory;
    FakePlayerPort* player = nullptr; // owned by the application (unless playerFactory makes another)
    std::function<std::unique_ptr<PlayerPort>(KQ_AppConfig&)> playerFactory;
    std::function<void(CWnd*, int)> openSettings; // the settings sheet the program is given (none by default)
    FakePower* power = nullptr;
    int shutdowns = 0;
    std::vector<ShownMessage> messages;
    int answer = IDOK;
    std::vector<int> modal;
    std::vector<std::wstring> modalText;

private:
    std::filesystem::path cwd_;
};
