#include "dialogs/BoxTaskDialog.h"

#include "app/Language.h"
#include "app/VeloqApp.h"
#include "dialogs/PickerTime.h"
#include "dialogs/SettingsPage.h"
#include "dialogs/records/BoxTasks.h"
#include "platform/win32/Text.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr TextKey kTexts[] = {
    {IDC_BT_ONCE, L"IDS_RADIO_BOX_SCH_REC_ONCE"},
    {IDC_BT_TIMES, L"IDS_RADIO_BOX_SCH_REC_TIMES"},
    {IDC_BT_EVERYDAY, L"IDS_CHECK_EVERYDAY"},
    {IDC_BT_WEEKDAY, L"IDS_CHECK_TODAY_EVERY_WEEK"},
    {IDC_BT_DATE_LABEL, L"IDS_STC_BOX_REC_START_DATE"},
    {IDC_BT_TIME_LABEL, L"IDS_STC_BOX_REC_START_TIME"},
    {IDC_BT_STORE_LABEL, L"IDS_STC_BOX_REC_STORE"},
    {IDC_BT_SPACE_LABEL, L"IDS_STC_BOX_REC_DISC_SPACE"},
    {IDC_BT_LENGTH_LABEL, L"IDS_STC_BOX_REC_VEDIO_LEN"},
    {IDC_BT_HOURS_UNIT, L"IDS_STC_BOX_REC_VEDIO_LEN_HOUR"},
    {IDC_BT_MINUTES_UNIT, L"IDS_STC_BOX_REC_VEDIO_LEN_MINUTES"},
    {IDC_BT_NAME_LABEL, L"IDS_STC_BOX_REC_VEDIO_FILE"},
    {IDC_BT_FORMAT_LABEL, L"IDS_STC_BOX_REC_VEDIO_FMT"},
    {IDC_BT_SOURCE_LABEL, L"IDS_STC_BOX_REC_VEDIO_SRC"},
    {IDC_BT_CHANNEL_LABEL, L"IDS_STC_BOX_REC_CHANNEL"},
    {IDCANCEL, L"IDS_CANCEL"},
};

// The day mask bits of the box, Sunday first.
constexpr BYTE kDayBits[7] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
constexpr std::size_t kShownNameBytes = 30;
constexpr std::size_t kNameCharacters = 24;

