#include "wizard/LoginPage.h"

#include "wizard/WizardTemplates.h"

CLoginPage::CLoginPage(CBoxLink& link) : CWizardPage(LoginPageTemplate(), link) {}

BOOL CLoginPage::OnSetActive() {
    SetButtons(PSWIZB_NEXT | PSWIZB_DISABLEDFINISH);
    return CWizardPage::OnSetActive();
}

LRESULT CLoginPage::OnWizardNext() {
    const std::wstring id = Text(IDC_LOGIN_ID);
    if (id.empty()) {
        TellKey(L"IDS_ERR_ID_EMPTY", MB_ICONWARNING);
        GetDlgItem(IDC_LOGIN_ID)->SetFocus();
        return -1;
    }
    if (!Fits(IDC_LOGIN_ID, kDeviceIdSlot, L"IDS_ERR_ID_LONG") ||
        !Fits(IDC_LOGIN_PASSWORD, kPasswordSlot, L"IDS_ERR_PASSWORD_LONG"))
        return -1;
    switch (link_.Login(id, L"admin", Text(IDC_LOGIN_PASSWORD))) {
    case 1:
        return 0;
    case 0:
        TellKey(L"IDS_MSG_LOGIN_REFUSED", MB_ICONWARNING);
        return -1;
    default:
        TellKey(L"IDS_MSG_BOX_NOT_FOUND", MB_ICONWARNING);
        return -1;
    }
}
