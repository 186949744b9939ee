#include "dialogs/SchedulePage.h"

#include "app/Language.h"
#include "app/VeloqApp.h"
#include "dialogs/PcTaskDialog.h"
#include "dialogs/PickerTime.h"
#include "dialogs/TimeZones.h"

#include <cstdio>

namespace {

constexpr TextKey kTexts[] = {
    {IDC_SCH_AT_PC, L"KQ_S_REC_AT_PC"},
    {IDC_SCH_AT_BOX, L"KQ_S_REC_AT_BOX"},
    {IDC_SCH_ADD, L"KQ_S_TASK_ADD"},
    {IDC_SCH_EDIT, L"KQ_S_TASK_EDIT"},
    {IDC_SCH_DELETE, L"KQ_S_TASK_DEL"},
    {IDC_SCH_REMOVE_ALL, L"KQ_S_REMOVE_ALL"},
    {IDC_SCH_DATE_LABEL, L"KQ_S_REC_BOX_DATE"},
    {IDC_SCH_TIME_LABEL, L"KQ_S_REC_BOX_TIME"},
    {IDC_SCH_SET_CLOCK, L"KQ_S_REC_BOX_UPDATETIME"},
    {IDC_SCH_ZONE_LABEL, L"KQ_S_REC_BOX_TIMEZONE"},
    {IDC_SCH_STORE_LABEL, L"KQ_S_REC_BOX_STORE"},
    {IDC_SCH_SPACE_LABEL, L"KQ_S_REC_BOX_STORE_SPACE"},
};

struct Column {
    const wchar_t* created;   // the heading the column is made with
    const wchar_t* refreshed; // the heading whenever the page's texts are set
    int width;
};
constexpr Column kPcColumns[] = {
    {L"KQ_S_TASK_START_DATE", L"KQ_S_TASK_START_DATE_CTRL", 100},
    {L"KQ_S_TASK_START_TIME", L"KQ_S_TASK_START_TIME_CTRL", 90},
    {L"KQ_S_DURATION_CTRL", L"KQ_S_DURATION_CTRL", 80},
    {L"KQ_S_TASK_VIDEO_CHANNEL", L"KQ_S_TASK_VIDEO_CHANNEL_CTRL", 70},
    {L"KQ_S_TASK_VIDEO_SOURCE", L"KQ_S_TASK_VIDEO_SOURCE_CTRL", 70},
    {L"KQ_S_STATUS_CTRL", L"KQ_S_STATUS_CTRL", 70},
};
constexpr Column kBoxColumns[] = {
    {L"KQ_S_TASK_START_TIME_BOX", L"KQ_S_TASK_START_TIME_BOX", 120},
    {L"KQ_S_TASK_VIDEO_SOURCE_BOX", L"KQ_S_TASK_VIDEO_SOURCE_BOX", 80},
    {L"KQ_S_TASK_VIDEO_CHN_BOX", L"KQ_S_TASK_VIDEO_CHN_BOX", 50},
    {L"KQ_S_DURATION_CTRL_BOX", L"KQ_S_DURATION_CTRL_BOX", 70},
    {L"KQ_S_TASK_STORE_BOX", L"KQ_S_TASK_STORE_BOX", 70},
    {L"KQ_S_TASK_STORE_CAP_BOX", L"KQ_S_TASK_STORE_CAP_BOX", 70},
    {L"KQ_S_TASK_VIDEO_FILE_BOX", L"KQ_S_TASK_VIDEO_FILE_BOX", 70},
};

// Seconds since the program started counting the pages' clock ticks: shared by every schedule page.
int g_clockTicks = 0;

std::wstring format(const wchar_t* pattern, int a, int b = 0, int c = 0) {
    wchar_t text[64];
    std::swprintf(text, 64, pattern, a, b, c);
    return text;
}

void setHeadings(CListCtrl& list, std::span<const Column> columns) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        SetHeading(list, static_cast<int>(i), LoadLanguageString(columns[i].refreshed));
}

} // namespace

