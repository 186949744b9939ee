// The schedule page in box mode against the test box: the lists from the box's information, a task added,
// updated and deleted, and all of them; each refusal's message; the clock and the time zone as the box is
// asked to set them, the zone's token the same in every language.
#include "BoxSheetFixture.h"

#include "dialogs/BoxTaskDialog.h"
#include "dialogs/TimeZones.h"
#include "dialogs/records/BoxTasks.h"

#include <cstring>

namespace {

class ScheduleBoxTest : public BoxSheetFixture {
protected:
    CListCtrl& boxList(KQ_UI_Schedule_Page& page) {
        return *static_cast<CListCtrl*>(page.GetDlgItem(IDC_SCH_BOX_LIST));
    }
    CComboBox& combo(CWnd& w, int id) { return *static_cast<CComboBox*>(w.GetDlgItem(id)); }
    CDateTimeCtrl& picker(CWnd& w, int id) { return *static_cast<CDateTimeCtrl*>(w.GetDlgItem(id)); }
    // Box mode, once the box's information is in.
    void boxMode(KQ_UI_Schedule_Page& page) {
        static_cast<CButton*>(page.GetDlgItem(IDC_SCH_AT_PC))->SetCheck(BST_UNCHECKED);
        static_cast<CButton*>(page.GetDlgItem(IDC_SCH_AT_BOX))->SetCheck(BST_CHECKED);
        click(page, IDC_SCH_AT_BOX);
        ASSERT_TRUE(pumpUntil([&] { return combo(page, IDC_SCH_STORE).GetCount() > 0; }));
    }
    // The box task dialog, when it opens, makes a task of an hour from hour:00 on 2008-07-02 named name.
    void answerTaskDialog(const wchar_t* name, int hour) {
        onModal[194] = [this, name, hour](CDialog& d) {
            const SYSTEMTIME t{2008, 7, 3, 2, static_cast<WORD>(hour), 0, 0, 0};
            picker(d, IDC_BT_DATE).SetTime(&t);
            picker(d, IDC_BT_TIME).SetTime(&t);
            static_cast<CSpinButtonCtrl*>(d.GetDlgItem(IDC_BT_HOURS_SPIN))->SetPos(1);
            d.GetDlgItem(IDC_BT_NAME)->SetWindowText(name);
            click(d, IDC_BT_OK);
            return INT_PTR{IDCANCEL};
        };
    }
    void select(CListCtrl& list, int row) { list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED); }
    void refuse(std::uint32_t command) {
        testBox.Records([&](testbox::BoxRecordsSide& r) { r.Refuse(command); });
    }
};

TEST_F(ScheduleBoxTest, TheBoxsTasksAreListedAddedUpdatedAndDeletedOneAndAll) {
    startProgram();
    loginByAddress();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        ASSERT_EQ(sheet.GetActivePage(), &page);
        EXPECT_FALSE(page.GetDlgItem(IDC_SCH_BOX_LIST)->IsWindowVisible());
        boxMode(page);
        EXPECT_TRUE(page.GetDlgItem(IDC_SCH_BOX_LIST)->GetStyle() & WS_VISIBLE);
        EXPECT_FALSE(page.GetDlgItem(IDC_SCH_PC_LIST)->GetStyle() & WS_VISIBLE);
        EXPECT_EQ(combo(page, IDC_SCH_STORE).GetLBText(0), L"HDD1");
        EXPECT_EQ(page.GetDlgItem(IDC_SCH_SPACE)->GetWindowText(), L"80000 MB");
        EXPECT_EQ(combo(page, IDC_SCH_ZONE).GetCurSel(), 56);
        SYSTEMTIME shown{};
        picker(page, IDC_SCH_DATE).GetTime(&shown);
        EXPECT_EQ(std::make_tuple(shown.wYear, shown.wMonth, shown.wDay), std::make_tuple(2008, 7, 1));
        picker(page, IDC_SCH_TIME).GetTime(&shown);
        EXPECT_EQ(std::make_pair(shown.wHour, shown.wMinute), std::make_pair(WORD{12}, WORD{0}));
        EXPECT_TRUE(page.GetDlgItem(IDC_SCH_ADD)->IsWindowEnabled());

        CListCtrl& list = boxList(page);
        answerTaskDialog(L"news", 20);
        click(page, IDC_SCH_ADD);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 1; }));
        ASSERT_EQ(boxTasks().size(), 1u);
        EXPECT_EQ(taskFile(boxTasks()[0]), "news");
        EXPECT_EQ(list.GetItemText(0, 0), L"2008:7:2:20:0");
        EXPECT_EQ(list.GetItemText(0, 3), L"60");
        EXPECT_EQ(list.GetItemText(0, 4), L"HDD1");
        EXPECT_EQ(list.GetItemText(0, 5), L"204.0 MB");
        EXPECT_EQ(list.GetItemText(0, 6), L"news");
        EXPECT_EQ(list.GetItemData(0), boxTasks()[0][0]) << "the row carries the box's id";

        answerTaskDialog(L"late news", 21);
        select(list, 0);
        click(page, IDC_SCH_EDIT);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemText(0, 6) == L"late news"; }));
        ASSERT_EQ(boxTasks().size(), 1u);
        EXPECT_EQ(taskFile(boxTasks()[0]), "late news");
        EXPECT_EQ(BoxTaskFileText(g_boxInfo.tasks[0]), L"late news") << "the copy follows";

        select(list, 0);
        click(page, IDC_SCH_DELETE);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 0; }));
        EXPECT_TRUE(boxTasks().empty());
        EXPECT_EQ(g_boxInfo.taskCount, 0);

        for (const auto& [name, hour] : {std::pair{L"one", 18}, std::pair{L"two", 20}}) {
            answerTaskDialog(name, hour);
            const int rows = list.GetItemCount();
            click(page, IDC_SCH_ADD);
            ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == rows + 1; }));
        }
        ASSERT_EQ(boxTasks().size(), 2u);
        answer = IDYES;
        click(page, IDC_SCH_REMOVE_ALL);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 0; }));
        EXPECT_TRUE(boxTasks().empty());
        EXPECT_EQ(messages.back().text, text(L"KQ_S_TASK_NOTE"));
        EXPECT_EQ(messages.back().type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    });
}

