#include "wizard/WizardFrame.h"

#include "wizard/QuorraText.h"

CWizardFrame::CWizardFrame(CBoxLink& link)
    : CPropertySheet(LoadQuorraString(L"IDS_WIZARD_TITLE")), login_(link), network_(link), ddns_(link) {
    AddPage(&login_);
    AddPage(&network_);
    AddPage(&ddns_);
    SetWizardMode();
    // Finish stands beside Next: the network page ends the wizard there, or goes on to dynamic DNS.
    m_psh.dwFlags |= PSH_WIZARDHASFINISH;
}

BOOL CWizardFrame::OnInitDialog() {
    CPropertySheet::OnInitDialog();
    const struct {
        int id;
        const wchar_t* key;
    } buttons[] = {{ID_WIZBACK, L"IDS_BUTTON_BACK"},
                   {ID_WIZNEXT, L"IDS_BUTTON_NEXT"},
                   {ID_WIZFINISH, L"IDS_BUTTON_FINISH"},
                   {IDCANCEL, L"IDS_BUTTON_CANCEL"}};
    for (const auto& b : buttons)
        if (CWnd* button = GetDlgItem(b.id))
            button->SetWindowText(LoadQuorraString(b.key));
    return TRUE;
}
