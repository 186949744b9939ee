// KQ_UI_BoxTaskDialog: adds a recording task to the box or updates one. It shows the box's time (add) or
// the task (update), and its OK checks the task in a fixed order, the first failing check keeping the
// dialog open with its message: a once task must start more than four minutes after the box time, the
// length must not be 0, the file name must have 1 to 24 characters and be no other task's, it must fit
// its field in the legacy code page, a weekly task needs a day, and the task must overlap no other.
#pragma once

#include "dialogs/records/BoxTaskRecords.h"
#include "platform/mfc/CommonControls.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/Dialog.h"

enum BoxTaskDialogControl {
    IDC_BT_EVERYDAY = 1083, // hidden
    IDC_BT_WEEKDAY = 1090,  // hidden
    IDC_BT_FORMAT = 1102,   // hidden
    IDC_BT_CHANNEL = 1103,
    IDC_BT_NAME = 1142,
    IDC_BT_HOURS = 1151,
    IDC_BT_MINUTES = 1152,
    IDC_BT_ONCE = 1167,
    IDC_BT_TIMES = 1168,
    IDC_BT_HOURS_SPIN = 1169,
    IDC_BT_MINUTES_SPIN = 1170,
    IDC_BT_DATE_LABEL = 1171,
    IDC_BT_TIME_LABEL = 1172,
    IDC_BT_STORE_LABEL = 1173,
    IDC_BT_SPACE_LABEL = 1174,
    IDC_BT_LENGTH_LABEL = 1175,
    IDC_BT_HOURS_UNIT = 1176,
    IDC_BT_MINUTES_UNIT = 1177,
    IDC_BT_NAME_LABEL = 1178,
    IDC_BT_FORMAT_LABEL = 1179,
    IDC_BT_SOURCE_LABEL = 1180,
    IDC_BT_CHANNEL_LABEL = 1181,
    IDC_BT_OK = 1182,
    IDC_BT_DATE = 1183,
    IDC_BT_TIME = 1184,
    IDC_BT_STORE = 1185,
    IDC_BT_SOURCE = 1186,
    IDC_BT_SPACE = 1187,
    IDC_BT_EXTENSION = 1189,
    IDC_BT_FIRST_DAY = 1208,       // 1208..1214, Sunday..Saturday
    IDC_BT_FIRST_DAY_LABEL = 1215, // 1215..1221
};

class KQ_UI_BoxTaskDialog : public CDialog {
public:
    // Add mode, at the box's time.
    KQ_UI_BoxTaskDialog(CWnd* parent, const SYSTEMTIME& boxTime);
    // Update mode of a task of the box.
    KQ_UI_BoxTaskDialog(CWnd* parent, const SYSTEMTIME& boxTime, const BoxTaskRecord& task);
    static const DialogTemplate& Template(); // 194

    BOOL OnInitDialog() override;
    // The checks; the dialog ends with IDOK only when the task passes them all.
    void OnOK() override;

    bool IsUpdate() const { return update_; }
    const BoxTaskRecord& Task() const { return task_; }

private:
    CDateTimeCtrl& picker(int id) const;
    CComboBox& combo(int id) const;
    CButton& button(int id) const;
    void setTexts();
    void fillStores();
    void fillSources();
    void fillChannels();
    void showSpace();
    void chooseOnce(bool once);
    void onHiddenCheck(int clicked);
    void refuse(const wchar_t* key, const wchar_t* caption = L"Solvane Player");

    bool update_;
    BoxTaskRecord task_{};
    SYSTEMTIME boxTime_;
    SYSTEMTIME working_; // what the pickers show first
};
