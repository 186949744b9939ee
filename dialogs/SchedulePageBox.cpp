// The schedule page's box mode: the box's information, clock, zone and stores, and its recording tasks,
// through the box link and its answers.
#include "dialogs/SchedulePage.h"

#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "dialogs/BoxTaskDialog.h"
#include "dialogs/PickerTime.h"
#include "dialogs/TimeZones.h"
#include "dialogs/records/BoxTasks.h"

#include <cstdio>
#include <cstring>

namespace {

// A row of the box list: the task's texts, its id as item data.
void insertTaskRow(CListCtrl& l, int row, BoxTaskRecord& task) {
    l.InsertItem(row, BoxTaskStartText(task));
    l.SetItemText(row, 1, BoxTaskSourceText(task));
    l.SetItemText(row, 2, BoxTaskChannelText(task));
    l.SetItemText(row, 3, BoxTaskDurationText(task));
    l.SetItemText(row, 4, BoxDiskName(task.diskKey));
    l.SetItemText(row, 5, BoxTaskSizeText(task));
    l.SetItemText(row, 6, BoxTaskFileText(task));
    l.SetItemData(row, task.id);
}

} // namespace

void KQ_UI_Schedule_Page::mapBoxMessages() {
    MapMessage(WM_BOX_INFO, [this](WPARAM w, LPARAM l) { return onBoxInfo(w, l); });
    MapMessage(WM_BOX_INFO_FAILED, [this](WPARAM, LPARAM) {
        endWait();
        return LRESULT{0};
    });
    MapMessage(WM_BOX_TIME, [this](WPARAM w, LPARAM l) { return onBoxTime(w, l); });
    MapMessage(WM_BOX_TASK_ADDED, [this](WPARAM w, LPARAM) { return onTaskAdded(w); });
    MapMessage(WM_BOX_TASK_ADD_FAILED, [this](WPARAM, LPARAM) {
        MessageBox(L"Add Task Failed!", L"Solvane Player");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_TASK_DELETED, [this](WPARAM w, LPARAM) { return onTaskDeleted(w); });
    MapMessage(WM_BOX_TASK_DELETE_FAILED, [this](WPARAM, LPARAM) {
        KeyMessage(*this, L"KQ_S_DEL_TASK_FAILED ", L"Solvane Player");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_TASK_UPDATED, [this](WPARAM, LPARAM) { return onTaskUpdated(); });
    MapMessage(WM_BOX_TASK_UPDATE_FAILED, [this](WPARAM, LPARAM) {
        KeyMessage(*this, L"KQ_S_UPDATE_TASK_FAILED ", L"Solvane Player");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_ALL_TASKS_DELETED, [this](WPARAM, LPARAM) { return onAllTasksDeleted(); });
}

void KQ_UI_Schedule_Page::endWait() {
    wait_.reset();
}

void KQ_UI_Schedule_Page::onBoxMode() {
    boxMode_ = true;
    for (int id : {IDC_SCH_DATE, IDC_SCH_TIME, IDC_SCH_SET_CLOCK, IDC_SCH_ZONE, IDC_SCH_STORE})
        GetDlgItem(id)->EnableWindow(TRUE);
    CListCtrl& box = list(IDC_SCH_BOX_LIST);
    box.ShowWindow(SW_SHOW);
    box.EnableWindow(TRUE);
    list(IDC_SCH_PC_LIST).ShowWindow(SW_HIDE);
    // Tasks go to a store: nothing to add or edit before the box has named one.
    const BOOL stores = combo(IDC_SCH_STORE).GetCount() > 0;
    GetDlgItem(IDC_SCH_ADD)->EnableWindow(stores);
    GetDlgItem(IDC_SCH_EDIT)->EnableWindow(stores);
    if (!clockTimer_)
        clockTimer_ = SetTimer(kScheduleClockTimer, 1000, nullptr);
    wait_.emplace();
    BoxClientPort* client = app().m_pBoxClient;
    if (!client || !client->SendGetBoxInfo(m_hWnd)) {
        endWait();
        MessageBox(L"BoxRecUpdateAllInfo Failed", L"Solvane Player");
    }
}

LRESULT KQ_UI_Schedule_Page::onBoxInfo(WPARAM record, LPARAM length) {
    // The wait ends with any answer (a record that is not valid included).
    endWait();
    if (!BoxInfoStore(reinterpret_cast<const BYTE*>(record), static_cast<std::size_t>(length))) {
        MessageBox(L"UpdateAllInfo Failed.", L"");
        return 0;
    }
    ShowDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME), NormaliseBoxTime(g_boxInfo.clock));
    combo(IDC_SCH_ZONE).SetCurSel(g_boxInfo.timeZone < kTimeZoneCount ? g_boxInfo.timeZone : -1);
    CComboBox& stores = combo(IDC_SCH_STORE);
    stores.ResetContent();
    for (const BoxDiskRecord& disk : BoxDisks(g_boxInfo)) {
        const int item = stores.AddString(BoxDiskName(disk.key));
        stores.SetItemData(item, disk.key);
    }
    stores.SetCurSel(stores.GetCount() > 0 ? 0 : -1);
    showSpace();
    const BOOL disks = stores.GetCount() > 0;
    GetDlgItem(IDC_SCH_ADD)->EnableWindow(disks);
    GetDlgItem(IDC_SCH_EDIT)->EnableWindow(disks);
    fillBoxList();
    return 0;
}

void KQ_UI_Schedule_Page::showSpace() {
    CComboBox& stores = combo(IDC_SCH_STORE);
    const int item = stores.GetCurSel();
    GetDlgItem(IDC_SCH_SPACE)
        ->SetWindowText(item < 0 ? std::wstring()
                                 : BoxDiskFreeText(g_boxInfo, static_cast<BYTE>(stores.GetItemData(item))));
}

void KQ_UI_Schedule_Page::fillBoxList() {
    CListCtrl& l = list(IDC_SCH_BOX_LIST);
    l.DeleteAllItems();
    int row = 0;
    for (BoxTaskRecord& task : BoxTasks(g_boxInfo))
        insertTaskRow(l, row++, task);
}

LRESULT KQ_UI_Schedule_Page::onBoxTime(WPARAM which, LPARAM text) {
    if (which != 1 || !text)
        return 0;
    char field[20] = {};
    std::strncpy(field, reinterpret_cast<const char*>(text), sizeof field - 1);
    ShowDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME), ReadBoxTime(field));
    return 0;
}

