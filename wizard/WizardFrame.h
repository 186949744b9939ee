// The wizard's sheet: the login, network and dynamic-DNS pages in wizard mode, with the caption and the
// buttons in the wizard's language.
#pragma once

#include "wizard/DynamicDnsPage.h"
#include "wizard/LoginPage.h"
#include "wizard/NetworkPage.h"

class CWizardFrame : public CPropertySheet {
public:
    explicit CWizardFrame(CBoxLink& link);
    BOOL OnInitDialog() override;

    CLoginPage& LoginPage() { return login_; }
    CNetworkPage& NetworkPage() { return network_; }
    CDynamicDNSPage& DynamicDnsPage() { return ddns_; }

private:
    CLoginPage login_;
    CNetworkPage network_;
    CDynamicDNSPage ddns_;
};