const DialogTemplate& KQ_UI_Schedule_Page::Template() {
    static const DialogTemplate t = [] {
        const DWORD radio = WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;
        const DWORD list = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        const DWORD button = WS_VISIBLE | WS_TABSTOP;
        const DWORD label = WS_VISIBLE;
        const DWORD combo = WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_DISABLED;
        return PageTemplate(
            3004, L"Schedule",
            {
                Control(L"Button", IDC_SCH_AT_PC, 7, 6, 170, 11, radio),
                Control(L"Button", IDC_SCH_AT_BOX, 185, 6, 178, 11, radio),
                Control(L"SysListView32", IDC_SCH_PC_LIST, 7, 21, 356, 104, list),
                Control(L"SysListView32", IDC_SCH_BOX_LIST, 7, 21, 356, 104, list & ~WS_VISIBLE),
                Control(L"Button", IDC_SCH_ADD, 7, 129, 84, 14, button),
                Control(L"Button", IDC_SCH_EDIT, 97, 129, 84, 14, button),
                Control(L"Button", IDC_SCH_DELETE, 187, 129, 84, 14, button),
                Control(L"Button", IDC_SCH_REMOVE_ALL, 277, 129, 86, 14, button),
                Control(L"Static", IDC_SCH_DATE_LABEL, 7, 155, 85, 10, label),
                Control(L"SysDateTimePick32", IDC_SCH_DATE, 95, 153, 80, 13, button | WS_DISABLED),
                Control(L"Static", IDC_SCH_TIME_LABEL, 185, 155, 72, 10, label),
                Control(L"SysDateTimePick32", IDC_SCH_TIME, 260, 153, 55, 13,
                        button | WS_DISABLED | DTS_TIMEFORMAT),
                Control(L"Button", IDC_SCH_SET_CLOCK, 95, 171, 170, 14, button | WS_DISABLED),
                Control(L"Static", IDC_SCH_ZONE_LABEL, 7, 195, 85, 10, label),
                Control(L"ComboBox", IDC_SCH_ZONE, 95, 193, 268, 14, combo),
                Control(L"Static", IDC_SCH_STORE_LABEL, 7, 214, 85, 10, label),
                Control(L"ComboBox", IDC_SCH_STORE, 95, 212, 100, 14, combo),
                Control(L"Static", IDC_SCH_SPACE_LABEL, 205, 214, 90, 10, label),
                Control(L"Static", IDC_SCH_SPACE, 298, 214, 65, 10, label),
            });
    }();
    return t;
}

KQ_UI_Schedule_Page::KQ_UI_Schedule_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_SCHEDULE_TITLE") {
    MapCommand(IDC_SCH_AT_PC, [this] { onPcMode(); });
    MapCommand(IDC_SCH_AT_BOX, [this] { onBoxMode(); });
    MapCommand(IDC_SCH_ADD, [this] { onAdd(); });
    MapCommand(IDC_SCH_EDIT, [this] { onEdit(false); });
    MapCommand(IDC_SCH_DELETE, [this] { onDelete(); });
    MapCommand(IDC_SCH_REMOVE_ALL, [this] { onRemoveAll(); });
    MapCommand(IDC_SCH_SET_CLOCK, [this] { onSetClock(); });
    MapNotify(IDC_SCH_ZONE, CBN_SELCHANGE, [this] { onZone(); });
    MapNotify(IDC_SCH_STORE, CBN_SELCHANGE, [this] { showSpace(); });
    for (UINT id : {IDC_SCH_PC_LIST, IDC_SCH_BOX_LIST})
        MapWmNotify(id, NM_DBLCLK, [this](NMHDR*, LRESULT*) { onEdit(true); });
    mapBoxMessages();
}

KQ_UI_Schedule_Page::~KQ_UI_Schedule_Page() {
    DestroyWindow();
}

