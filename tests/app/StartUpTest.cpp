#include "AppFixture.h"

#include "app/Language.h"
#include "platform/win32/Profile.h"

namespace {

class StartUpTest : public AppFixture {};

TEST_F(StartUpTest, StartedFromAnotherFolderTheProgramFindsItsOwnFiles) {
    temp.write(
        "Setup/property.ini",
        "[Volume]\r\nValue=5000\r\n[Skin]\r\nvalue=12\r\n[TopMost]\r\nSwitch=1\r\n[Save]\r\nLanguage=1\r\n");
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    start();
    EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()),
              std::filesystem::canonical(temp.root()));
    EXPECT_EQ(app->m_config.m_volume, 1000); // clamped to the slider's range
    EXPECT_EQ(main->VolumeSlider().GetPos(), 1000);
    EXPECT_EQ(app->m_config.m_topMost, 1);
    EXPECT_TRUE(main->IsTopMost());
    EXPECT_EQ(app->m_uiState, UI_STATE_INIT);
    EXPECT_EQ(LoadLanguageString(L"IDS_TIPS_CLOSE"), L"Zu"); // the language chosen last time
    EXPECT_EQ(app->m_config.m_strLanguage, L"Test");
    g_languageIndex = 0;
    ASSERT_NE(app->m_pLoginDlg, nullptr);
    EXPECT_TRUE(app->m_pLoginDlg->IsWindowVisible());
    EXPECT_EQ(player->notifyWindow, main->m_hWnd);
    EXPECT_EQ(player->mainWindow, main->m_hWnd);
    EXPECT_EQ(box->main, main->m_hWnd);
}

TEST_F(StartUpTest, TheServicesForgetTheMainWindowWhenItGoes) {
    start();
    main.reset();
    EXPECT_EQ(player->mainWindow, nullptr);
    EXPECT_EQ(box->main, nullptr);
}

TEST_F(StartUpTest, ShutdownSavesTheSettingsAfterTheServicesAreGone) {
    start();
    app->m_config.m_volume = 321;
    auto volumeOnFile = [] {
        return static_cast<int>(GetPrivateProfileIntW(L"Volume", L"Value", -1, L".\\Setup\\property.ini"));
    };
    int atBoxClient = 0, atPlayer = 0;
    box->onDestroy = [&] { atBoxClient = volumeOnFile(); };
    player->onDestroy = [&] { atPlayer = volumeOnFile(); };
    stop();
    EXPECT_EQ(atBoxClient, -1);
    EXPECT_EQ(atPlayer, -1);
    EXPECT_EQ(volumeOnFile(), 321);
}

TEST_F(StartUpTest, PowerOffWithoutTheRightSavesFirstAndKeepsRunning) {
    start();
    app->m_config.m_volume = 654;
    int volumeAtPowerOff = 0;
    ASSERT_NE(power, nullptr);
    power->onShutDown = [&] {
        volumeAtPowerOff =
            static_cast<int>(GetPrivateProfileIntW(L"Volume", L"Value", -1, L".\\Setup\\property.ini"));
    };
    EXPECT_EQ(app->ShutDownWindows(), 0);
    EXPECT_EQ(shutdowns, 1);
    EXPECT_EQ(volumeAtPowerOff, 654);
    EXPECT_TRUE(main->IsWindowVisible());
}

} // namespace
