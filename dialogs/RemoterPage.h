// KQ_UI_Remoter_Page: the IR remote profiles of the box. The user picks the current profile (kept in the
// login's history and loaded into the key map the remote pane uses), makes new ones, lets the box learn
// keys (the remote pane learns one key per button meanwhile, also after the sheet has closed), fetches the
// box's IR data into the store and uploads the store to the box.
#pragma once

#include "dialogs/SettingsPage.h"

enum RemoterPageControl {
    IDC_IR_LIST_LABEL = 1700,
    IDC_IR_LIST = 1701,
    IDC_IR_NEW = 1702,
    IDC_IR_LEARN = 1703,
    IDC_IR_STOP = 1704,
    IDC_IR_FETCH = 1705,
    IDC_IR_UPLOAD = 1706,
    IDC_IR_STATUS = 1707,
};

class KQ_UI_Remoter_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_Remoter_Page();
    ~KQ_UI_Remoter_Page() override;
    static const DialogTemplate& Template(); // 3005

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnOK() override; // the settings are saved

private:
    CListCtrl& list() const;
    std::wstring historyPath() const;
    std::wstring selectedName() const;
    void setTexts();
    void fillList(const std::vector<std::wstring>& names, const std::wstring& select);
    void enableControls();
    void status(const std::wstring& key);

    void onSelect();
    void onNew();
    void onLearn();
    void onStop();
    void onFetch();
    void onUpload();
    LRESULT onIrData(WPARAM block, LPARAM length);

    bool filling_ = false; // the list is being refilled: its selections are not the user's
};
