// The second page: how the box reaches the network. DHCP, a static address (address, mask, gateway, DNS
// server) or PPPoE (account and password); only the fields of the chosen mode are enabled. Next sends the
// settings and goes on to dynamic DNS; Finish sends them and switches dynamic DNS off.
#pragma once

#include "wizard/WizardPage.h"

class CNetworkPage : public CWizardPage {
public:
    explicit CNetworkPage(CBoxLink& link);
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnWizardFinish() override;

private:
    DWORD Mode() const;
    void ShowMode();
    // Checks what the chosen mode needs and sends it; false (with its message) when it was refused or
    // the box did not take it.
    bool SendSettings();
    bool AddressText(int id, const wchar_t* errorKey, std::wstring& text);
};
