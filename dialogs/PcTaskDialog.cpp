#include "dialogs/PcTaskDialog.h"

#include "app/Language.h"
#include "app/VeloqApp.h"
#include "dialogs/PickerTime.h"
#include "dialogs/SettingsPage.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr TextKey kTexts[] = {
    {IDC_PT_ONCE, L"KQ_S_PC_TASK_ONCE"},
    {IDC_PT_WEEKLY, L"KQ_S_PC_TASK_WEEKLY"},
    {IDC_PT_DATE_LABEL, L"KQ_S_PC_TASK_DATE"},
    {IDC_PT_TIME_LABEL, L"KQ_S_PC_TASK_TIME"},
    {IDC_PT_LENGTH_LABEL, L"KQ_S_PC_TASK_LENGTH"},
    {IDC_PT_LENGTH_UNIT, L"IDS_STC_BOX_REC_VEDIO_LEN_MINUTES"},
    {IDC_PT_SOURCE_LABEL, L"IDS_STC_BOX_REC_VEDIO_SRC"},
    {IDC_PT_CHANNEL_LABEL, L"IDS_STC_BOX_REC_CHANNEL"},
    {IDC_PT_AFTER_LABEL, L"KQ_S_PC_TASK_AFTER"},
    {IDOK, L"KQ_S_SET_OK"},
    {IDCANCEL, L"IDS_CANCEL"},
};

constexpr int kLongestMinutes = 24 * 60;

DialogTemplate makeTemplate() {
    DialogTemplate d = DialogBoxTemplate(193, L"PC task", 290, 178, {});
    const DWORD tab = WS_VISIBLE | WS_TABSTOP;
    const DWORD label = WS_VISIBLE;
    const DWORD list = tab | CBS_DROPDOWNLIST;
    d.items = {
        Control(L"Button", IDC_PT_ONCE, 7, 7, 130, 11, tab | BS_AUTORADIOBUTTON),
        Control(L"Button", IDC_PT_WEEKLY, 145, 7, 138, 11, tab | BS_AUTORADIOBUTTON),
    };
    for (int i = 0; i < 7; ++i)
        d.items.push_back(Control(L"Button", IDC_PT_FIRST_DAY + i, static_cast<short>(7 + 40 * i), 23, 38, 10,
                                  tab | BS_AUTOCHECKBOX));
    const std::vector<DialogItem> rest = {
        Control(L"Static", IDC_PT_DATE_LABEL, 7, 43, 95, 10, label),
        Control(L"SysDateTimePick32", IDC_PT_DATE, 105, 41, 80, 13, tab),
        Control(L"Static", IDC_PT_TIME_LABEL, 7, 61, 95, 10, label),
        Control(L"SysDateTimePick32", IDC_PT_TIME, 105, 59, 60, 13, tab | DTS_TIMEFORMAT),
        Control(L"Static", IDC_PT_LENGTH_LABEL, 7, 79, 95, 10, label),
        Control(L"Edit", IDC_PT_LENGTH, 105, 77, 40, 13, tab | ES_AUTOHSCROLL),
        Control(L"msctls_updown32", IDC_PT_LENGTH_SPIN, 145, 77, 10, 13,
                WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS),
        Control(L"Static", IDC_PT_LENGTH_UNIT, 149, 79, 60, 10, label),
        Control(L"Static", IDC_PT_SOURCE_LABEL, 7, 97, 95, 10, label),
        Control(L"ComboBox", IDC_PT_SOURCE, 105, 95, 100, 14, list),
        Control(L"Static", IDC_PT_CHANNEL_LABEL, 7, 115, 95, 10, label),
        Control(L"ComboBox", IDC_PT_CHANNEL, 105, 113, 130, 14, list),
        Control(L"Static", IDC_PT_AFTER_LABEL, 7, 133, 95, 10, label),
        Control(L"ComboBox", IDC_PT_AFTER, 105, 131, 178, 14, list),
        Control(L"Button", IDOK, 144, 155, 66, 15, tab | BS_DEFPUSHBUTTON),
        Control(L"Button", IDCANCEL, 217, 155, 66, 15, tab),
    };
    d.items.insert(d.items.end(), rest.begin(), rest.end());
    return d;
}

// A new entry: today, at the next minute, for an hour of the tuner, nothing after it.
SCHEDULE_ENTRY newEntry() {
    SCHEDULE_ENTRY e;
    e.start = (static_cast<std::int64_t>(std::time(nullptr)) / 60 + 1) * 60;
    e.lengthMinutes = 60;
    return e;
}

} // namespace

const DialogTemplate& KQ_UI_PcTaskDialog::Template() {
    static const DialogTemplate t = makeTemplate();
    return t;
}

KQ_UI_PcTaskDialog::KQ_UI_PcTaskDialog(CWnd* parent) : CDialog(Template(), parent), entry_(newEntry()) {
    MapCommand(IDC_PT_ONCE, [this] { chooseOnce(true); });
    MapCommand(IDC_PT_WEEKLY, [this] { chooseOnce(false); });
}

KQ_UI_PcTaskDialog::KQ_UI_PcTaskDialog(CWnd* parent, const SCHEDULE_ENTRY& entry)
    : KQ_UI_PcTaskDialog(parent) {
    editedId_ = entry.id;
    entry_ = entry;
}

CButton& KQ_UI_PcTaskDialog::button(int id) const {
    return *static_cast<CButton*>(GetDlgItem(id));
}

CComboBox& KQ_UI_PcTaskDialog::combo(int id) const {
    return *static_cast<CComboBox*>(GetDlgItem(id));
}

