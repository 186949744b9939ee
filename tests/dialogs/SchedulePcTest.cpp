// The schedule page in PC mode: entries added and edited through the PC task dialog (an edit the
// schedule refuses keeps the old entry and its minutes), deleted and removed all, the schedule file
// written each time; rows follow their entries by id when the poll has reloaded the schedule meanwhile.
#include "SheetFixture.h"

#include "dialogs/PcTaskDialog.h"
#include "dialogs/SchedulePage.h"

#include <ctime>

namespace {

constexpr std::uint32_t kMonday = 0x10, kWednesday = 0x1000;

// 2030-06-03 is a Monday.
std::int64_t local(int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = 2030 - 1900;
    t.tm_mon = 5;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

// What the user sets in the PC task dialog; a field left at -1 stays as the dialog shows it.
struct PcTask {
    int weekly = -1; // 0 once, 1 weekly
    std::uint32_t days = 0;
    int day = -1, hour = -1, minute = -1; // June 2030
    int length = -1;
    int source = -1;
    int channelItem = -1;
    int after = -1;
};

class SchedulePcTest : public SheetFixture {
protected:
    void answerPcDialog(const PcTask& t) {
        onModal[193] = [this, t](CDialog& d) {
            if (t.weekly >= 0) {
                static_cast<CButton*>(d.GetDlgItem(IDC_PT_ONCE))->SetCheck(t.weekly == 0);
                static_cast<CButton*>(d.GetDlgItem(IDC_PT_WEEKLY))->SetCheck(t.weekly == 1);
                click(d, t.weekly ? IDC_PT_WEEKLY : IDC_PT_ONCE);
                for (int i = 0; i < 7; ++i)
                    static_cast<CButton*>(d.GetDlgItem(IDC_PT_FIRST_DAY + i))
                        ->SetCheck((t.days & kScheduleDayBits[i]) ? BST_CHECKED : BST_UNCHECKED);
            }
            for (int id : {IDC_PT_DATE, IDC_PT_TIME}) {
                auto* picker = static_cast<CDateTimeCtrl*>(d.GetDlgItem(id));
                SYSTEMTIME s{};
                picker->GetTime(&s);
                if (t.day >= 0) {
                    s.wYear = 2030;
                    s.wMonth = 6;
                    s.wDay = static_cast<WORD>(t.day);
                }
                if (t.hour >= 0)
                    s.wHour = static_cast<WORD>(t.hour);
                if (t.minute >= 0)
                    s.wMinute = static_cast<WORD>(t.minute);
                picker->SetTime(&s);
            }
            if (t.length >= 0)
                static_cast<CSpinButtonCtrl*>(d.GetDlgItem(IDC_PT_LENGTH_SPIN))->SetPos(t.length);
            for (const auto& [id, item] :
                 {std::pair{IDC_PT_SOURCE, t.source}, std::pair{IDC_PT_CHANNEL, t.channelItem},
                  std::pair{IDC_PT_AFTER, t.after}})
                if (item >= 0)
                    static_cast<CComboBox*>(d.GetDlgItem(id))->SetCurSel(item);
            click(d, IDOK);
            return INT_PTR{IDCANCEL};
        };
    }
    CListCtrl& pcList(KQ_UI_Schedule_Page& page) {
        return *static_cast<CListCtrl*>(page.GetDlgItem(IDC_SCH_PC_LIST));
    }
    void select(KQ_UI_Schedule_Page& page, int row) {
        pcList(page).SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }
    KQ_ScheduleTable& schedule() { return app->m_config.m_schedule; }
    // The schedule file as the table would write it now.
    void expectFileIsTheTable(const char* when) {
        const std::vector<std::uint8_t> bytes = schedule().Bytes();
        EXPECT_EQ(temp.read("Setup/schedule"), std::string(bytes.begin(), bytes.end())) << when;
    }
};

TEST_F(SchedulePcTest, EntriesAreAddedEditedDeletedAndRemovedAllWithTheFileWrittenEachTime) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    app->m_config.m_channelTable = {{0, L"One", 12, 3000}, {0, L"Two", 14, 3200}};
    schedule().ClearAll();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        CListCtrl& list = pcList(page);
        ASSERT_EQ(list.GetItemCount(), 0);

        answerPcDialog({.weekly = 0,
                        .day = 4,
                        .hour = 20,
                        .minute = 0,
                        .length = 30,
                        .source = 1,
                        .channelItem = 1,
                        .after = 1});
        click(page, IDC_SCH_ADD);
        ASSERT_EQ(schedule().entries.size(), 1u);
        const SCHEDULE_ENTRY once = schedule().entries[0];
        EXPECT_EQ(once.mode, 0);
        EXPECT_EQ(once.start, local(4, 20, 0));
        EXPECT_EQ(once.id, static_cast<std::int32_t>(once.start));
        EXPECT_EQ(once.lengthMinutes, 30);
        EXPECT_EQ(once.source, 1);
        EXPECT_EQ(once.channel, 14);
        EXPECT_EQ(once.afterAction, 1);
        expectFileIsTheTable("after the add");
        ASSERT_EQ(list.GetItemCount(), 1);
        const std::vector<std::wstring> row = {list.GetItemText(0, 0), list.GetItemText(0, 1),
                                               list.GetItemText(0, 2), list.GetItemText(0, 3),
                                               list.GetItemText(0, 4), list.GetItemText(0, 5)};
        EXPECT_EQ(row,
                  (std::vector<std::wstring>{L"2030-6-4", L"20:0", L"30 Minutes", L"14", L"CV", L"once"}));

        answerPcDialog({.weekly = 1, .days = kMonday | kWednesday, .hour = 8, .minute = 0, .length = 60});
        click(page, IDC_SCH_ADD);
        ASSERT_EQ(schedule().entries.size(), 2u);
        EXPECT_EQ(schedule().entries[1].dayMask, kMonday | kWednesday);
        EXPECT_EQ(schedule().ranges.size(), 3u) << "the once entry's and two days'";
        EXPECT_EQ(list.GetItemText(1, 5), L"schedule");
        expectFileIsTheTable("after the weekly add");

        answerPcDialog({.length = 45});
        select(page, 0);
        click(page, IDC_SCH_EDIT);
        EXPECT_EQ(schedule().entries[0].lengthMinutes, 45);
        EXPECT_EQ(schedule().entries[0].id, once.id) << "the same start keeps the id";
        EXPECT_EQ(list.GetItemText(0, 2), L"45 Minutes");
        expectFileIsTheTable("after the edit");

        // Monday 8:30 lies in the weekly entry's Monday: refused, and the table is as it was.
        const std::vector<SCHEDULE_ENTRY> entries = schedule().entries;
        const std::vector<ScheduleWeekRange> ranges = schedule().ranges;
        const std::string file = temp.read("Setup/schedule");
        messages.clear();
        answerPcDialog({.day = 3, .hour = 8, .minute = 30});
        select(page, 0);
        click(page, IDC_SCH_EDIT);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, text(L"KQ_S_TASK_CONFLICT"));
        EXPECT_EQ(schedule().entries, entries);
        EXPECT_EQ(schedule().ranges, ranges) << "the old ranges are back";
        EXPECT_EQ(temp.read("Setup/schedule"), file);

