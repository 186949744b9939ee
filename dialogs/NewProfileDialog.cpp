#include "dialogs/NewProfileDialog.h"

#include "app/Language.h"
#include "dialogs/SettingsPage.h"
#include "dialogs/records/IrProfileStore.h"
#include "platform/mfc/Controls.h"

namespace {

constexpr TextKey kTexts[] = {
    {IDC_NP_LABEL, L"KQ_S_IR_NEW_NAME"}, {IDOK, L"KQ_S_SET_OK"}, {IDCANCEL, L"IDS_CANCEL"}};

} // namespace

const DialogTemplate& KQ_UI_NewProfileDialog::Template() {
    static const DialogTemplate t = [] {
        const DWORD tab = WS_VISIBLE | WS_TABSTOP;
        return DialogBoxTemplate(196, L"New profile", 220, 70,
                                 {
                                     Control(L"Static", IDC_NP_LABEL, 7, 9, 206, 10, WS_VISIBLE),
                                     Control(L"Edit", IDC_NP_NAME, 7, 22, 206, 13, tab | ES_AUTOHSCROLL),
                                     Control(L"Button", IDOK, 74, 47, 66, 15, tab | BS_DEFPUSHBUTTON),
                                     Control(L"Button", IDCANCEL, 147, 47, 66, 15, tab),
                                 });
    }();
    return t;
}

KQ_UI_NewProfileDialog::KQ_UI_NewProfileDialog(CWnd* parent) : CDialog(Template(), parent) {}

BOOL KQ_UI_NewProfileDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(LoadLanguageString(L"KQ_S_IR_NEW_TITLE"));
    ApplyTexts(*this, kTexts);
    static_cast<CEdit*>(GetDlgItem(IDC_NP_NAME))->LimitText(kProfileNameCharacters);
    GetDlgItem(IDC_NP_NAME)->SetFocus();
    return TRUE;
}

void KQ_UI_NewProfileDialog::OnOK() {
    const std::wstring name = GetDlgItem(IDC_NP_NAME)->GetWindowText();
    if (name.empty()) {
        KeyMessage(*this, L"KQ_S_IR_NAME_EMPTY", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    if (g_irProfileStore.HasProfile(name)) {
        KeyMessage(*this, L"KQ_S_IR_NAME_EXISTS", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    name_ = name;
    EndDialog(IDOK);
}