DialogTemplate makeTemplate() {
    DialogTemplate d = DialogBoxTemplate(194, L"Task", 290, 222, {});
    const DWORD tab = WS_VISIBLE | WS_TABSTOP;
    const DWORD label = WS_VISIBLE;
    const DWORD list = tab | CBS_DROPDOWNLIST;
    const DWORD spin = WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS;
    d.items = {
        Control(L"Button", IDC_BT_ONCE, 7, 7, 130, 11, tab | BS_AUTORADIOBUTTON),
        Control(L"Button", IDC_BT_TIMES, 145, 7, 138, 11, tab | BS_AUTORADIOBUTTON),
        Control(L"Button", IDC_BT_EVERYDAY, 7, 7, 10, 10, WS_TABSTOP | BS_AUTOCHECKBOX),
        Control(L"Button", IDC_BT_WEEKDAY, 7, 7, 10, 10, WS_TABSTOP | BS_AUTOCHECKBOX),
    };
    for (int i = 0; i < 7; ++i) {
        const auto x = static_cast<short>(7 + 40 * i);
        d.items.push_back(Control(L"Button", IDC_BT_FIRST_DAY + i, x, 23, 11, 10, tab | BS_AUTOCHECKBOX));
        d.items.push_back(
            Control(L"Static", IDC_BT_FIRST_DAY_LABEL + i, static_cast<short>(x + 12), 24, 27, 10, label));
    }
    const std::vector<DialogItem> rest = {
        Control(L"Static", IDC_BT_DATE_LABEL, 7, 43, 95, 10, label),
        Control(L"SysDateTimePick32", IDC_BT_DATE, 105, 41, 80, 13, tab),
        Control(L"Static", IDC_BT_TIME_LABEL, 7, 61, 95, 10, label),
        Control(L"SysDateTimePick32", IDC_BT_TIME, 105, 59, 60, 13, tab | DTS_TIMEFORMAT),
        Control(L"Static", IDC_BT_STORE_LABEL, 7, 79, 95, 10, label),
        Control(L"ComboBox", IDC_BT_STORE, 105, 77, 100, 14, list),
        Control(L"Static", IDC_BT_SPACE_LABEL, 7, 97, 95, 10, label),
        Control(L"Static", IDC_BT_SPACE, 105, 97, 100, 10, label),
        Control(L"Static", IDC_BT_LENGTH_LABEL, 7, 115, 95, 10, label),
        Control(L"Edit", IDC_BT_HOURS, 105, 113, 34, 13, tab | ES_AUTOHSCROLL),
        Control(L"msctls_updown32", IDC_BT_HOURS_SPIN, 139, 113, 10, 13, spin),
        Control(L"Static", IDC_BT_HOURS_UNIT, 142, 115, 45, 10, label),
        Control(L"Edit", IDC_BT_MINUTES, 190, 113, 34, 13, tab | ES_AUTOHSCROLL),
        Control(L"msctls_updown32", IDC_BT_MINUTES_SPIN, 224, 113, 10, 13, spin),
        Control(L"Static", IDC_BT_MINUTES_UNIT, 227, 115, 56, 10, label),
        Control(L"Static", IDC_BT_NAME_LABEL, 7, 133, 95, 10, label),
        Control(L"Edit", IDC_BT_NAME, 105, 131, 130, 13, tab | ES_AUTOHSCROLL),
        Control(L"Static", IDC_BT_EXTENSION, 238, 133, 30, 10, label, L".mp4"),
        Control(L"Static", IDC_BT_FORMAT_LABEL, 7, 151, 95, 10, 0),
        Control(L"ComboBox", IDC_BT_FORMAT, 105, 149, 60, 14, CBS_DROPDOWNLIST),
        Control(L"Static", IDC_BT_SOURCE_LABEL, 7, 151, 95, 10, label),
        Control(L"ComboBox", IDC_BT_SOURCE, 105, 149, 100, 14, list),
        Control(L"Static", IDC_BT_CHANNEL_LABEL, 7, 169, 95, 10, label),
        Control(L"ComboBox", IDC_BT_CHANNEL, 105, 167, 130, 14, list),
        Control(L"Button", IDC_BT_OK, 144, 198, 66, 15, tab | BS_DEFPUSHBUTTON),
        Control(L"Button", IDCANCEL, 217, 198, 66, 15, tab),
    };
    d.items.insert(d.items.end(), rest.begin(), rest.end());
    return d;
}

} // namespace

const DialogTemplate& KQ_UI_BoxTaskDialog::Template() {
    static const DialogTemplate t = makeTemplate();
    return t;
}

KQ_UI_BoxTaskDialog::KQ_UI_BoxTaskDialog(CWnd* parent, const SYSTEMTIME& boxTime)
    : CDialog(Template(), parent), update_(false), boxTime_(boxTime), working_(boxTime) {
    MapCommand(IDC_BT_OK, [this] { OnOK(); });
    MapCommand(IDC_BT_ONCE, [this] { chooseOnce(true); });
    MapCommand(IDC_BT_TIMES, [this] { chooseOnce(false); });
    MapCommand(IDC_BT_EVERYDAY, [this] { onHiddenCheck(IDC_BT_EVERYDAY); });
    MapCommand(IDC_BT_WEEKDAY, [this] { onHiddenCheck(IDC_BT_WEEKDAY); });
    MapNotify(IDC_BT_STORE, CBN_SELCHANGE, [this] { showSpace(); });
}

KQ_UI_BoxTaskDialog::KQ_UI_BoxTaskDialog(CWnd* parent, const SYSTEMTIME& boxTime, const BoxTaskRecord& task)
    : KQ_UI_BoxTaskDialog(parent, boxTime) {
    update_ = true;
    task_ = task;
    working_ = ToSystemTime(ReadBoxTime(task_.start));
}

CDateTimeCtrl& KQ_UI_BoxTaskDialog::picker(int id) const {
    return *static_cast<CDateTimeCtrl*>(GetDlgItem(id));
}

CComboBox& KQ_UI_BoxTaskDialog::combo(int id) const {
    return *static_cast<CComboBox*>(GetDlgItem(id));
}

CButton& KQ_UI_BoxTaskDialog::button(int id) const {
    return *static_cast<CButton*>(GetDlgItem(id));
}