BOOL KQ_UI_PcTaskDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(LoadLanguageString(L"KQ_S_PC_TASK_TITLE"));
    ApplyTexts(*this, kTexts);
    ApplyDayTexts(*this, IDC_PT_FIRST_DAY);
    const bool once = entry_.mode != 1;
    button(once ? IDC_PT_ONCE : IDC_PT_WEEKLY).SetCheck(BST_CHECKED);
    for (int i = 0; i < 7; ++i)
        button(IDC_PT_FIRST_DAY + i)
            .SetCheck((entry_.dayMask & kScheduleDayBits[i]) ? BST_CHECKED : BST_UNCHECKED);
    ShowDateTime(*static_cast<CDateTimeCtrl*>(GetDlgItem(IDC_PT_DATE)),
                 *static_cast<CDateTimeCtrl*>(GetDlgItem(IDC_PT_TIME)), LocalDateTime(entry_.start));
    auto* length = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_PT_LENGTH_SPIN));
    length->SetBuddy(GetDlgItem(IDC_PT_LENGTH));
    length->SetRange(0, kLongestMinutes);
    length->SetPos(entry_.lengthMinutes);
    for (const wchar_t* key : {L"KQ_S_SOURCE_TV", L"KQ_S_SOURCE_CV", L"KQ_S_SOURCE_SV"})
        combo(IDC_PT_SOURCE).AddString(LoadLanguageString(key));
    combo(IDC_PT_SOURCE).SetCurSel(std::clamp(entry_.source, 0, 2));
    CComboBox& channels = combo(IDC_PT_CHANNEL);
    int chosen = 0;
    for (const KQ_UI_FRQ_TABLE_ITEM& item : SettingsApp().m_config.m_channelTable) {
        const int i = channels.AddString(item.name);
        channels.SetItemData(i, static_cast<DWORD_PTR>(item.channel));
        if (item.channel == entry_.channel)
            chosen = i;
    }
    channels.SetCurSel(channels.GetCount() > 0 ? chosen : -1);
    for (const wchar_t* key : {L"KQ_S_PC_AFTER_NOTHING", L"KQ_S_PC_AFTER_CLOSE", L"KQ_S_PC_AFTER_POWEROFF"})
        combo(IDC_PT_AFTER).AddString(LoadLanguageString(key));
    combo(IDC_PT_AFTER).SetCurSel(std::clamp(entry_.afterAction, 0, 2));
    chooseOnce(once);
    return TRUE;
}

void KQ_UI_PcTaskDialog::chooseOnce(bool once) {
    for (int i = 0; i < 7; ++i)
        GetDlgItem(IDC_PT_FIRST_DAY + i)->EnableWindow(!once);
    GetDlgItem(IDC_PT_DATE)->EnableWindow(once);
}

void KQ_UI_PcTaskDialog::OnOK() {
    SCHEDULE_ENTRY e = entry_;
    e.lengthMinutes = static_cast<CSpinButtonCtrl*>(GetDlgItem(IDC_PT_LENGTH_SPIN))->GetPos();
    if (e.lengthMinutes <= 0) {
        KeyMessage(*this, L"KQ_S_SELECT_VIDEO_LENGTH", L"Solvane Player");
        return;
    }
    const bool once = button(IDC_PT_ONCE).GetCheck() == BST_CHECKED;
    e.mode = once ? 0 : 1;
    e.dayMask = 0;
    for (int i = 0; i < 7 && !once; ++i)
        if (button(IDC_PT_FIRST_DAY + i).GetCheck() == BST_CHECKED)
            e.dayMask |= kScheduleDayBits[i];
    if (!once && e.dayMask == 0) {
        KeyMessage(*this, L"KQ_S_TASK_ERROR_NO_SELECT_TIME", L"Schedule");
        return;
    }
    e.start = LocalSeconds(PickedDateTime(*static_cast<CDateTimeCtrl*>(GetDlgItem(IDC_PT_DATE)),
                                          *static_cast<CDateTimeCtrl*>(GetDlgItem(IDC_PT_TIME))));
    e.source = std::max(0, combo(IDC_PT_SOURCE).GetCurSel());
    CComboBox& channels = combo(IDC_PT_CHANNEL);
    e.channel =
        channels.GetCurSel() < 0 ? 0 : static_cast<std::int32_t>(channels.GetItemData(channels.GetCurSel()));
    e.afterAction = std::max(0, combo(IDC_PT_AFTER).GetCurSel());
    if (!store(e)) {
        KeyMessage(*this, L"KQ_S_TASK_CONFLICT", L"Schedule");
        return;
    }
    EndDialog(IDOK);
}

bool KQ_UI_PcTaskDialog::store(SCHEDULE_ENTRY e) {
    KQ_ScheduleTable& table = SettingsApp().m_config.m_schedule;
    const std::vector<SCHEDULE_ENTRY> entries = table.entries;
    const std::vector<ScheduleWeekRange> ranges = table.ranges;
    auto old = std::find_if(table.entries.begin(), table.entries.end(),
                            [this](const SCHEDULE_ENTRY& x) { return editedId_ && x.id == *editedId_; });
    // An edited entry that is no longer there (the poll started it) comes back as a new one.
    const std::ptrdiff_t at = old == table.entries.end() ? -1 : old - table.entries.begin();
    if (at >= 0) {
        const SCHEDULE_ENTRY before = *old;
        table.RemoveEntry(before.id); // its minutes too: it must not conflict with itself
        e.id = e.start == before.start ? before.id : table.NewEntryId(e.start);
    } else {
        e.id = table.NewEntryId(e.start);
    }
    if (table.TryReserve(e) != 1) {
        table.entries = entries; // as it was, the old entry's minutes included
        table.ranges = ranges;
        return false;
    }
    if (at >= 0)
        table.entries.insert(table.entries.begin() + at, e);
    else
        table.AddEntry(e);
    table.Save();
    entry_ = e;
    return true;
}