        answerPcDialog({.hour = 21});
        select(page, 0);
        click(page, IDC_SCH_EDIT);
        EXPECT_EQ(schedule().entries[0].start, local(4, 21, 0));
        EXPECT_EQ(schedule().entries[0].id, static_cast<std::int32_t>(local(4, 21, 0)))
            << "a new start, a new id";
        EXPECT_EQ(std::count_if(schedule().ranges.begin(), schedule().ranges.end(),
                                [&](const ScheduleWeekRange& r) { return r.owner == once.id; }),
                  0);
        expectFileIsTheTable("after the new start");

        select(page, 1);
        click(page, IDC_SCH_DELETE);
        ASSERT_EQ(schedule().entries.size(), 1u);
        EXPECT_EQ(schedule().entries[0].mode, 0);
        EXPECT_EQ(schedule().ranges.size(), 1u);
        EXPECT_EQ(list.GetItemCount(), 1);
        expectFileIsTheTable("after the delete");

        answer = IDYES;
        click(page, IDC_SCH_REMOVE_ALL);
        EXPECT_TRUE(schedule().entries.empty());
        EXPECT_EQ(list.GetItemCount(), 0);
        EXPECT_EQ(temp.read("Setup/schedule"), std::string(1268, '\0'));
    });
}

TEST_F(SchedulePcTest, TheDialogRefusesNoLengthAndAWeekWithoutADay) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    schedule().ClearAll();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        const struct {
            PcTask task;
            const wchar_t* key;
            const wchar_t* caption;
        } cases[] = {
            {{.weekly = 0, .length = 0}, L"KQ_S_SELECT_VIDEO_LENGTH", L"Solvane Player"},
            {{.weekly = 1, .days = 0, .length = 30}, L"KQ_S_TASK_ERROR_NO_SELECT_TIME", L"Schedule"},
        };
        for (const auto& c : cases) {
            messages.clear();
            answerPcDialog(c.task);
            click(sheet.m_schedulePage, IDC_SCH_ADD);
            ASSERT_EQ(messages.size(), 1u) << c.key;
            EXPECT_EQ(messages[0].text, text(c.key));
            EXPECT_EQ(messages[0].caption, c.caption);
            EXPECT_TRUE(schedule().entries.empty()) << c.key;
        }
    });
}