BOOL KQ_UI_BoxTaskDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    setTexts();
    auto* hours = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_BT_HOURS_SPIN));
    auto* minutes = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_BT_MINUTES_SPIN));
    hours->SetBuddy(GetDlgItem(IDC_BT_HOURS));
    minutes->SetBuddy(GetDlgItem(IDC_BT_MINUTES));
    hours->SetRange(0, 23);
    minutes->SetRange(0, 59);
    if (update_) {
        BoxTaskRecord copy = task_;
        const auto length = static_cast<int>(BoxTaskDurationMinutes(copy));
        hours->SetPos(length / 60);
        minutes->SetPos(length % 60);
    } else {
        hours->SetPos(0);
        minutes->SetPos(0);
    }
    picker(IDC_BT_DATE).SetTime(&working_);
    picker(IDC_BT_TIME).SetTime(&working_);
    fillStores();
    if (update_) {
        const std::size_t bytes = std::min(::strnlen(task_.fileName, sizeof task_.fileName), kShownNameBytes);
        GetDlgItem(IDC_BT_NAME)->SetWindowText(platform::FromLegacy(std::string_view(task_.fileName, bytes)));
    } else {
        wchar_t name[64];
        std::swprintf(name, 64, L"%d%d%d%d%d", boxTime_.wYear, boxTime_.wMonth, boxTime_.wDay, boxTime_.wHour,
                      boxTime_.wMinute);
        GetDlgItem(IDC_BT_NAME)->SetWindowText(name);
    }
    fillSources();
    fillChannels();
    combo(IDC_BT_FORMAT).AddString(L"CIF");
    combo(IDC_BT_FORMAT).SetCurSel(0);
    const bool once = !update_ || task_.dayMask == 0;
    button(once ? IDC_BT_ONCE : IDC_BT_TIMES).SetCheck(BST_CHECKED);
    for (int i = 0; i < 7; ++i)
        button(IDC_BT_FIRST_DAY + i)
            .SetCheck(!once && (task_.dayMask & kDayBits[i]) ? BST_CHECKED : BST_UNCHECKED);
    chooseOnce(once);
    return TRUE;
}

void KQ_UI_BoxTaskDialog::setTexts() {
    SetWindowText(LoadLanguageString(L"KQ_S_TASK_TITLE"));
    ApplyTexts(*this, kTexts);
    ApplyDayTexts(*this, IDC_BT_FIRST_DAY_LABEL);
    GetDlgItem(IDC_BT_OK)->SetWindowText(
        LoadLanguageString(update_ ? L"IDS_BOX_REC_UPDATE" : L"IDS_BOX_REC_ADD"));
}

void KQ_UI_BoxTaskDialog::fillStores() {
    CComboBox& stores = combo(IDC_BT_STORE);
    int chosen = 0;
    for (const BoxDiskRecord& disk : BoxDisks(g_boxInfo)) {
        const int item = stores.AddString(BoxDiskName(disk.key));
        stores.SetItemData(item, disk.key);
        if (update_ && disk.key == task_.diskKey)
            chosen = item;
    }
    stores.SetCurSel(stores.GetCount() > 0 ? chosen : -1);
    showSpace();
}

void KQ_UI_BoxTaskDialog::showSpace() {
    CComboBox& stores = combo(IDC_BT_STORE);
    const int item = stores.GetCurSel();
    GetDlgItem(IDC_BT_SPACE)
        ->SetWindowText(item < 0 ? std::wstring()
                                 : BoxDiskFreeText(g_boxInfo, static_cast<BYTE>(stores.GetItemData(item))));
}

void KQ_UI_BoxTaskDialog::fillSources() {
    CComboBox& sources = combo(IDC_BT_SOURCE);
    for (const wchar_t* key : {L"KQ_S_SOURCE_CV", L"KQ_S_SOURCE_SV", L"KQ_S_SOURCE_TV"})
        sources.AddString(LoadLanguageString(key));
    sources.SetCurSel(update_ && task_.source < 3 ? task_.source : 2);
}

