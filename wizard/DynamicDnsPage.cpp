#include "wizard/DynamicDnsPage.h"

#include "platform/mfc/Controls.h"
#include "wizard/QuorraText.h"
#include "wizard/WizardTemplates.h"

#include <algorithm>

CDynamicDNSPage::CDynamicDNSPage(CBoxLink& link) : CWizardPage(DdnsPageTemplate(), link) {}

BOOL CDynamicDNSPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    auto* providers = static_cast<CComboBox*>(GetDlgItem(IDC_DDNS_PROVIDER));
    for (const std::wstring& provider : LoadIspList())
        providers->AddString(provider);
    providers->SetCurSel(0);
    return TRUE;
}

BOOL CDynamicDNSPage::OnSetActive() {
    SetButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CWizardPage::OnSetActive();
}

BOOL CDynamicDNSPage::OnWizardFinish() {
    if (!Fits(IDC_DDNS_DOMAIN, kDdnsDomainSlot, L"IDS_ERR_DOMAIN_LONG") ||
        !Fits(IDC_DDNS_USER, kDdnsTextSlot, L"IDS_ERR_DDNS_USER_LONG") ||
        !Fits(IDC_DDNS_PASSWORD, kDdnsTextSlot, L"IDS_ERR_DDNS_PASSWORD_LONG"))
        return FALSE;
    // The box knows the providers by their place in the list.
    const int provider = std::max(0, static_cast<CComboBox*>(GetDlgItem(IDC_DDNS_PROVIDER))->GetCurSel());
    if (!link_.SendDdnsSettings(Text(IDC_DDNS_DOMAIN), Text(IDC_DDNS_USER), Text(IDC_DDNS_PASSWORD), provider,
                                1)) {
        TellKey(L"IDS_MSG_DDNS_FAILED", MB_ICONWARNING);
        return FALSE;
    }
    TellKey(L"IDS_MSG_DDNS_DONE");
    return TRUE;
}
