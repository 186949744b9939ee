// The settings sheet as the main window opens it: the pages the UI state gives, in tab order; the tab
// texts after a language change on the save page; the other tabs locked while the channel page scans or
// changes the country; and a due schedule that closes the sheet only when the folders exist.
#include "SheetFixture.h"

#include "app/Templates.h"
#include "platform/win32/Profile.h"

#include <QCloseEvent>

namespace {

using Titles = std::vector<std::wstring>;

class SheetTest : public SheetFixture {};

TEST_F(SheetTest, TheUiStateChoosesThePagesInTabOrder) {
    startProgram();
    const Titles live{L"Channels", L"Save", L"Video", L"Schedule", L"User", L"My account"};
    const Titles otherSource{L"Save", L"Video", L"Remote", L"Schedule", L"User", L"My account"};
    const struct Case {
        int state;
        Titles tabs;
        int scheduleTab; // where the Schedule command opens the sheet
    } cases[] = {
        {UI_STATE_INIT, {L"Save"}, 0},      {UI_STATE_FILE_PAUSE, {L"Save"}, 0},
        {UI_STATE_TV_PLAY, live, 3},        {UI_STATE_CV_PLAY, otherSource, 3},
        {UI_STATE_SV_PLAY, otherSource, 3}, {UI_STATE_FILE_STOP_L, {L"Save", L"User", L"My account"}, 0},
        {UI_STATE_TV_RECORD, {}, -1},       {UI_STATE_TV_SCHEDULE_RECORD, {}, -1},
        {UI_STATE_FILE_FOREWARD, {}, -1},
    };
    for (const Case& c : cases) {
        setState(c.state);
        Titles shown;
        int active = -1;
        const INT_PTR settings = openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
            shown = tabs(sheet);
            active = sheet.GetActiveIndex();
        });
        EXPECT_EQ(shown, c.tabs) << "state " << c.state;
        // The main window's menu as it is shown: Settings and Schedule grey without pages.
        UINT settingsItem = 0, scheduleItem = 0;
        platform::mfc::SetMenuHook([&](CMenu& shown) {
            settingsItem = shown.GetMenuState(ID_MENU_SETTING, MF_BYCOMMAND);
            scheduleItem = shown.GetMenuState(ID_MENU_SCHEDULE, MF_BYCOMMAND);
            return UINT{0};
        });
        click(*main, IDC_BTN_MTS);
        platform::mfc::SetMenuHook(nullptr);
        const UINT grey = c.tabs.empty() ? MF_GRAYED : 0u;
        EXPECT_EQ(settingsItem & MF_GRAYED, grey) << "state " << c.state;
        EXPECT_EQ(scheduleItem & MF_GRAYED, grey) << "state " << c.state;
        if (c.tabs.empty()) {
            EXPECT_EQ(settings, -2) << "state " << c.state << ": no sheet without pages";
            continue;
        }
        EXPECT_EQ(active, 0) << "state " << c.state;
        openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) { active = sheet.GetActiveIndex(); });
        EXPECT_EQ(active, c.scheduleTab) << "state " << c.state;
    }
}

TEST_F(SheetTest, ALanguageChangeOnTheSavePageRetitlesEveryTabAtOnce) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    Titles before, after;
    std::wstring snapLabel;
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        before = tabs(sheet);
        ASSERT_TRUE(sheet.SetActivePage(&sheet.m_savePage));
        choose(sheet.m_savePage, IDC_SAVE_LANGUAGE, 1);
        after = tabs(sheet);
        snapLabel = sheet.m_savePage.GetDlgItem(IDC_SAVE_SNAP_LABEL)->GetWindowText();
    });
    EXPECT_EQ(before, (Titles{L"Channels", L"Save", L"Video", L"Schedule", L"User", L"My account"}));
    EXPECT_EQ(after, (Titles{L"Kanäle", L"Speichern", L"Video", L"Zeitplan", L"Benutzer", L"Mein Konto"}));
    EXPECT_EQ(snapLabel, L"Ordner für Schnappschüsse:");
    EXPECT_EQ(g_languageIndex, 1);
    EXPECT_EQ(app->m_config.m_language, 1);
    std::wstring stop;
    main->PopupMenu().GetSubMenu(0)->GetMenuString(ID_MENU_STOP, stop, MF_BYCOMMAND);
    EXPECT_EQ(stop, text(L"KQ_S_MENU_STOP")) << "the main window's menus follow";
    EXPECT_NE(stop, L"Stop");
}

