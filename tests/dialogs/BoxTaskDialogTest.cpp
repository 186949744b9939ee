// The box task dialog's OK: its checks in their order, each refusal with its message and the dialog left
// open, and the task it makes of what the user set.
#include "SheetFixture.h"

#include "dialogs/BoxTaskDialog.h"
#include "dialogs/records/BoxTasks.h"
#include "platform/win32/Text.h"

#include <cstring>

namespace {

// What the user sets: a start on 2008-07-01 (a Tuesday; the box time is 12:00 that day), a length, a
// name; weekly with the days of a box day mask.
struct Input {
    int hour = 12, minute = 5;
    int hours = 0, minutes = 30;
    std::wstring name = L"film";
    bool weekly = false;
    BYTE days = 0;
};

constexpr SYSTEMTIME kBoxTime{2008, 7, 2, 1, 12, 0, 0, 0};
constexpr BYTE kTuesday = 0x10;

BoxTaskRecord storedTask(BYTE id, const char* name, int hour) {
    BoxTaskRecord t{};
    t.id = id;
    StoreBoxTime(t.start, {2008, 7, 1, hour, 0, 0});
    StoreBoxTime(t.end, {2008, 7, 1, hour + 1, 0, 0});
    t.diskKey = 1;
    std::strcpy(t.fileName, name);
    t.format = 1;
    t.source = 2;
    return t;
}

class BoxTaskDialogTest : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        g_boxInfo = BoxInfoRecord{};
        g_boxInfo.marker = kBoxInfoValid;
        g_boxInfo.diskCount = 1;
        g_boxInfo.disks[0].key = 1;
        std::strcpy(g_boxInfo.disks[0].name, "HDD1");
        g_boxInfo.disks[0].freeMb = 500;
        g_boxInfo.taskCount = 2;
        g_boxInfo.tasks[0] = storedTask(1, "news", 20);
        g_boxInfo.tasks[1] = storedTask(2, "late", 22);
    }
    // Runs the dialog (update: of stored task 1) with the input, OK pressed once; IDOK or 77 (still open).
    INT_PTR run(const Input& in, bool update, BoxTaskRecord* made = nullptr) {
        onModal[194] = [&](CDialog& d) {
            const auto set = [&](int id, const SYSTEMTIME& t) {
                static_cast<CDateTimeCtrl*>(d.GetDlgItem(id))->SetTime(&t);
            };
            const SYSTEMTIME start{2008, 7, 2, 1, static_cast<WORD>(in.hour), static_cast<WORD>(in.minute),
                                   0,    0};
            set(IDC_BT_DATE, start);
            set(IDC_BT_TIME, start);
            static_cast<CSpinButtonCtrl*>(d.GetDlgItem(IDC_BT_HOURS_SPIN))->SetPos(in.hours);
            static_cast<CSpinButtonCtrl*>(d.GetDlgItem(IDC_BT_MINUTES_SPIN))->SetPos(in.minutes);
            d.GetDlgItem(IDC_BT_NAME)->SetWindowText(in.name);
            static_cast<CButton*>(d.GetDlgItem(IDC_BT_ONCE))->SetCheck(!in.weekly);
            static_cast<CButton*>(d.GetDlgItem(IDC_BT_TIMES))->SetCheck(in.weekly);
            click(d, in.weekly ? IDC_BT_TIMES : IDC_BT_ONCE);
            static const BYTE bits[7] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
            for (int i = 0; i < 7; ++i)
                static_cast<CButton*>(d.GetDlgItem(IDC_BT_FIRST_DAY + i))->SetCheck((in.days & bits[i]) != 0);
            click(d, IDC_BT_OK);
            return INT_PTR{77};
        };
        const BoxTaskRecord stored = g_boxInfo.tasks[0];
        KQ_UI_BoxTaskDialog dialog = update ? KQ_UI_BoxTaskDialog(main.get(), kBoxTime, stored)
                                            : KQ_UI_BoxTaskDialog(main.get(), kBoxTime);
        const INT_PTR result = dialog.DoModal();
        if (made)
            *made = dialog.Task();
        return result;
    }
};