TEST_F(SchedulePcTest, RowsFindTheirEntriesByIdAfterThePollReloadedTheSchedule) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    schedule().ClearAll();
    for (const auto& [id, day] : {std::pair{1, 4}, std::pair{2, 5}}) {
        SCHEDULE_ENTRY e;
        e.id = id;
        e.start = local(day, 20, 0);
        e.lengthMinutes = 30;
        ASSERT_EQ(schedule().TryReserve(e), 1);
        schedule().AddEntry(e);
    }
    schedule().Save();
    std::filesystem::remove(temp / "record"); // a due schedule keeps the sheet open
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        ASSERT_EQ(pcList(page).GetItemCount(), 2);
        // The poll started the first entry (a once entry leaves the table) while the list still shows it.
        schedule().RemoveEntry(1);
        schedule().Save();
        select(page, 1);
        click(page, IDC_SCH_DELETE); // the second row: entry 2, not what is now at position 1
        EXPECT_TRUE(schedule().entries.empty());
        SCHEDULE_ENTRY third;
        third.id = 3;
        third.start = local(6, 20, 0);
        third.lengthMinutes = 30;
        schedule().AddEntry(third);
        ::PostMessage(g_settingsSheetWnd, WM_UI_SCHEDULE_DUE, 0, 0);
        ASSERT_TRUE(platform::mfc::PumpUiUntil([] { return g_settingsSheetWnd == nullptr; }, 5000));
        ASSERT_EQ(pcList(page).GetItemCount(), 1) << "the list shows the table the poll left";
        EXPECT_EQ(pcList(page).GetItemData(0), 3u);
    });
}

TEST_F(SchedulePcTest, ThePagesBoxClockGoesOnAMinuteAMinuteAndToTheNextDayAtMidnight) {
    startProgram();
    showLive(UI_STATE_TV_PLAY);
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        auto* date = static_cast<CDateTimeCtrl*>(page.GetDlgItem(IDC_SCH_DATE));
        auto* time = static_cast<CDateTimeCtrl*>(page.GetDlgItem(IDC_SCH_TIME));
        const SYSTEMTIME evening{2008, 12, 3, 31, 23, 59, 0, 0};
        date->SetTime(&evening);
        time->SetTime(&evening);
        for (int tick = 0; tick < 60; ++tick) // one minute of the page's seconds
            page.SendMessage(WM_TIMER, kScheduleClockTimer, 0);
        SYSTEMTIME d{}, t{};
        date->GetTime(&d);
        time->GetTime(&t);
        EXPECT_EQ(std::make_tuple(d.wYear, d.wMonth, d.wDay), std::make_tuple(2009, 1, 1));
        EXPECT_EQ(std::make_pair(t.wHour, t.wMinute), std::make_pair(WORD{0}, WORD{0}));
    });
}

} // namespace
