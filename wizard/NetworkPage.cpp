#include "wizard/NetworkPage.h"

#include "platform/mfc/Controls.h"
#include "wizard/QuorraText.h"
#include "wizard/WizardTemplates.h"

#include <cwchar>

namespace {

constexpr int kStaticFields[] = {
    IDC_NETWORK_IP_LABEL,      IDC_NETWORK_IP,      IDC_NETWORK_MASK_LABEL, IDC_NETWORK_MASK,
    IDC_NETWORK_GATEWAY_LABEL, IDC_NETWORK_GATEWAY, IDC_NETWORK_DNS_LABEL,  IDC_NETWORK_DNS};
constexpr int kPppoeFields[] = {IDC_NETWORK_ACCOUNT_LABEL, IDC_NETWORK_ACCOUNT,
                                IDC_NETWORK_PPPOE_PASSWORD_LABEL, IDC_NETWORK_PPPOE_PASSWORD};

} // namespace

CNetworkPage::CNetworkPage(CBoxLink& link) : CWizardPage(NetworkPageTemplate(), link) {
    for (const int id : {IDC_NETWORK_DHCP, IDC_NETWORK_STATIC, IDC_NETWORK_PPPOE})
        MapCommand(id, [this] { ShowMode(); });
}

BOOL CNetworkPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    static_cast<CButton*>(GetDlgItem(IDC_NETWORK_DHCP))->SetCheck(BST_CHECKED);
    ShowMode();
    return TRUE;
}

BOOL CNetworkPage::OnSetActive() {
    SetButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
    return CWizardPage::OnSetActive();
}

DWORD CNetworkPage::Mode() const {
    if (static_cast<CButton*>(GetDlgItem(IDC_NETWORK_STATIC))->GetCheck() == BST_CHECKED)
        return NET_MODE_STATIC;
    if (static_cast<CButton*>(GetDlgItem(IDC_NETWORK_PPPOE))->GetCheck() == BST_CHECKED)
        return NET_MODE_PPPOE;
    return NET_MODE_DHCP;
}

void CNetworkPage::ShowMode() {
    const DWORD mode = Mode();
    for (const int id : kStaticFields)
        GetDlgItem(id)->EnableWindow(mode == NET_MODE_STATIC);
    for (const int id : kPppoeFields)
        GetDlgItem(id)->EnableWindow(mode == NET_MODE_PPPOE);
}

bool CNetworkPage::AddressText(int id, const wchar_t* errorKey, std::wstring& text) {
    auto* field = static_cast<CIPAddressCtrl*>(GetDlgItem(id));
    DWORD address = 0;
    // A field left blank would reach the box as a wrong address.
    if (field->GetAddress(address) != 4) {
        TellKey(errorKey, MB_ICONWARNING);
        field->SetFocus();
        return false;
    }
    wchar_t dotted[16];
    std::swprintf(dotted, 16, L"%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                  address & 0xFF);
    text = dotted;
    return true;
}

bool CNetworkPage::SendSettings() {
    bool sent = false;
    switch (Mode()) {
    case NET_MODE_STATIC: {
        std::wstring address, mask, gateway, dns;
        if (!AddressText(IDC_NETWORK_IP, L"IDS_ERR_IP_ADDRESS", address) ||
            !AddressText(IDC_NETWORK_MASK, L"IDS_ERR_SUBNET_MASK", mask) ||
            !AddressText(IDC_NETWORK_GATEWAY, L"IDS_ERR_GATEWAY", gateway) ||
            !AddressText(IDC_NETWORK_DNS, L"IDS_ERR_DNS", dns))
            return false;
        sent = link_.SendStaticMode(NET_MODE_STATIC, address, mask, gateway, dns);
        break;
    }
    case NET_MODE_PPPOE:
        if (!Fits(IDC_NETWORK_ACCOUNT, kPppoeTextSlot, L"IDS_ERR_PPPOE_ACCOUNT_LONG") ||
            !Fits(IDC_NETWORK_PPPOE_PASSWORD, kPppoeTextSlot, L"IDS_ERR_PPPOE_PASSWORD_LONG"))
            return false;
        sent = link_.SendPppoeMode(Text(IDC_NETWORK_ACCOUNT), Text(IDC_NETWORK_PPPOE_PASSWORD));
        break;
    default:
        sent = link_.SendDhcpMode(NET_MODE_DHCP);
        break;
    }
    if (!sent)
        TellKey(L"IDS_MSG_NETWORK_FAILED", MB_ICONWARNING);
    return sent;
}

LRESULT CNetworkPage::OnWizardNext() {
    if (!SendSettings())
        return -1;
    TellKey(L"IDS_MSG_NETWORK_DONE");
    return 0;
}

BOOL CNetworkPage::OnWizardFinish() {
    if (!SendSettings())
        return FALSE;
    // The network settings stand whatever the box answers to dynamic DNS: the wizard ends either way.
    const bool off = link_.SendDdnsSettings(L"", L"", L"", 0, 0);
    Tell(LoadQuorraString(L"IDS_MSG_NETWORK_DONE") + L"\r\n" +
             LoadQuorraString(off ? L"IDS_MSG_DDNS_OFF" : L"IDS_MSG_DDNS_OFF_FAILED"),
         off ? MB_ICONINFORMATION : MB_ICONWARNING);
    return TRUE;
}