TEST_F(SheetTest, WhileTheChannelPageScansOrChangesTheCountryTheOtherTabsAndTheFrameWait) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    app->m_session.countryCode = 39;
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Channel_Page& channels = sheet.m_channelPage;
        ASSERT_EQ(sheet.GetActivePage(), &channels);
        click(channels, IDC_CHN_SCAN);
        ASSERT_TRUE(boxCalled(L"StartScan 0,39,1,720,13808")) << "Italy's air band";
        ASSERT_TRUE(channels.IsScanning());
        const auto tries = [&](int tab) {
            clickTab(sheet, tab);
            EXPECT_EQ(sheet.GetActiveIndex(), tab) << "shown for a moment";
            return platform::mfc::PumpUiUntil([&] { return sheet.GetActiveIndex() == 0; }, 5000);
        };
        EXPECT_TRUE(tries(3)) << "back on the channel page";
        RECT r;
        sheet.GetWindowRect(&r);
        EXPECT_EQ(sheet.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.left + 20, r.bottom - 20)), HTCAPTION);
        QCloseEvent closeBox;
        QApplication::sendEvent(sheet.part()->face, &closeBox);
        platform::mfc::PumpUiFor(1);
        EXPECT_TRUE(sheet.GetSafeHwnd() && g_settingsSheetWnd == sheet.m_hWnd) << "the close box waits";

        channels.SendMessage(WM_BOX_SCAN_CHANNEL_FOUND, 3000, 5);
        EXPECT_EQ(static_cast<CListCtrl*>(channels.GetDlgItem(IDC_CHN_LIST))->GetItemText(0, 0), L"5");
        channels.SendMessage(WM_BOX_SCAN_FINISHED, 0, 0);
        EXPECT_FALSE(channels.IsScanning());
        EXPECT_TRUE(boxCalled(L"GetChannelTable")) << "the box's table becomes the login's";
        clickTab(sheet, 3);
        platform::mfc::PumpUiFor(50);
        EXPECT_EQ(sheet.GetActiveIndex(), 3) << "free again";

        ASSERT_TRUE(sheet.SetActivePage(0));
        CComboBox& countries = *static_cast<CComboBox*>(channels.GetDlgItem(IDC_CHN_COUNTRY));
        const int germany = countries.FindString(-1, L"Germany");
        choose(channels, IDC_CHN_COUNTRY, germany);
        EXPECT_TRUE(boxCalled(L"SetCountry 49"));
        EXPECT_TRUE(tries(2)) << "locked during the country change";
        channels.SendMessage(WM_BOX_COUNTRY_SET, 0, 0);
        EXPECT_FALSE(channels.IsScanning());
        EXPECT_EQ(sheet.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.left + 20, r.bottom - 20)), HTCLIENT);
    });
    EXPECT_EQ(app->m_config.m_countryId, 49);
    EXPECT_EQ(app->m_session.countryCode, 49);
    EXPECT_EQ(GetPrivateProfileIntW(L"Country", L"value", 0, L".\\Setup\\property.ini"), 49u);
}

TEST_F(SheetTest, ADueScheduleClosesTheSheetOnlyWhenBothFoldersExist) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    for (const char* missing : {"", "snap", "record"}) {
        const bool folders = *missing == '\0';
        if (!folders)
            std::filesystem::remove(temp / missing);
        messages.clear();
        int activeAfter = -1;
        bool focused = false;
        // Opened on the schedule page: the save page was never shown.
        const INT_PTR result = openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
            sheet.ShowWindow(SW_SHOW);
            ::PostMessage(g_settingsSheetWnd, WM_UI_SCHEDULE_DUE, 0, 0);
            ASSERT_TRUE(platform::mfc::PumpUiUntil([] { return g_settingsSheetWnd == nullptr; }, 5000));
            activeAfter = sheet.GetActiveIndex();
            const int field = std::string(missing) == "snap" ? IDC_SAVE_SNAP : IDC_SAVE_RECORD;
            focused = !folders && sheet.m_savePage.GetDlgItem(field)->IsFocused();
        });
        if (folders) {
            EXPECT_EQ(result, IDOK);
            EXPECT_TRUE(messages.empty());
            continue;
        }
        EXPECT_EQ(result, 77) << missing << ": stays open";
        EXPECT_EQ(activeAfter, 1) << missing << ": on the save page";
        EXPECT_TRUE(focused) << missing;
        ASSERT_EQ(messages.size(), 1u) << missing;
        EXPECT_EQ(messages[0].text, text(std::string(missing) == "snap" ? L"KQ_S_SET_INVALID_SNAP_PATH"
                                                                        : L"KQ_S_SET_INVALID_RECORD_PATH"));
        EXPECT_EQ(messages[0].caption, L"Solvane");
        std::filesystem::create_directories(temp / missing);
    }
}

TEST_F(SheetTest, OkClosesOnTheSavePagesCheckOfTheFoldersAsTheyStandWhateverPageIsActive) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    std::filesystem::remove(temp / "record");
    const INT_PTR result = openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        sheet.m_mayClose = 1; // whatever it held before counts for nothing
        click(sheet, IDOK);
        EXPECT_EQ(sheet.GetActivePage(), &sheet.m_savePage);
        EXPECT_EQ(sheet.m_mayClose, 0);
        // The user types a folder that exists, goes on to another page and presses OK there.
        sheet.m_savePage.GetDlgItem(IDC_SAVE_RECORD)->SetWindowText((temp / "snap").wstring());
        ASSERT_TRUE(sheet.SetActivePage(3));
        click(sheet, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, text(L"KQ_S_SET_INVALID_RECORD_PATH"));
    EXPECT_EQ(app->m_config.m_recordPath, (temp / "snap").wstring()) << "the field became the setting";
    EXPECT_EQ(GetPrivateProfileIntW(L"Save", L"Language", 7, L".\\setup\\property.ini"), 0u)
        << "the settings were saved";
}

} // namespace
