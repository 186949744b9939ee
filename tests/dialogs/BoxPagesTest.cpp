// The Channel, Video and My account pages against the test box: a scan lists the channels the box finds
// and its end takes the box's channel table into the login's table file and history, a video quality change
// reaches the box and is kept in the configuration, and a password change carries the three texts where the
// box reads them.
#include "BoxSheetFixture.h"

#include "app/LoginDialog.h"
#include "config/LoginFolder.h"
#include "dialogs/ChannelPage.h"
#include "dialogs/UserPages.h"
#include "dialogs/VideoPage.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Profile.h"
#include "tests/support/testbox/BoxWire.h"

#include <cstring>

namespace {

using testbox::kStartScan;
using testbox::kStopScan;
constexpr std::uint32_t kChangePassword = 0xFDFD2032;

class BoxPagesTest : public BoxSheetFixture {
protected:
    // The text the frame holds at offset: its length byte, then its characters.
    static std::string frameText(const testbox::ReceivedFrame& f, std::size_t offset) {
        const char* text = reinterpret_cast<const char*>(f.bytes.data() + offset + 1);
        return std::string(text, std::min<std::size_t>(f.bytes[offset], 16));
    }
    // The channels the table file holds, read as the next login would.
    static std::size_t tableEntries(const std::wstring& path) {
        KQ_AppConfig reread;
        return reread.LoadChannelTable(path) == kConfigOk ? reread.m_channelTable.size() : 0;
    }
};

TEST_F(BoxPagesTest, AScanListsWhatTheBoxFindsAndItsEndTakesTheBoxsTableIntoTheLoginsFileAndHistory) {
    const std::vector<testbox::ChannelEntry> found{{2, 772}, {5, 2804}};
    // The first scan runs to its end; the second one the user stops.
    testBox.Script(kStartScan,
                   std::vector<testbox::Reply>{
                       {.value = 200,
                        .delivery = {.gapMs = 100},
                        .follow = [&](const testbox::Frame& r) { return testbox::ScanAnswers(r, found); }},
                       {.value = 200}});
    testBox.Script(testbox::kGetChannelTable, testbox::Reply{.then = {testbox::ChannelTable(found)}});
    startProgram();
    loginByAddress();
    setState(UI_STATE_TV_PLAY);
    const std::wstring login = app->m_config.m_userRecord.text1;
    const std::wstring history = GetLoginHistoryPath(login, g_userDataRoot);
    const std::wstring table = GetLoginFolder(login, g_userDataRoot) + L"default.tlb";
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Channel_Page& page = sheet.m_channelPage;
        ASSERT_EQ(sheet.GetActivePage(), &page);
        auto& list = *static_cast<CListCtrl*>(page.GetDlgItem(IDC_CHN_LIST));
        const auto status = [&] { return page.GetDlgItem(IDC_CHN_STATUS)->GetWindowText(); };
        click(page, IDC_CHN_SCAN);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(kStartScan).empty(); }));
        EXPECT_TRUE(page.IsScanning());
        EXPECT_FALSE(page.GetDlgItem(IDC_CHN_SCAN)->IsWindowEnabled());
        ASSERT_TRUE(pumpUntil([&] { return !page.IsScanning(); }));
        EXPECT_EQ(status(), text(L"KQ_S_CHN_SCAN_DONE"));
        ASSERT_EQ(list.GetItemCount(), 2);
        EXPECT_EQ(list.GetItemText(0, 0), L"2");
        EXPECT_EQ(list.GetItemText(1, 0), L"5");
        EXPECT_EQ(list.GetItemText(1, 2), L"175.25 MHz");
        // The login made the file empty; the box's table fills it.
        ASSERT_TRUE(pumpUntil([&] { return tableEntries(table) == 2; })) << "the box's table kept";

        static_cast<CComboBox*>(page.GetDlgItem(IDC_CHN_SCAN_MODE))->SetCurSel(SCAN_CABLE);
        click(page, IDC_CHN_SCAN);
        ASSERT_TRUE(pumpUntil([&] { return framesOf(kStartScan).size() == 2; }));
        ASSERT_TRUE(
            pumpUntil([&] { return status() == text(L"KQ_S_CHN_SCANNING") && list.GetItemCount() == 0; }));
        click(page, IDC_CHN_STOP);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(kStopScan).empty(); }));
        EXPECT_EQ(framesOf(kStopScan)[0].value, static_cast<std::uint32_t>(SCAN_CABLE)) << "the selection";
        EXPECT_FALSE(page.IsScanning());
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 2; })) << "the box's table again";
    });
    wchar_t named[1024] = {};
    GetPrivateProfileStringW(L"Channel Table", L"Table", L"", named, 1024, history.c_str());
    EXPECT_EQ(std::wstring(named), table);
    KQ_AppConfig reread;
    ASSERT_EQ(reread.LoadChannelTable(table), kConfigOk);
    ASSERT_EQ(reread.m_channelTable.size(), 2u);
    EXPECT_EQ(reread.m_channelTable[0].channel, 2);
    EXPECT_EQ(reread.m_channelTable[0].frequency, 772u);
    EXPECT_EQ(reread.m_channelTable[1].channel, 5);
    EXPECT_EQ(reread.m_channelTable[1].frequency, 2804u);
}