CListCtrl& KQ_UI_Schedule_Page::list(int id) const {
    return *static_cast<CListCtrl*>(GetDlgItem(id));
}

CDateTimeCtrl& KQ_UI_Schedule_Page::picker(int id) const {
    return *static_cast<CDateTimeCtrl*>(GetDlgItem(id));
}

CComboBox& KQ_UI_Schedule_Page::combo(int id) const {
    return *static_cast<CComboBox*>(GetDlgItem(id));
}

BOOL KQ_UI_Schedule_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    ShowDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME), BoxDateTime{2008, 7, 1, 0, 0, 0});
    insertColumns();
    fillPcList();
    fillZones();
    static_cast<CButton*>(GetDlgItem(IDC_SCH_AT_PC))->SetCheck(BST_CHECKED);
    onPcMode();
    return TRUE;
}

BOOL KQ_UI_Schedule_Page::OnSetActive() {
    setTexts();
    const int zone = combo(IDC_SCH_ZONE).GetCurSel();
    fillZones();
    combo(IDC_SCH_ZONE).SetCurSel(zone);
    fillPcList(); // the poll may have started (and dropped) an entry meanwhile
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_Schedule_Page::OnDestroy() {
    if (clockTimer_)
        KillTimer(clockTimer_);
    clockTimer_ = 0;
    wait_.reset();
    KQ_UI_SettingsPage::OnDestroy();
}

void KQ_UI_Schedule_Page::setTexts() {
    ApplyTexts(*this, kTexts);
    setHeadings(list(IDC_SCH_PC_LIST), kPcColumns);
    setHeadings(list(IDC_SCH_BOX_LIST), kBoxColumns);
    SetOwnTitle();
}

void KQ_UI_Schedule_Page::insertColumns() {
    for (const auto& [id, columns] : {std::pair{IDC_SCH_PC_LIST, std::span<const Column>(kPcColumns)},
                                      std::pair{IDC_SCH_BOX_LIST, std::span<const Column>(kBoxColumns)}}) {
        CListCtrl& l = list(id);
        l.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        for (std::size_t i = 0; i < columns.size(); ++i)
            l.InsertColumn(static_cast<int>(i), LoadLanguageString(columns[i].created), LVCFMT_LEFT,
                           columns[i].width);
    }
}

void KQ_UI_Schedule_Page::fillZones() {
    CComboBox& zones = combo(IDC_SCH_ZONE);
    zones.ResetContent();
    for (const wchar_t* name : TimeZoneNames(g_languageIndex))
        zones.AddString(name);
}

void KQ_UI_Schedule_Page::fillPcList() {
    CListCtrl& l = list(IDC_SCH_PC_LIST);
    l.DeleteAllItems();
    const auto& entries = app().m_config.m_schedule.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SCHEDULE_ENTRY& e = entries[i];
        const BoxDateTime start = LocalDateTime(e.start);
        const int row =
            l.InsertItem(static_cast<int>(i), format(L"%d-%d-%d", start.year, start.month, start.day));
        l.SetItemText(row, 1, format(L"%d:%d", start.hour, start.minute));
        l.SetItemText(row, 2, format(L"%d Minutes", e.lengthMinutes));
        l.SetItemText(row, 3, std::to_wstring(e.channel));
        l.SetItemText(row, 4, e.source == 0 ? L"TV" : e.source == 1 ? L"CV" : L"SV");
        l.SetItemText(row, 5, e.mode == 1 ? L"schedule" : L"once");
        l.SetItemData(row, static_cast<DWORD_PTR>(static_cast<std::uint32_t>(e.id)));
    }
}

void KQ_UI_Schedule_Page::ScheduleReloaded() {
    if (m_hWnd)
        fillPcList();
}

int KQ_UI_Schedule_Page::selectedRow() const {
    return list(boxMode_ ? IDC_SCH_BOX_LIST : IDC_SCH_PC_LIST).GetNextItem(-1, LVNI_SELECTED);
}