TEST_F(BoxTaskDialogTest, OkChecksTheTaskInOrderAndTheFirstRefusalKeepsTheDialogOpen) {
    startProgram();
    const std::wstring wide16(16, L'\u00e9'); // 16 characters, 32 bytes in a code page of two-byte letters
    const struct Case {
        const char* name;
        Input input;
        bool update;
        const wchar_t* refusal; // null: accepted
        const wchar_t* caption = L"Solvane Player";
        const char* codePage = nullptr;
    } cases[] = {
        {"starting at box time + 4", {.minute = 4}, false, L"KQ_S_INVALID_START_TIME"},
        {"+ 5", {.minute = 5}, false, nullptr},
        {"+ 4 and no length: the start first",
         {.minute = 4, .minutes = 0},
         false,
         L"KQ_S_INVALID_START_TIME"},
        {"no length", {.minutes = 0}, false, L"KQ_S_SELECT_VIDEO_LENGTH"},
        {"no name", {.name = L""}, false, L"KQ_S_FULL_FILL_FILE"},
        {"25 characters", {.name = std::wstring(25, L'x')}, false, L"KQ_S_FULL_FILL_FILE"},
        {"24 characters", {.name = std::wstring(24, L'x')}, false, nullptr},
        {"24 characters and no length: the length first",
         {.minutes = 0, .name = std::wstring(25, L'x')},
         false,
         L"KQ_S_SELECT_VIDEO_LENGTH"},
        {"over 31 bytes", {.name = wide16}, false, L"KQ_S_FILE_NAME_TOO_LONG", L"Solvane Player", "UTF-8"},
        {"another task's name", {.name = L"late"}, false, L"KQ_S_FILE_EXISTS"},
        {"another task's name when updating", {.hour = 18, .name = L"late"}, true, L"KQ_S_FILE_EXISTS"},
        {"its own name when updating", {.hour = 18, .name = L"news"}, true, nullptr},
        {"weekly without a day", {.weekly = true}, false, L"KQ_S_TASK_ERROR_NO_SELECT_TIME", L"Schedule"},
        {"overlapping another task", {.hour = 20, .minute = 30}, false, L"KQ_S_CAN_NOT_ADD"},
        {"updated onto another task", {.hour = 21, .minute = 30}, true, L"KQ_S_CAN_NOT_UPDATE"},
        {"weekly, earlier than the box time",
         {.hour = 10, .minute = 0, .weekly = true, .days = kTuesday},
         false,
         nullptr},
    };
    const std::string codePage = platform::LegacyCodePage();
    for (const Case& c : cases) {
        if (c.codePage) {
            ASSERT_TRUE(platform::SetLegacyCodePage(c.codePage));
        }
        messages.clear();
        const INT_PTR result = run(c.input, c.update);
        platform::SetLegacyCodePage(codePage);
        if (!c.refusal) {
            EXPECT_EQ(result, IDOK) << c.name;
            EXPECT_TRUE(messages.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(result, 77) << c.name << ": still open";
        ASSERT_EQ(messages.size(), 1u) << c.name;
        EXPECT_EQ(messages[0].text, text(c.refusal)) << c.name;
        EXPECT_FALSE(messages[0].text.empty()) << c.name;
        EXPECT_EQ(messages[0].caption, c.caption) << c.name;
    }
}

TEST_F(BoxTaskDialogTest, TheTaskIsMadeOfWhatTheUserSetAndUpdateModeShowsTheTask) {
    startProgram();
    app->m_config.m_channelTable = {{0, L"One", 12, 3000}};
    BoxTaskRecord made{};
    ASSERT_EQ(run({.hour = 13, .minute = 15, .hours = 1, .minutes = 50, .name = L"concert"}, false, &made),
              IDOK);
    EXPECT_EQ(made.id, 255);
    EXPECT_STREQ(made.start, "2008:7:1:13:15");
    EXPECT_STREQ(made.end, "2008:7:1:15:5");
    EXPECT_STREQ(made.fileName, "concert");
    EXPECT_EQ(made.diskKey, 1);
    EXPECT_EQ(made.format, 1);
    EXPECT_EQ(made.source, 2) << "the tuner";
    EXPECT_EQ(made.channel, 12);
    EXPECT_EQ(made.dayMask, 0);

    // Update mode shows the task: its length, name, days; the OK button says so.
    g_boxInfo.tasks[0].dayMask = kTuesday;
    onModal[194] = [&](CDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_BT_OK)->GetWindowText(), text(L"IDS_BOX_REC_UPDATE"));
        EXPECT_EQ(d.GetDlgItem(IDC_BT_NAME)->GetWindowText(), L"news");
        EXPECT_EQ(static_cast<CSpinButtonCtrl*>(d.GetDlgItem(IDC_BT_HOURS_SPIN))->GetPos(), 1);
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(IDC_BT_TIMES))->GetCheck(), BST_CHECKED);
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(IDC_BT_FIRST_DAY + 2))->GetCheck(), BST_CHECKED);
        EXPECT_FALSE(d.GetDlgItem(IDC_BT_DATE)->IsWindowEnabled());
        EXPECT_TRUE(d.GetDlgItem(IDC_BT_FIRST_DAY_LABEL + 6)->IsWindowEnabled());
        return INT_PTR{IDCANCEL};
    };
    KQ_UI_BoxTaskDialog(main.get(), kBoxTime, g_boxInfo.tasks[0]).DoModal();
    // Add mode: the default name from the box time, the first store, the tuner.
    onModal[194] = [&](CDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_BT_OK)->GetWindowText(), text(L"IDS_BOX_REC_ADD"));
        EXPECT_EQ(d.GetDlgItem(IDC_BT_NAME)->GetWindowText(), L"200871120");
        EXPECT_EQ(d.GetDlgItem(IDC_BT_SPACE)->GetWindowText(), L"500 MB");
        EXPECT_TRUE(d.GetDlgItem(IDC_BT_DATE)->IsWindowEnabled());
        EXPECT_FALSE(d.GetDlgItem(IDC_BT_FIRST_DAY)->IsWindowEnabled());
        EXPECT_FALSE(d.GetDlgItem(IDC_BT_FIRST_DAY_LABEL)->IsWindowEnabled()) << "greyed with its box";
        return INT_PTR{IDCANCEL};
    };
    KQ_UI_BoxTaskDialog(main.get(), kBoxTime).DoModal();
}

} // namespace