TEST_F(BoxPagesTest, ATableThatArrivesDuringTheNextScanIsKeptButLeavesItsListEmpty) {
    const std::vector<testbox::ChannelEntry> found{{2, 772}, {5, 2804}};
    testBox.Script(
        kStartScan,
        std::vector<testbox::Reply>{
            {.value = 200, .follow = [&](const testbox::Frame& r) { return testbox::ScanAnswers(r, found); }},
            {.value = 200}});
    // The first scan's table comes late, when the user has already started the next scan.
    testBox.Script(testbox::kGetChannelTable,
                   testbox::Reply{.delayMs = 400, .then = {testbox::ChannelTable(found)}});
    startProgram();
    loginByAddress();
    setState(UI_STATE_TV_PLAY);
    const std::wstring table =
        GetLoginFolder(app->m_config.m_userRecord.text1, g_userDataRoot) + L"default.tlb";
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Channel_Page& page = sheet.m_channelPage;
        auto& list = *static_cast<CListCtrl*>(page.GetDlgItem(IDC_CHN_LIST));
        click(page, IDC_CHN_SCAN);
        ASSERT_TRUE(pumpUntil([&] { return framesOf(kStartScan).size() == 1 && !page.IsScanning(); }));
        click(page, IDC_CHN_SCAN);
        ASSERT_TRUE(pumpUntil([&] { return tableEntries(table) == 2; })) << "the late table kept";
        EXPECT_TRUE(page.IsScanning());
        EXPECT_EQ(page.GetDlgItem(IDC_CHN_STATUS)->GetWindowText(), text(L"KQ_S_CHN_SCANNING"));
        EXPECT_EQ(list.GetItemCount(), 0) << "only what this scan finds";
        click(page, IDC_CHN_STOP);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 2; })) << "the box's table after the stop";
    });
}

