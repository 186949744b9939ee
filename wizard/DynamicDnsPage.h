// The last page: dynamic DNS. The provider comes from configure.ini's list; Finish sends the provider's
// number, the domain name, the user name and the password with dynamic DNS on.
#pragma once

#include "wizard/WizardPage.h"

class CDynamicDNSPage : public CWizardPage {
public:
    explicit CDynamicDNSPage(CBoxLink& link);
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;
};
