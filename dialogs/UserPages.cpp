#include "dialogs/UserPages.h"

#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"

namespace {

constexpr TextKey kUserTexts[] = {{IDC_USR_SERIAL_LABEL, L"KQ_S_USER_SERIAL"},
                                  {IDC_USR_NAME_LABEL, L"KQ_S_USER_NAME"}};
constexpr TextKey kAccountTexts[] = {
    {IDC_ACC_USER_LABEL, L"KQ_S_USER_NAME"},
    {IDC_ACC_OLD_LABEL, L"KQ_S_ACCOUNT_OLD_PASSWORD"},
    {IDC_ACC_NEW_LABEL, L"KQ_S_ACCOUNT_NEW_PASSWORD"},
    {IDC_ACC_CONFIRM_LABEL, L"KQ_S_ACCOUNT_CONFIRM_PASSWORD"},
    {IDC_ACC_CHANGE, L"KQ_S_ACCOUNT_CHANGE"},
};

} // namespace

const DialogTemplate& KQ_UI_User_Page::Template() {
    static const DialogTemplate t =
        PageTemplate(3006, L"User",
                     {
                         Control(L"Static", IDC_USR_SERIAL_LABEL, 7, 11, 130, 10, WS_VISIBLE),
                         Control(L"Static", IDC_USR_SERIAL, 140, 11, 223, 10, WS_VISIBLE),
                         Control(L"Static", IDC_USR_NAME_LABEL, 7, 29, 130, 10, WS_VISIBLE),
                         Control(L"Static", IDC_USR_NAME, 140, 29, 223, 10, WS_VISIBLE),
                     });
    return t;
}

KQ_UI_User_Page::KQ_UI_User_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_L_USER_TITLE") {}

KQ_UI_User_Page::~KQ_UI_User_Page() {
    DestroyWindow();
}

BOOL KQ_UI_User_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    const KQ_UI_UserRecord& user = app().m_config.m_userRecord;
    GetDlgItem(IDC_USR_SERIAL)->SetWindowText(user.text1);
    GetDlgItem(IDC_USR_NAME)->SetWindowText(user.text2);
    return TRUE;
}

BOOL KQ_UI_User_Page::OnSetActive() {
    ApplyTexts(*this, kUserTexts);
    SetOwnTitle();
    return KQ_UI_SettingsPage::OnSetActive();
}

const DialogTemplate& KQ_UI_MyAccount_Page::Template() {
    const DWORD password = WS_VISIBLE | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;
    static const DialogTemplate t =
        PageTemplate(3007, L"My account",
                     {
                         Control(L"Static", IDC_ACC_USER_LABEL, 7, 11, 130, 10, WS_VISIBLE),
                         Control(L"Static", IDC_ACC_USER, 140, 11, 223, 10, WS_VISIBLE),
                         Control(L"Static", IDC_ACC_OLD_LABEL, 7, 31, 130, 10, WS_VISIBLE),
                         Control(L"Edit", IDC_ACC_OLD, 140, 29, 120, 13, password),
                         Control(L"Static", IDC_ACC_NEW_LABEL, 7, 51, 130, 10, WS_VISIBLE),
                         Control(L"Edit", IDC_ACC_NEW, 140, 49, 120, 13, password),
                         Control(L"Static", IDC_ACC_CONFIRM_LABEL, 7, 71, 130, 10, WS_VISIBLE),
                         Control(L"Edit", IDC_ACC_CONFIRM, 140, 69, 120, 13, password),
                         Control(L"Button", IDC_ACC_CHANGE, 140, 90, 120, 14, WS_VISIBLE | WS_TABSTOP),
                         Control(L"Static", IDC_ACC_STATUS, 7, 114, 356, 20, WS_VISIBLE),
                     });
    return t;
}

KQ_UI_MyAccount_Page::KQ_UI_MyAccount_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_L_MYACOUNT_TITLE") {
    MapCommand(IDC_ACC_CHANGE, [this] { onChange(); });
    MapMessage(WM_BOX_PASSWORD_CHANGED, [this](WPARAM, LPARAM) { return onChanged(); });
    MapMessage(WM_BOX_PASSWORD_CHANGE_FAILED, [this](WPARAM, LPARAM) {
        pending_.clear();
        KeyMessage(*this, L"KQ_S_ACCOUNT_CHANGE_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return LRESULT{0};
    });
}

KQ_UI_MyAccount_Page::~KQ_UI_MyAccount_Page() {
    DestroyWindow();
}

BOOL KQ_UI_MyAccount_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    GetDlgItem(IDC_ACC_USER)->SetWindowText(app().m_config.m_userRecord.text2);
    for (int id : {IDC_ACC_OLD, IDC_ACC_NEW, IDC_ACC_CONFIRM})
        static_cast<CEdit*>(GetDlgItem(id))->LimitText(16);
    return TRUE;
}

BOOL KQ_UI_MyAccount_Page::OnSetActive() {
    ApplyTexts(*this, kAccountTexts);
    SetOwnTitle();
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_MyAccount_Page::onChange() {
    const std::wstring user = app().m_config.m_userRecord.text2;
    const std::wstring old = GetDlgItem(IDC_ACC_OLD)->GetWindowText();
    const std::wstring fresh = GetDlgItem(IDC_ACC_NEW)->GetWindowText();
    if (fresh != GetDlgItem(IDC_ACC_CONFIRM)->GetWindowText()) {
        KeyMessage(*this, L"KQ_S_ACCOUNT_MISMATCH", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    InputError error;
    if (!CheckCredentials(user, fresh, error) || !CheckCredentials(user, old, error)) {
        KeyMessage(*this, error.key, error.caption.c_str(), error.type);
        return;
    }
    BoxClientPort* box = app().m_pBoxClient;
    if (!box || !box->ChangePassword(m_hWnd, user, old, fresh)) {
        KeyMessage(*this, L"KQ_S_ACCOUNT_CHANGE_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    pending_ = fresh;
    GetDlgItem(IDC_ACC_STATUS)->SetWindowText(LoadLanguageString(L"KQ_S_ACCOUNT_CHANGING"));
}

// The next login needs the new password: the login pane and the remembered login get it.
LRESULT KQ_UI_MyAccount_Page::onChanged() {
    KQ_UI_VeloqApp& a = app();
    if (pending_.empty())
        return 0;
    a.m_config.m_userRecord.text3 = pending_;
    a.m_config.m_userRecord.Save();
    if (KQ_UI_CLoginDialog* login = a.m_pLoginDlg; login && login->m_hWnd)
        login->GetDlgItem(IDC_LOGIN_PASSWORD)->SetWindowText(pending_);
    pending_.clear();
    for (int id : {IDC_ACC_OLD, IDC_ACC_NEW, IDC_ACC_CONFIRM})
        GetDlgItem(id)->SetWindowText(L"");
    GetDlgItem(IDC_ACC_STATUS)->SetWindowText(L"");
    KeyMessage(*this, L"KQ_S_ACCOUNT_CHANGED", L"Solvane Player", MB_ICONINFORMATION);
    return 0;
}