TEST_F(ScheduleBoxTest, EachRefusalOfTheBoxShowsItsMessageAndChangesNothing) {
    startProgram();
    loginByAddress();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        boxMode(page);
        CListCtrl& list = boxList(page);
        answerTaskDialog(L"news", 20);
        click(page, IDC_SCH_ADD);
        ASSERT_TRUE(pumpUntil([&] { return list.GetItemCount() == 1; }));
        const auto waitMessage = [&](std::size_t before) {
            return pumpUntil([&] { return messages.size() > before; });
        };

        refuse(testbox::kAddBoxTask);
        std::size_t before = messages.size();
        answerTaskDialog(L"film", 22);
        click(page, IDC_SCH_ADD);
        ASSERT_TRUE(waitMessage(before));
        EXPECT_EQ(messages.back().text, L"Add Task Failed!");
        EXPECT_EQ(messages.back().caption, L"Solvane Player");

        refuse(testbox::kUpdateBoxTask);
        before = messages.size();
        answerTaskDialog(L"late news", 21);
        select(list, 0);
        click(page, IDC_SCH_EDIT);
        ASSERT_TRUE(waitMessage(before));
        EXPECT_EQ(messages.back().text, text(L"KQ_S_UPDATE_TASK_FAILED"));
        EXPECT_FALSE(messages.back().text.empty()) << "the key with its blank finds its text";

        refuse(testbox::kDeleteBoxTask);
        before = messages.size();
        select(list, 0);
        click(page, IDC_SCH_DELETE);
        ASSERT_TRUE(waitMessage(before));
        EXPECT_EQ(messages.back().text, text(L"KQ_S_DEL_TASK_FAILED"));
        EXPECT_EQ(messages.back().caption, L"Solvane Player");
        ASSERT_EQ(boxTasks().size(), 1u);
        EXPECT_EQ(taskFile(boxTasks()[0]), "news");
        EXPECT_EQ(list.GetItemCount(), 1);
        EXPECT_EQ(list.GetItemText(0, 6), L"news");

        // The information: refused, only the wait ends; a record that is not valid says so.
        refuse(testbox::kGetBoxInfo);
        before = messages.size();
        click(page, IDC_SCH_AT_BOX);
        ASSERT_TRUE(pumpUntil([&] { return QApplication::overrideCursor() == nullptr; }));
        EXPECT_EQ(messages.size(), before);
        // (The box link passes on only records marked valid; the page checks the mark itself.)
        BoxInfoRecord unmarked = g_boxInfo;
        unmarked.marker = 0;
        page.SendMessage(WM_BOX_INFO, reinterpret_cast<WPARAM>(unmarked.data()), BoxInfoRecord::size());
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back().text, L"UpdateAllInfo Failed.");
        EXPECT_EQ(messages.back().caption, L"");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(list.GetItemCount(), 1) << "the lists keep what they showed";
    });
}

