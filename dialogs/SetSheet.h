// KQ_UI_Set_Sheet: the modal property sheet of every settings page. The UI state when it is built chooses
// its pages (app/SettingsPages.h); it keeps the tab texts in the current language, locks the other tabs
// while the channel page runs a scan or a country change (the close box and the frame wait meanwhile), and
// applies its active page and closes when a PC schedule falls due. It closes on OK only when the save
// page's check found both folders.
//
// UI thread only. g_settingsSheetWnd holds its window from its initialisation until a due schedule or
// the end of its window.
#pragma once

#include "app/SettingsPages.h"
#include "dialogs/ChannelPage.h"
#include "dialogs/RemoterPage.h"
#include "dialogs/SavePage.h"
#include "dialogs/SchedulePage.h"
#include "dialogs/UserPages.h"
#include "dialogs/VideoPage.h"
#include "platform/mfc/PropertySheet.h"

#include <unordered_set>

// Messages to the sheet. (The main window's WM_UI_SET_STATE has the number of the first; the two never
// reach the same window.)
constexpr UINT WM_UI_SHEET_RETITLE = 0x2B10;      // re-title every tab but the active one
constexpr UINT WM_UI_SHEET_LOCK_PAGES = 0x2B11;   // wParam: the page (CPropertyPage*) that stays usable
constexpr UINT WM_UI_SHEET_UNLOCK_PAGES = 0x2B13; // every tab usable again

class KQ_UI_Set_Sheet : public CPropertySheet {
public:
    // The pages the current UI state gives, each titled from its key; selectPage is the tab to show first.
    KQ_UI_Set_Sheet(const std::wstring& caption, CWnd* parent, UINT selectPage);
    ~KQ_UI_Set_Sheet() override;

    BOOL OnInitDialog() override;

    bool IsLocked(int index) const { return locked_.count(index) != 0; }
    // Set by the save page's folder check: 1 when both folders exist.
    int m_mayClose = 0;

    KQ_UI_Channel_Page m_channelPage;
    KQ_UI_Save_Page m_savePage;
    KQ_UI_Schedule_Page m_schedulePage;
    KQ_UI_Video_Page m_videoPage;
    KQ_UI_Remoter_Page m_remoterPage;
    KQ_UI_User_Page m_userPage;
    KQ_UI_MyAccount_Page m_myAccountPage;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT OnNcHitTest(POINT screen) override;
    void OnDestroy() override;

private:
    KQ_UI_SettingsPage* pageOf(SettingsPage page);
    void retitle();
    // The active page's OK, and the save page's (its folder check with its fields as they stand) when the
    // save page is in the sheet but not active; true when the sheet may close.
    bool applyActive();
    void onOk();
    void onScheduleDue();

    int changeFrom_ = 0; // the active tab when a tab change began
    std::unordered_set<int> locked_;
};

// Opens the settings sheet modally over parent on the tab firstPage (0 when out of range) and answers how
// it ended; -1, and nothing shown, when the UI state gives it no pages. What the program sets as
// AppServices::openSettings.
INT_PTR OpenSettingsSheet(CWnd* parent, int firstPage);
