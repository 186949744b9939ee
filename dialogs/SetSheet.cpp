#include "dialogs/SetSheet.h"

#include "app/Language.h"
#include "app/SettingsPages.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"

namespace {

constexpr int kHelpCommand = 9;

} // namespace

KQ_UI_Set_Sheet::KQ_UI_Set_Sheet(const std::wstring& caption, CWnd* parent, UINT selectPage)
    : CPropertySheet(caption, parent, selectPage) {
    for (SettingsPage page : SettingsPagesOf(SettingsApp().m_uiState)) {
        KQ_UI_SettingsPage* p = pageOf(page);
        AddPage(p);
        p->SetOwnTitle();
    }
    // An index the pages do not reach shows the first.
    if (selectPage >= static_cast<UINT>(GetPageCount()))
        SetActivePage(0);
    MapCommand(IDOK, [this] { onOk(); });
    MapCommand(kHelpCommand, [] {});
    MapMessage(WM_UI_SHEET_RETITLE, [this](WPARAM, LPARAM) {
        retitle();
        return LRESULT{0};
    });
    MapMessage(WM_UI_SHEET_LOCK_PAGES, [this](WPARAM page, LPARAM) {
        const int keep = GetPageIndex(reinterpret_cast<CPropertyPage*>(page));
        for (int i = 0; i < GetPageCount(); ++i)
            if (i != keep)
                locked_.insert(i);
        return LRESULT{0};
    });
    MapMessage(WM_UI_SHEET_UNLOCK_PAGES, [this](WPARAM, LPARAM) {
        for (int i = 0; i < GetPageCount(); ++i)
            locked_.erase(i);
        return LRESULT{0};
    });
    MapMessage(WM_UI_SCHEDULE_DUE, [this](WPARAM, LPARAM) {
        onScheduleDue();
        return LRESULT{0};
    });
}

KQ_UI_Set_Sheet::~KQ_UI_Set_Sheet() {
    DestroyWindow();
}

KQ_UI_SettingsPage* KQ_UI_Set_Sheet::pageOf(SettingsPage page) {
    switch (page) {
    case SettingsPage::Channel:
        return &m_channelPage;
    case SettingsPage::Save:
        return &m_savePage;
    case SettingsPage::Video:
        return &m_videoPage;
    case SettingsPage::Schedule:
        return &m_schedulePage;
    case SettingsPage::Remoter:
        return &m_remoterPage;
    case SettingsPage::User:
        return &m_userPage;
    case SettingsPage::MyAccount:
        return &m_myAccountPage;
    }
    return &m_savePage;
}

BOOL KQ_UI_Set_Sheet::OnInitDialog() {
    CPropertySheet::OnInitDialog();
    const TextKey buttons[] = {
        {IDOK, L"KQ_S_SET_OK"}, {IDCANCEL, L"KQ_S_SET_CANCEL"}, {ID_APPLY_NOW, L"KQ_S_SET_APPLY"}};
    ApplyTexts(*this, buttons);
    if (CWnd* help = GetDlgItem(kHelpCommand))
        help->ShowWindow(SW_HIDE);
    SendMessage(WM_UI_SHEET_RETITLE, 0, 0);
    g_settingsSheetWnd = m_hWnd;
    return TRUE;
}

void KQ_UI_Set_Sheet::OnDestroy() {
    if (g_settingsSheetWnd == m_hWnd)
        g_settingsSheetWnd = nullptr;
    CPropertySheet::OnDestroy();
}

// The active page sets its own tab text when it sets its texts.
void KQ_UI_Set_Sheet::retitle() {
    CTabCtrl* tabs = GetTabControl();
    if (!tabs)
        return;
    const int active = GetActiveIndex();
    for (int i = 0; i < GetPageCount(); ++i) {
        if (i == active)
            continue;
        const auto* page = dynamic_cast<KQ_UI_SettingsPage*>(GetPage(i));
        std::wstring text = LoadLanguageString(page->TitleKey());
        TCITEM item;
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        tabs->SetItem(i, &item);
    }
}

BOOL KQ_UI_Set_Sheet::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<NMHDR*>(lParam);
    CTabCtrl* tabs = GetTabControl();
    if (header && tabs && header->hwndFrom == tabs->m_hWnd) {
        if (header->code == TCN_SELCHANGING)
            changeFrom_ = GetActiveIndex();
        if (header->code == TCN_SELCHANGE && IsLocked(tabs->GetCurSel()))
            PostMessage(PSM_SETCURSEL, static_cast<WPARAM>(changeFrom_));
    }
    return CPropertySheet::OnNotify(wParam, lParam, result);
}

LRESULT KQ_UI_Set_Sheet::OnNcHitTest(POINT screen) {
    if (m_channelPage.IsScanning())
        return HTCAPTION;
    return CPropertySheet::OnNcHitTest(screen);
}

bool KQ_UI_Set_Sheet::applyActive() {
    CPropertyPage* active = GetActivePage();
    if (active && active->m_hWnd)
        active->OnOK();
    if (GetPageIndex(&m_savePage) < 0)
        m_mayClose = 1; // no folders to check
    else if (active != &m_savePage)
        m_savePage.Confirm(*this);
    return m_mayClose != 0;
}

void KQ_UI_Set_Sheet::onOk() {
    if (applyActive())
        EndDialog(IDOK);
}

void KQ_UI_Set_Sheet::onScheduleDue() {
    g_settingsSheetWnd = nullptr;
    if (applyActive()) {
        EndDialog(IDOK);
        return;
    }
    // The sheet stays open on the save page; the poll has reloaded the schedule meanwhile.
    m_schedulePage.ScheduleReloaded();
}

INT_PTR OpenSettingsSheet(CWnd* parent, int firstPage) {
    if (SettingsPagesOf(SettingsApp().m_uiState).empty())
        return -1;
    KQ_UI_Set_Sheet sheet(LoadLanguageString(L"KQ_S_SET_TITLE"), parent,
                          static_cast<UINT>(std::max(0, firstPage)));
    return sheet.DoModal();
}
