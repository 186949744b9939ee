// KQ_UI_User_Page and KQ_UI_MyAccount_Page: the login as the box knows it. The user page shows the box's
// serial number (the login ID) and the user logged in; the account page changes that user's password on
// the box.
#pragma once

#include "dialogs/SettingsPage.h"

enum UserPagesControl {
    IDC_USR_SERIAL_LABEL = 1900,
    IDC_USR_SERIAL = 1901,
    IDC_USR_NAME_LABEL = 1902,
    IDC_USR_NAME = 1903,
    IDC_ACC_USER_LABEL = 1910,
    IDC_ACC_USER = 1911,
    IDC_ACC_OLD_LABEL = 1912,
    IDC_ACC_OLD = 1913,
    IDC_ACC_NEW_LABEL = 1914,
    IDC_ACC_NEW = 1915,
    IDC_ACC_CONFIRM_LABEL = 1916,
    IDC_ACC_CONFIRM = 1917,
    IDC_ACC_CHANGE = 1918,
    IDC_ACC_STATUS = 1919,
};

class KQ_UI_User_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_User_Page();
    ~KQ_UI_User_Page() override;
    static const DialogTemplate& Template(); // 3006
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};

class KQ_UI_MyAccount_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_MyAccount_Page();
    ~KQ_UI_MyAccount_Page() override;
    static const DialogTemplate& Template(); // 3007
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

private:
    void onChange();
    LRESULT onChanged();

    std::wstring pending_; // the new password, until the box answers
};