TEST_F(BoxPagesTest, AVideoQualityChangeReachesTheBoxRestartsTheStreamAndIsKept) {
    // The box answers 200 when it was asked for another picture size: its stream restarts.
    testBox.Script(testbox::kSetVideoQuality,
                   testbox::Reply{.shape = [](const testbox::Frame& request, testbox::Frame& answer) {
                       answer[16] = request[16];
                   }});
    startProgram();
    loginByAddress();
    const int before = app->m_pBoxClient->CurrentSizeClass();
    const int chosen = before == 1 ? 3 : 1; // another picture size
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Video_Page& page = sheet.m_videoPage;
        ASSERT_TRUE(sheet.SetActivePage(&page));
        static_cast<CComboBox*>(page.GetDlgItem(IDC_VID_SIZE))->SetCurSel(chosen);
        static_cast<CSpinButtonCtrl*>(page.GetDlgItem(IDC_VID_RATE_SPIN))->SetPos(25);
        static_cast<CSpinButtonCtrl*>(page.GetDlgItem(IDC_VID_BITS_SPIN))->SetPos(1500);
        click(page, IDC_VID_APPLY);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(testbox::kSetVideoQuality).empty(); }));
        const testbox::ReceivedFrame f = framesOf(testbox::kSetVideoQuality)[0];
        EXPECT_EQ(f.value, static_cast<std::uint32_t>(chosen + 2));
        EXPECT_EQ(f.bytes[16], 200) << "another size";
        EXPECT_EQ(f.value2, 1500u);
        EXPECT_EQ(f.value3, 25u);
        ASSERT_TRUE(pumpUntil([&] { return page.GetDlgItem(IDC_VID_APPLY)->IsWindowEnabled(); }));
        EXPECT_EQ(page.GetDlgItem(IDC_VID_STATUS)->GetWindowText(), text(L"KQ_S_VIDEO_SET"));
    });
    EXPECT_TRUE(playerCalled(L"RestartLive"));
    EXPECT_EQ(app->m_pBoxClient->CurrentSizeClass(), chosen);
    EXPECT_EQ(GetPrivateProfileIntW(L"Video Quality", L"Resolv", -1, L".\\Setup\\property.ini"),
              static_cast<UINT>(chosen));
    EXPECT_EQ(GetPrivateProfileIntW(L"Video Quality", L"FrameRate", -1, L".\\Setup\\property.ini"), 25u);
    EXPECT_EQ(GetPrivateProfileIntW(L"Video Quality", L"BitsRate", -1, L".\\Setup\\property.ini"), 1500u);
}

TEST_F(BoxPagesTest, APasswordChangeSendsUserOldAndNewAndTheNextLoginHasTheNewOne) {
    startProgram();
    loginByAddress();
    openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_MyAccount_Page& page = sheet.m_myAccountPage;
        ASSERT_TRUE(sheet.SetActivePage(&page));
        EXPECT_EQ(page.GetDlgItem(IDC_ACC_USER)->GetWindowText(), L"guest");
        const auto fill = [&](const wchar_t* old, const wchar_t* fresh, const wchar_t* confirm) {
            page.GetDlgItem(IDC_ACC_OLD)->SetWindowText(old);
            page.GetDlgItem(IDC_ACC_NEW)->SetWindowText(fresh);
            page.GetDlgItem(IDC_ACC_CONFIRM)->SetWindowText(confirm);
            click(page, IDC_ACC_CHANGE);
        };
        fill(L"", L"secret7", L"secret8");
        EXPECT_TRUE(shownMessage(L"KQ_S_ACCOUNT_MISMATCH"));
        platform::mfc::PumpUiFor(50);
        EXPECT_TRUE(framesOf(kChangePassword).empty()) << "nothing sent";

        fill(L"", L"secret7", L"secret7");
        ASSERT_TRUE(pumpUntil([&] { return shownMessage(L"KQ_S_ACCOUNT_CHANGED"); }));
        ASSERT_EQ(framesOf(kChangePassword).size(), 1u);
        const testbox::ReceivedFrame f = framesOf(kChangePassword)[0];
        EXPECT_EQ(frameText(f, 16), "guest");
        EXPECT_EQ(frameText(f, 33), "");
        EXPECT_EQ(frameText(f, 50), "secret7");
        EXPECT_EQ(page.GetDlgItem(IDC_ACC_NEW)->GetWindowText(), L"");
    });
    EXPECT_EQ(app->m_config.m_userRecord.text3, L"secret7");
    EXPECT_EQ(login().GetDlgItem(IDC_LOGIN_PASSWORD)->GetWindowText(), L"secret7");
    KQ_UI_UserRecord stored;
    ASSERT_TRUE(stored.Load());
    EXPECT_EQ(stored.text3, L"secret7");
}

} // namespace