TEST_F(ScheduleBoxTest, AnEleventhTaskIsRefusedBeforeItsDialog) {
    startProgram();
    testBox.Records([](testbox::BoxRecordsSide& r) {
        testbox::Bytes& info = r.Info();
        info[211] = 10;
        for (int i = 0; i < 10; ++i) {
            const std::string start = "2008:7:" + std::to_string(2 + i) + ":20:0";
            const std::string end = "2008:7:" + std::to_string(2 + i) + ":21:0";
            const testbox::Bytes task = testbox::TaskRecord(static_cast<std::uint8_t>(i + 1), start, end, 1,
                                                            "task" + std::to_string(i));
            std::copy(task.begin(), task.end(), info.begin() + 212 + 79 * i);
        }
    });
    loginByAddress();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        boxMode(page);
        ASSERT_EQ(boxList(page).GetItemCount(), 10);
        messages.clear();
        click(page, IDC_SCH_ADD);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, text(L"KQ_S_CAN_NOT_ADD"));
        EXPECT_EQ(std::count(modal.begin(), modal.end(), 194), 0) << "no dialog";
    });
    EXPECT_TRUE(framesOf(testbox::kAddBoxTask).empty());
}

TEST_F(ScheduleBoxTest, TheClockAndTheZoneAreSetOnTheBoxWithTheSameTokenInEveryLanguage) {
    startProgram();
    loginByAddress();
    openSettings(ID_MENU_SCHEDULE, [&](KQ_UI_Set_Sheet& sheet) {
        KQ_UI_Schedule_Page& page = sheet.m_schedulePage;
        boxMode(page);
        const SYSTEMTIME set{2009, 1, 5, 2, 3, 4, 0, 0};
        picker(page, IDC_SCH_DATE).SetTime(&set);
        picker(page, IDC_SCH_TIME).SetTime(&set);
        click(page, IDC_SCH_SET_CLOCK);
        ASSERT_TRUE(pumpUntil([&] { return !framesOf(testbox::kSetBoxTime).empty(); }));
        const testbox::ReceivedFrame clock = framesOf(testbox::kSetBoxTime).back();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(clock.payload())), "2009:01:02:03:04");
        EXPECT_EQ(clock.value, 16u);

        for (int language : {0, 1}) {
            g_languageIndex = language;
            ASSERT_TRUE(sheet.SetActivePage(1));
            ASSERT_TRUE(sheet.SetActivePage(&page)); // the page's texts again, in this language
            CComboBox& zones = combo(page, IDC_SCH_ZONE);
            ASSERT_EQ(zones.GetCount(), kTimeZoneCount);
            EXPECT_EQ(zones.GetLBText(12),
                      language == 0 ? L"GTM-05:00 Bogota,Lima,Quito" : L"GMT-05:00 Bogota,Lima,Quito");
            EXPECT_EQ(zones.GetLBText(26), language == 0
                                               ? L"GTM Greenwich Mean Time:Dublin,Edinburgh,Lisbon,London"
                                               : L"GMT Greenwich-Zeit:Dublin,Edinburgh,Lissabon,London");
            const std::size_t sent = framesOf(testbox::kSetTimeZone).size();
            const int zone = language == 0 ? 12 : 26;
            choose(page, IDC_SCH_ZONE, zone);
            ASSERT_TRUE(pumpUntil([&] { return framesOf(testbox::kSetTimeZone).size() > sent; }));
            const testbox::ReceivedFrame request = framesOf(testbox::kSetTimeZone).back();
            EXPECT_EQ(request.value, static_cast<std::uint32_t>(zone));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(request.payload())),
                      language == 0 ? "GTM-05:00" : "GTM")
                << "the English token in language " << language;
        }
        // The box answers the zone with its clock, which the pickers show.
        const SYSTEMTIME other{2010, 6, 1, 7, 8, 9, 0, 0};
        picker(page, IDC_SCH_DATE).SetTime(&other);
        const char time[] = "2009:1:2:3:4";
        page.SendMessage(WM_BOX_TIME, 1, reinterpret_cast<LPARAM>(time));
        SYSTEMTIME shown{};
        picker(page, IDC_SCH_DATE).GetTime(&shown);
        EXPECT_EQ(std::make_tuple(shown.wYear, shown.wMonth, shown.wDay), std::make_tuple(2009, 1, 2));
        page.SendMessage(WM_BOX_TIME, 0, reinterpret_cast<LPARAM>("2011:1:1:1:1"));
        picker(page, IDC_SCH_DATE).GetTime(&shown);
        EXPECT_EQ(shown.wYear, 2009) << "the clock's own answer changes nothing";
        std::uint8_t zone = 0;
        testBox.Records([&](testbox::BoxRecordsSide& r) { zone = r.Info()[41]; });
        EXPECT_EQ(zone, 26) << "the box took the zone";
    });
}

} // namespace
