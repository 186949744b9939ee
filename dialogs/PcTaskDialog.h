// KQ_UI_PcTaskDialog: adds or edits an entry of the PC schedule: once (a date and time) or weekly (days and
// a time), its length, source and channel, and what follows the recording. OK refuses a length of 0 and a
// weekly entry without a day; then the entry must find its minutes free (KQ_ScheduleTable::TryReserve).
// An edit frees the old entry's minutes first and, when the new ones are refused, leaves the table as it
// was; a changed start gives the entry a new id. The schedule file is written after every change.
//
// The edited entry is found by its id when OK is pressed: the schedule poll may have reloaded the table
// while the dialog was open.
#pragma once

#include "dialogs/records/ScheduleTable.h"
#include "platform/mfc/CommonControls.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/Dialog.h"

#include <optional>

enum PcTaskDialogControl {
    IDC_PT_ONCE = 1401,
    IDC_PT_WEEKLY = 1402,
    IDC_PT_FIRST_DAY = 1403, // 1403..1409, Sunday..Saturday
    IDC_PT_DATE_LABEL = 1410,
    IDC_PT_DATE = 1411,
    IDC_PT_TIME_LABEL = 1412,
    IDC_PT_TIME = 1413,
    IDC_PT_LENGTH_LABEL = 1414,
    IDC_PT_LENGTH = 1415,
    IDC_PT_LENGTH_SPIN = 1416,
    IDC_PT_LENGTH_UNIT = 1417,
    IDC_PT_SOURCE_LABEL = 1418,
    IDC_PT_SOURCE = 1419,
    IDC_PT_CHANNEL_LABEL = 1420,
    IDC_PT_CHANNEL = 1421,
    IDC_PT_AFTER_LABEL = 1422,
    IDC_PT_AFTER = 1423,
};

class KQ_UI_PcTaskDialog : public CDialog {
public:
    // A new entry, starting now.
    explicit KQ_UI_PcTaskDialog(CWnd* parent);
    // The entry of the table to change.
    KQ_UI_PcTaskDialog(CWnd* parent, const SCHEDULE_ENTRY& entry);
    static const DialogTemplate& Template(); // 193

    BOOL OnInitDialog() override;
    void OnOK() override;

    // The entry as the table holds it after OK.
    const SCHEDULE_ENTRY& Entry() const { return entry_; }

private:
    CButton& button(int id) const;
    CComboBox& combo(int id) const;
    void chooseOnce(bool once);
    bool store(SCHEDULE_ENTRY entry);

    std::optional<std::int32_t> editedId_;
    SCHEDULE_ENTRY entry_{};
};