void KQ_UI_Schedule_Page::addBoxTask() {
    // The box keeps ten tasks.
    if (BoxTasks(g_boxInfo).size() >= kBoxTasksMax) {
        KeyMessage(*this, L"KQ_S_CAN_NOT_ADD", L"Solvane Player");
        return;
    }
    const SYSTEMTIME boxTime = ToSystemTime(PickedDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME)));
    KQ_UI_BoxTaskDialog dialog(this, boxTime);
    if (dialog.DoModal() != IDOK)
        return;
    task_ = dialog.Task();
    if (BoxClientPort* box = app().m_pBoxClient)
        box->SendAddBoxTask(task_, m_hWnd);
}

void KQ_UI_Schedule_Page::editBoxTask(int row) {
    const auto id = static_cast<BYTE>(list(IDC_SCH_BOX_LIST).GetItemData(row));
    for (const BoxTaskRecord& task : BoxTasks(g_boxInfo)) {
        if (task.id != id)
            continue;
        const SYSTEMTIME boxTime = ToSystemTime(PickedDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME)));
        KQ_UI_BoxTaskDialog dialog(this, boxTime, task);
        if (dialog.DoModal() != IDOK)
            return;
        task_ = dialog.Task();
        if (BoxClientPort* box = app().m_pBoxClient)
            box->SendUpdateBoxTask(task_, m_hWnd);
        return;
    }
}

LRESULT KQ_UI_Schedule_Page::onTaskAdded(WPARAM id) {
    task_.id = static_cast<BYTE>(id);
    insertTaskRow(list(IDC_SCH_BOX_LIST), 0, task_);
    BoxInfoAppendTask(task_);
    return 0;
}

LRESULT KQ_UI_Schedule_Page::onTaskDeleted(WPARAM id) {
    BoxTaskRemove(static_cast<BYTE>(id));
    CListCtrl& l = list(IDC_SCH_BOX_LIST);
    for (int row = 0; row < l.GetItemCount(); ++row)
        if (l.GetItemData(row) == id) {
            l.DeleteItem(row);
            break;
        }
    return 0;
}

LRESULT KQ_UI_Schedule_Page::onTaskUpdated() {
    BoxInfoUpdateTask(task_);
    fillBoxList();
    return 0;
}

LRESULT KQ_UI_Schedule_Page::onAllTasksDeleted() {
    g_boxInfo.taskCount = 0;
    list(IDC_SCH_BOX_LIST).DeleteAllItems();
    return 0;
}

void KQ_UI_Schedule_Page::onSetClock() {
    const BoxDateTime t = PickedDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME));
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d:%02d:%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    if (BoxClientPort* box = app().m_pBoxClient)
        box->SendSetBoxTime(text, m_hWnd);
}

void KQ_UI_Schedule_Page::onZone() {
    SetFocus();
    const int zone = combo(IDC_SCH_ZONE).GetCurSel();
    if (zone < 0)
        return;
    if (BoxClientPort* box = app().m_pBoxClient)
        box->SendSetTimeZone(TimeZoneToken(zone), m_hWnd, static_cast<DWORD>(zone));
}