void KQ_UI_Schedule_Page::onPcMode() {
    boxMode_ = false;
    for (int id : {IDC_SCH_DATE, IDC_SCH_TIME, IDC_SCH_SET_CLOCK, IDC_SCH_ZONE, IDC_SCH_STORE})
        GetDlgItem(id)->EnableWindow(FALSE);
    CListCtrl& box = list(IDC_SCH_BOX_LIST);
    box.ShowWindow(SW_HIDE);
    box.EnableWindow(FALSE);
    CListCtrl& pc = list(IDC_SCH_PC_LIST);
    pc.ShowWindow(SW_SHOW);
    pc.EnableWindow(TRUE);
    GetDlgItem(IDC_SCH_ADD)->EnableWindow(TRUE);
    GetDlgItem(IDC_SCH_EDIT)->EnableWindow(TRUE);
}

void KQ_UI_Schedule_Page::onAdd() {
    if (boxMode_) {
        addBoxTask();
        return;
    }
    KQ_UI_PcTaskDialog dialog(this);
    dialog.DoModal();
    fillPcList();
}

void KQ_UI_Schedule_Page::onEdit(bool fromDoubleClick) {
    const int row = selectedRow();
    if (row < 0) {
        if (!fromDoubleClick)
            KeyMessage(*this, L"KQ_S_TASK_NOSELECTDEL_TASK", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    if (boxMode_)
        editBoxTask(row);
    else
        editPcEntry(row);
}

void KQ_UI_Schedule_Page::editPcEntry(int row) {
    KQ_ScheduleTable& schedule = app().m_config.m_schedule;
    const auto id = static_cast<std::int32_t>(list(IDC_SCH_PC_LIST).GetItemData(row));
    for (const SCHEDULE_ENTRY& e : schedule.entries) {
        if (e.id != id)
            continue;
        KQ_UI_PcTaskDialog dialog(this, e);
        dialog.DoModal();
        break;
    }
    fillPcList();
}

void KQ_UI_Schedule_Page::onDelete() {
    const int row = selectedRow();
    if (row < 0) {
        KeyMessage(*this, L"KQ_S_TASK_PLEASE_SELC_TASK", L"Schedule");
        return;
    }
    if (boxMode_) {
        const auto id = static_cast<DWORD>(list(IDC_SCH_BOX_LIST).GetItemData(row));
        if (BoxClientPort* box = app().m_pBoxClient)
            box->SendDeleteBoxTask(id, m_hWnd);
        return;
    }
    KQ_ScheduleTable& schedule = app().m_config.m_schedule;
    schedule.RemoveEntry(static_cast<std::int32_t>(list(IDC_SCH_PC_LIST).GetItemData(row)));
    list(IDC_SCH_PC_LIST).DeleteItem(row);
    schedule.Save();
    fillPcList();
}

void KQ_UI_Schedule_Page::onRemoveAll() {
    if (KeyMessage(*this, L"KQ_S_TASK_NOTE ", L"Solvane Player", MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    if (boxMode_) {
        if (BoxClientPort* box = app().m_pBoxClient)
            box->SendDeleteBoxTask(200, m_hWnd);
        return;
    }
    KQ_ScheduleTable& schedule = app().m_config.m_schedule;
    schedule.ClearAll();
    schedule.Save();
    list(IDC_SCH_PC_LIST).DeleteAllItems();
}

// Every minute of ticks the box's time moves on a minute, and at midnight to the next day.
void KQ_UI_Schedule_Page::OnTimer(UINT_PTR id) {
    if (id != kScheduleClockTimer)
        return;
    if (++g_clockTicks % 60 != 0)
        return;
    const BoxDateTime now = PickedDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME));
    ShowDateTime(picker(IDC_SCH_DATE), picker(IDC_SCH_TIME), now + MinutesToSpan(1));
}
