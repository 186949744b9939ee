#include "dialogs/SavePage.h"

#include "app/Language.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "dialogs/SetSheet.h"
#include "platform/win32/Paths.h"

namespace {

constexpr TextKey kTexts[] = {
    {IDC_SAVE_SNAP_LABEL, L"KQ_S_SAVE_SNAP_PATH"},
    {IDC_SAVE_RECORD_LABEL, L"KQ_S_SAVE_RECORD_PATH"},
    {IDC_SAVE_LANGUAGE_LABEL, L"KQ_S_SAVE_LANGUAGE"},
};

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

const DialogTemplate& KQ_UI_Save_Page::Template() {
    static const DialogTemplate t = [] {
        const DWORD edit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
        return PageTemplate(3002, L"Save",
                            {
                                Control(L"Static", IDC_SAVE_SNAP_LABEL, 7, 9, 356, 10, WS_VISIBLE),
                                Control(L"Edit", IDC_SAVE_SNAP, 7, 21, 356, 13, edit),
                                Control(L"Static", IDC_SAVE_RECORD_LABEL, 7, 43, 356, 10, WS_VISIBLE),
                                Control(L"Edit", IDC_SAVE_RECORD, 7, 55, 356, 13, edit),
                                Control(L"Static", IDC_SAVE_LANGUAGE_LABEL, 7, 79, 120, 10, WS_VISIBLE),
                                Control(L"ComboBox", IDC_SAVE_LANGUAGE, 130, 77, 120, 14,
                                        WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST),
                            });
    }();
    return t;
}

KQ_UI_Save_Page::KQ_UI_Save_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_SAVE_TITLE") {
    MapNotify(IDC_SAVE_LANGUAGE, CBN_SELCHANGE, [this] { onLanguage(); });
}

BOOL KQ_UI_Save_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    const KQ_AppConfig& c = app().m_config;
    GetDlgItem(IDC_SAVE_SNAP)->SetWindowText(c.m_snapPath);
    GetDlgItem(IDC_SAVE_RECORD)->SetWindowText(c.m_recordPath);
    auto* languages = static_cast<CComboBox*>(GetDlgItem(IDC_SAVE_LANGUAGE));
    for (const std::wstring& name : LanguageNames())
        languages->AddString(name);
    languages->SetCurSel(g_languageIndex);
    return TRUE;
}

BOOL KQ_UI_Save_Page::OnSetActive() {
    setTexts();
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_Save_Page::setTexts() {
    ApplyTexts(*this, kTexts);
    SetOwnTitle();
}

void KQ_UI_Save_Page::onLanguage() {
    const int index = static_cast<CComboBox*>(GetDlgItem(IDC_SAVE_LANGUAGE))->GetCurSel();
    if (index < 0 || index == g_languageIndex)
        return;
    // The main window's language command: the language, its menus and tooltips, and the login pane.
    if (KQ_UI_VeloqDlg* main = app().m_pMainDlg; main && main->m_hWnd) {
        main->SendMessage(WM_COMMAND, MAKEWPARAM(kLanguageMenuFirst + index, 0), 0);
    } else {
        g_languageIndex = index;
        app().m_config.m_language = index;
    }
    setTexts();
    if (KQ_UI_Set_Sheet* s = sheet())
        s->SendMessage(WM_UI_SHEET_RETITLE, 0, 0);
}

void KQ_UI_Save_Page::OnOK() {
    if (KQ_UI_Set_Sheet* s = sheet())
        Confirm(*s);
}

void KQ_UI_Save_Page::Confirm(KQ_UI_Set_Sheet& s) {
    KQ_AppConfig& c = app().m_config;
    const struct {
        int id;
        std::wstring path;
        const wchar_t* key;
    } folders[] = {
        {IDC_SAVE_SNAP, m_hWnd ? GetDlgItem(IDC_SAVE_SNAP)->GetWindowText() : c.m_snapPath,
         L"KQ_S_SET_INVALID_SNAP_PATH"},
        {IDC_SAVE_RECORD, m_hWnd ? GetDlgItem(IDC_SAVE_RECORD)->GetWindowText() : c.m_recordPath,
         L"KQ_S_SET_INVALID_RECORD_PATH"},
    };
    for (const auto& f : folders) {
        if (isFolder(f.path))
            continue;
        s.m_mayClose = 0;
        s.SetActivePage(this);
        KeyMessage(m_hWnd ? static_cast<CWnd&>(*this) : s, f.key, L"Solvane", MB_ICONINFORMATION);
        if (m_hWnd)
            GetDlgItem(f.id)->SetFocus();
        return;
    }
    s.m_mayClose = 1;
    if (!m_hWnd)
        return; // nothing changed here
    c.m_snapPath = folders[0].path;
    c.m_recordPath = folders[1].path;
    c.m_language = g_languageIndex;
    c.Save();
}