void KQ_UI_BoxTaskDialog::fillChannels() {
    CComboBox& channels = combo(IDC_BT_CHANNEL);
    int chosen = 0;
    for (const KQ_UI_FRQ_TABLE_ITEM& entry : SettingsApp().m_config.m_channelTable) {
        const int item = channels.AddString(entry.name);
        channels.SetItemData(item, static_cast<DWORD_PTR>(entry.channel));
        if (update_ && entry.channel == task_.channel)
            chosen = item;
    }
    channels.SetCurSel(channels.GetCount() > 0 ? chosen : -1);
}

void KQ_UI_BoxTaskDialog::chooseOnce(bool once) {
    // The day labels are controls of their own: they grey with their boxes.
    for (int i = 0; i < 7; ++i)
        for (int id : {IDC_BT_FIRST_DAY + i, IDC_BT_FIRST_DAY_LABEL + i})
            GetDlgItem(id)->EnableWindow(!once);
    picker(IDC_BT_DATE).EnableWindow(once);
}

void KQ_UI_BoxTaskDialog::onHiddenCheck(int clicked) {
    if (button(clicked).GetCheck() == BST_CHECKED)
        button(clicked == IDC_BT_EVERYDAY ? IDC_BT_WEEKDAY : IDC_BT_EVERYDAY).SetCheck(BST_UNCHECKED);
    picker(IDC_BT_DATE).EnableWindow(FALSE);
}

void KQ_UI_BoxTaskDialog::refuse(const wchar_t* key, const wchar_t* caption) {
    KeyMessage(*this, key, caption);
}

void KQ_UI_BoxTaskDialog::OnOK() {
    const bool once = button(IDC_BT_ONCE).GetCheck() == BST_CHECKED;
    const BoxDateTime start = PickedDateTime(picker(IDC_BT_DATE), picker(IDC_BT_TIME));
    if (once && CompareDateTime(start, ToBoxTime(boxTime_) + MinutesToSpan(4)) <= 0) {
        refuse(L"KQ_S_INVALID_START_TIME");
        return;
    }
    const int hours = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_BT_HOURS_SPIN))->GetPos();
    const int minutes = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_BT_MINUTES_SPIN))->GetPos();
    if (hours == 0 && minutes == 0) {
        refuse(L"KQ_S_SELECT_VIDEO_LENGTH");
        return;
    }
    const std::wstring name = GetDlgItem(IDC_BT_NAME)->GetWindowText();
    if (name.empty() || name.size() > kNameCharacters) {
        refuse(L"KQ_S_FULL_FILL_FILE");
        return;
    }
    BoxTaskRecord task = task_;
    if (!update_)
        task.id = 255;
    for (const BoxTaskRecord& stored : BoxTasks(g_boxInfo))
        if (stored.id != task.id && BoxTaskFileText(stored) == name) {
            refuse(L"KQ_S_FILE_EXISTS");
            return;
        }
    StoreBoxTime(task.start, start);
    StoreBoxTime(task.end, start + MinutesToSpan(hours * 60 + minutes));
    if (!StoreBoxTaskFileName(task, name)) {
        refuse(L"KQ_S_FILE_NAME_TOO_LONG");
        return;
    }
    CComboBox& stores = combo(IDC_BT_STORE);
    task.diskKey = stores.GetCurSel() < 0 ? 0 : static_cast<BYTE>(stores.GetItemData(stores.GetCurSel()));
    task.format = 1;
    task.source = static_cast<BYTE>(std::max(0, combo(IDC_BT_SOURCE).GetCurSel()));
    CComboBox& channels = combo(IDC_BT_CHANNEL);
    task.channel =
        channels.GetCurSel() < 0 ? 0 : static_cast<WORD>(channels.GetItemData(channels.GetCurSel()));
    task.dayMask = 0;
    if (!once) {
        for (int i = 0; i < 7; ++i)
            if (button(IDC_BT_FIRST_DAY + i).GetCheck() == BST_CHECKED)
                task.dayMask |= kDayBits[i];
        if (task.dayMask == 0) {
            refuse(L"KQ_S_TASK_ERROR_NO_SELECT_TIME", L"Schedule");
            return;
        }
    }
    if (!BoxTaskFits(g_boxInfo, task)) {
        refuse(update_ ? L"KQ_S_CAN_NOT_UPDATE" : L"KQ_S_CAN_NOT_ADD");
        return;
    }
    task_ = task;
    EndDialog(IDOK);
}
