// KQ_UI_Save_Page: where snapshots and recordings go, and the language of the program. A new language
// takes effect at once in the main window (its language command) and in every tab. Its OK checks that
// both folders exist: that check decides whether the settings sheet may close.
#pragma once

#include "dialogs/SettingsPage.h"

enum SavePageControl {
    IDC_SAVE_SNAP_LABEL = 1300,
    IDC_SAVE_SNAP = 1301,
    IDC_SAVE_RECORD_LABEL = 1302,
    IDC_SAVE_RECORD = 1303,
    IDC_SAVE_LANGUAGE_LABEL = 1304,
    IDC_SAVE_LANGUAGE = 1305,
};

class KQ_UI_Save_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_Save_Page();
    static const DialogTemplate& Template(); // 3002

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // Confirm in the page's own sheet.
    void OnOK() override;
    // Checks the folders, with the page's fields as they stand (the settings' own while the page was never
    // shown), and sets the sheet's may-close flag; on a missing one comes to the front, shows why and puts
    // the focus in its field. With both there, the fields become the settings, which are saved.
    void Confirm(KQ_UI_Set_Sheet& sheet);

private:
    void setTexts();
    void onLanguage();
};
