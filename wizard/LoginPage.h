// The first page: the box's device ID and password. Next logs in (always as "admin"); the page stays with
// a message when no box answers or the box refuses the login.
#pragma once

#include "wizard/WizardPage.h"

class CLoginPage : public CWizardPage {
public:
    explicit CLoginPage(CBoxLink& link);
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
