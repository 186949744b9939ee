// KQ_UI_Schedule_Page: the recordings the user schedules. In PC mode it lists, adds (through the PC task
// dialog), edits and deletes the entries of the PC schedule, which the main window's poll starts; in box
// mode the box's own recording tasks (through the box task dialog and the box link), with the box's clock,
// time zone and stores. The box's answers arrive as the box link's messages.
//
// Rows of the PC list carry their entry's id: every command finds its entry by id at the moment it acts,
// since the poll reloads the schedule (and drops a once entry it started) while the sheet is open.
#pragma once

#include "dialogs/SettingsPage.h"
#include "dialogs/records/BoxTaskRecords.h"
#include "platform/mfc/App.h"

#include <optional>

enum SchedulePageControl {
    IDC_SCH_PC_LIST = 1090,
    IDC_SCH_ADD = 1091,
    IDC_SCH_EDIT = 1092,
    IDC_SCH_DELETE = 1093,
    IDC_SCH_REMOVE_ALL = 1094,
    IDC_SCH_BOX_LIST = 1095,
    IDC_SCH_SET_CLOCK = 1128,
    IDC_SCH_AT_PC = 1155,
    IDC_SCH_AT_BOX = 1156,
    IDC_SCH_DATE_LABEL = 1157,
    IDC_SCH_TIME_LABEL = 1158,
    IDC_SCH_DATE = 1159,
    IDC_SCH_TIME = 1160,
    IDC_SCH_ZONE_LABEL = 1161,
    IDC_SCH_ZONE = 1162,
    IDC_SCH_STORE_LABEL = 1163,
    IDC_SCH_STORE = 1164,
    IDC_SCH_SPACE_LABEL = 1165,
    IDC_SCH_SPACE = 1166,
};

constexpr UINT_PTR kScheduleClockTimer = 1;

class KQ_UI_Schedule_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_Schedule_Page();
    ~KQ_UI_Schedule_Page() override;
    static const DialogTemplate& Template(); // 3004

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // A due schedule reloaded the table while the sheet stays open: the PC list shows it again.
    void ScheduleReloaded();
    bool IsBoxMode() const { return boxMode_; }

protected:
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

private:
    CListCtrl& list(int id) const;
    CDateTimeCtrl& picker(int id) const;
    CComboBox& combo(int id) const;
    void setTexts();
    void fillZones();
    void insertColumns();
    void fillPcList();
    void fillBoxList();
    void showSpace();
    int selectedRow() const; // of the list of the mode, -1 when none
    void mapBoxMessages();

    void onPcMode();
    void onBoxMode();
    void onAdd();
    void onEdit(bool fromDoubleClick);
    void onDelete();
    void onRemoveAll();
    void onSetClock();
    void onZone();
    void addBoxTask();
    void editBoxTask(int row);
    void editPcEntry(int row);

    LRESULT onBoxInfo(WPARAM record, LPARAM length);
    LRESULT onBoxTime(WPARAM which, LPARAM text);
    LRESULT onTaskAdded(WPARAM id);
    LRESULT onTaskDeleted(WPARAM id);
    LRESULT onTaskUpdated();
    LRESULT onAllTasksDeleted();
    void endWait();

    bool boxMode_ = false;
    BoxTaskRecord task_{}; // the task being added or updated
    UINT_PTR clockTimer_ = 0;
    std::optional<CWaitCursor> wait_;
};
