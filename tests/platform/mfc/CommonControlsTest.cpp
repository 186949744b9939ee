#include "UiFixture.h"

#include "platform/mfc/CommonControls.h"
#include "platform/mfc/Controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableWidget>

#include <string>
#include <vector>

namespace {

constexpr int kDate = 300, kTime = 301, kList = 302, kHours = 303, kSpin = 304, kSlider = 305;

DialogTemplate controlsTemplate() {
    DialogTemplate t;
    t.id = 902;
    t.caption = L"Controls";
    t.cx = 260;
    t.cy = 160;
    t.items = {
        {L"SysDateTimePick32", kDate, 5, 5, 80, 12, WS_VISIBLE | DTS_SHORTDATEFORMAT, L""},
        {L"SysDateTimePick32", kTime, 90, 5, 60, 12, WS_VISIBLE | DTS_TIMEFORMAT, L""},
        {L"SysListView32", kList, 5, 22, 250, 90, WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, L""},
        {L"Edit", kHours, 5, 120, 40, 12, WS_VISIBLE, L""},
        {L"msctls_updown32", kSpin, 45, 120, 10, 12,
         WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, L""},
        {L"msctls_trackbar32", kSlider, 70, 120, 100, 15, WS_VISIBLE, L""},
    };
    return t;
}

struct Notice {
    UINT code;
    int item;
    UINT oldState;
    UINT newState;
    LPARAM data;
};

// Hears what its list says, as a settings page would.
class ControlsDialog : public CDialog {
public:
    ControlsDialog() : CDialog(controlsTemplate()) {
        for (UINT code : {LVN_ITEMCHANGED, NM_CLICK, NM_DBLCLK})
            MapWmNotify(kList, code, [this](NMHDR* header, LRESULT*) {
                const auto* n = reinterpret_cast<NMLISTVIEW*>(header);
                notices.push_back({header->code, n->iItem, n->uOldState, n->uNewState, n->lParam});
            });
        MapMessage(WM_HSCROLL, [this](WPARAM w, LPARAM l) {
            if (reinterpret_cast<HWND>(l) == GetDlgItem(kSlider)->m_hWnd)
                scrolls.emplace_back(LOWORD(w), HIWORD(w));
            return LRESULT{0};
        });
    }
    BOOL OnInitDialog() override {
        list.SubclassDlgItem(kList, this);
        return TRUE;
    }
    CListCtrl list;
    std::vector<Notice> notices;
    std::vector<std::pair<WORD, WORD>> scrolls;
};

void click(QWidget* widget, const QPoint& at, bool twice = false) {
    const auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent e(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    if (twice) {
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
}

void key(QWidget* widget, int k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class CommonControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(dialog.Create());
        dialog.ShowWindow(SW_SHOW);
        platform::mfc::PumpUiFor(1);
    }
    QTableWidget* table() { return static_cast<QTableWidget*>(dialog.list.part()->face.data()); }
    QPoint cellCentre(int row, int column) {
        return table()->visualItemRect(table()->item(row, column)).center();
    }
    ControlsDialog dialog;
};

TEST_F(CommonControlsTest, PickersKeepTheWholeTimeTheyAreGiven) {
    auto* date = static_cast<CDateTimeCtrl*>(dialog.GetDlgItem(kDate));
    auto* time = static_cast<CDateTimeCtrl*>(dialog.GetDlgItem(kTime));
    struct Case {
        SYSTEMTIME in;
        WORD weekday;
    };
    const Case cases[] = {
        {{2008, 7, 0, 1, 0, 0, 0, 0}, 2},     // the schedule page's start: a Tuesday
        {{2024, 2, 0, 29, 23, 59, 58, 0}, 4}, // leap day, last minute
        {{2021, 3, 0, 28, 2, 30, 0, 0}, 0},   // an hour that daylight saving skips in Europe
        {{1999, 12, 1, 31, 12, 0, 0, 0}, 5},  // a wrong weekday given is not kept
    };
    for (const Case& c : cases) {
        for (CDateTimeCtrl* picker : {date, time}) {
            ASSERT_TRUE(picker->SetTime(&c.in));
            SYSTEMTIME out{};
            ASSERT_EQ(picker->GetTime(&out), GDT_VALID);
            EXPECT_EQ(out.wYear, c.in.wYear);
            EXPECT_EQ(out.wMonth, c.in.wMonth);
            EXPECT_EQ(out.wDay, c.in.wDay);
            EXPECT_EQ(out.wHour, c.in.wHour);
            EXPECT_EQ(out.wMinute, c.in.wMinute);
            EXPECT_EQ(out.wSecond, c.in.wSecond);
            EXPECT_EQ(out.wDayOfWeek, c.weekday);
        }
    }
    const SYSTEMTIME before{2010, 5, 0, 6, 7, 8, 9, 0};
    ASSERT_TRUE(time->SetTime(&before));
    for (const SYSTEMTIME bad :
         {SYSTEMTIME{2010, 2, 0, 30, 0, 0, 0, 0}, SYSTEMTIME{2010, 13, 0, 1, 0, 0, 0, 0},
          SYSTEMTIME{2010, 1, 0, 1, 24, 0, 0, 0}, SYSTEMTIME{1700, 1, 0, 1, 0, 0, 0, 0}})
        EXPECT_FALSE(time->SetTime(&bad));
    EXPECT_FALSE(time->SetTime(nullptr));
    SYSTEMTIME out{};
    time->GetTime(&out);
    EXPECT_EQ(out.wDay, 6);
    EXPECT_EQ(out.wMinute, 8);
}

TEST_F(CommonControlsTest, ListViewHoldsColumnsItemsTextsAndData) {
    CListCtrl& list = dialog.list;
    EXPECT_EQ(list.InsertColumn(0, L"Start", LVCFMT_LEFT, 100), 0);
    EXPECT_EQ(list.InsertColumn(5, L"Status", LVCFMT_LEFT, 70), 1); // past the end: appended
    EXPECT_EQ(list.InsertColumn(1, L"Length"), 1);
    EXPECT_EQ(list.GetColumnCount(), 3);
    EXPECT_EQ(table()->horizontalHeaderItem(2)->text(), QStringLiteral("Status"));
    std::wstring heading = L"Duration";
    LVCOLUMN col;
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = heading.data();
    col.cx = 80;
    EXPECT_TRUE(list.SetColumn(1, &col));
    EXPECT_EQ(table()->horizontalHeaderItem(1)->text(), QStringLiteral("Duration"));
    EXPECT_EQ(table()->columnWidth(1), 80);
    EXPECT_EQ(table()->columnWidth(0), 100);

    EXPECT_EQ(list.InsertItem(0, L"b"), 0);
    EXPECT_EQ(list.InsertItem(0, L"a"), 0);  // in front
    EXPECT_EQ(list.InsertItem(99, L"c"), 2); // past the end: appended
    EXPECT_TRUE(list.SetItemText(1, 2, L"once"));
    EXPECT_FALSE(list.SetItemText(3, 0, L"no such row"));
    EXPECT_FALSE(list.SetItemText(0, 3, L"no such column"));
    for (int i = 0; i < 3; ++i)
        list.SetItemData(i, 100 + static_cast<DWORD_PTR>(i));
    EXPECT_EQ(list.GetItemText(1, 0), L"b");
    EXPECT_EQ(list.GetItemText(1, 2), L"once");
    EXPECT_EQ(list.GetItemText(1, 1), L"");
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0, 0), L"b");
    EXPECT_EQ(list.GetItemData(0), 101u);
    EXPECT_EQ(list.GetItemData(1), 102u);
    EXPECT_EQ(list.GetItemData(2), 0u);
    EXPECT_FALSE(list.DeleteItem(2));
    EXPECT_TRUE(dialog.notices.empty()); // inserting, writing and deleting notify nothing
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(CommonControlsTest, ListViewTellsItsParentOfSelectionClicksAndDoubleClicks) {
    CListCtrl& list = dialog.list;
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    list.InsertColumn(0, L"Date", LVCFMT_LEFT, 100);
    list.InsertColumn(1, L"Time", LVCFMT_LEFT, 90);
    for (int i = 0; i < 3; ++i) {
        list.InsertItem(i, L"row " + std::to_wstring(i));
        list.SetItemText(i, 1, L"12:00");
        list.SetItemData(i, 40 + static_cast<DWORD_PTR>(i));
    }
    platform::mfc::PumpUiFor(1);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);

    click(table()->viewport(), cellCentre(1, 1)); // a sub-item selects the row with full-row select
    ASSERT_EQ(dialog.notices.size(), 2u);
    EXPECT_EQ(dialog.notices[0].code, LVN_ITEMCHANGED);
    EXPECT_EQ(dialog.notices[0].item, 1);
    EXPECT_EQ(dialog.notices[0].oldState & LVIS_SELECTED, 0u);
    EXPECT_EQ(dialog.notices[0].newState & LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(dialog.notices[0].data, 41);
    EXPECT_EQ(dialog.notices[1].code, NM_CLICK);
    EXPECT_EQ(dialog.notices[1].item, 1);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
    EXPECT_EQ(list.GetNextItem(1, LVNI_SELECTED), -1);
    EXPECT_EQ(list.GetSelectedCount(), 1u);

    dialog.notices.clear();
    click(table()->viewport(), cellCentre(2, 0), true); // single select: row 1 loses it to row 2
    std::vector<std::pair<UINT, int>> seen;
    for (const Notice& n : dialog.notices)
        seen.emplace_back(n.code, n.item);
    const std::vector<std::pair<UINT, int>> expected{
        {LVN_ITEMCHANGED, 1}, {LVN_ITEMCHANGED, 2}, {NM_CLICK, 2}, {NM_DBLCLK, 2}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(dialog.notices[0].newState & LVIS_SELECTED, 0u);
    EXPECT_EQ(list.GetItemState(2, LVIS_SELECTED), LVIS_SELECTED);

    dialog.notices.clear();
    const QRect last = table()->visualItemRect(table()->item(2, 0));
    click(table()->viewport(), QPoint(last.center().x(), last.bottom() + 20)); // below the rows
    ASSERT_FALSE(dialog.notices.empty());
    EXPECT_EQ(dialog.notices.back().code, NM_CLICK);
    EXPECT_EQ(dialog.notices.back().item, -1);

    dialog.notices.clear();
    EXPECT_TRUE(list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED)); // by code, heard as well
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);
    ASSERT_FALSE(dialog.notices.empty());
    EXPECT_EQ(dialog.notices.back().item, 0);
    EXPECT_EQ(dialog.notices.back().newState & LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(list.SetItemState(-1, 0, LVIS_SELECTED));
    EXPECT_EQ(list.GetSelectedCount(), 0u);
}

TEST_F(CommonControlsTest, ListViewCheckBoxesAndSelectionWithoutFullRow) {
    CListCtrl& list = dialog.list;
    list.SetExtendedStyle(LVS_EX_CHECKBOXES);
    list.InsertColumn(0, L"Name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, L"Channel", LVCFMT_RIGHT, 60);
    list.InsertItem(0, L"One");
    list.InsertItem(1, L"Two");
    list.SetItemText(1, 1, L"7");
    platform::mfc::PumpUiFor(1);
    EXPECT_FALSE(list.GetCheck(1));
    EXPECT_TRUE(list.SetCheck(1));
    EXPECT_TRUE(list.GetCheck(1));
    ASSERT_EQ(dialog.notices.size(), 1u);
    EXPECT_EQ(dialog.notices[0].oldState & LVIS_STATEIMAGEMASK, 0x1000u);
    EXPECT_EQ(dialog.notices[0].newState & LVIS_STATEIMAGEMASK, 0x2000u);
    dialog.notices.clear();
    click(table()->viewport(), cellCentre(0, 1)); // without full-row select a sub-item selects nothing
    EXPECT_EQ(list.GetSelectedCount(), 0u);
    click(table()->viewport(), cellCentre(0, 0));
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);
    list.SetCheck(1, FALSE);
    EXPECT_FALSE(list.GetCheck(1));
    EXPECT_EQ(dialog.notices.back().code, LVN_ITEMCHANGED);
    EXPECT_EQ(dialog.notices.back().item, 1);
    EXPECT_EQ(dialog.notices.back().newState & LVIS_STATEIMAGEMASK, 0x1000u);
}

TEST_F(CommonControlsTest, SpinKeepsItsPositionInTheBuddyWithinTheRange) {
    auto* spin = static_cast<CSpinButtonCtrl*>(dialog.GetDlgItem(kSpin));
    CWnd* hours = dialog.GetDlgItem(kHours);
    int lower = 0, upper = 0;
    spin->GetRange(lower, upper);
    EXPECT_EQ(lower, 100); // the system's default range runs backwards
    EXPECT_EQ(upper, 0);
    RECT editBefore, spinRect, editAfter;
    hours->GetWindowRect(&editBefore);
    EXPECT_EQ(spin->SetBuddy(hours), nullptr);
    EXPECT_EQ(spin->GetBuddy(), hours);
    hours->GetWindowRect(&editAfter);
    spin->GetWindowRect(&spinRect);
    EXPECT_EQ(spinRect.right, editBefore.right); // inside the buddy's right edge, the buddy narrowed
    EXPECT_EQ(editAfter.right, spinRect.left);
    EXPECT_EQ(spinRect.bottom - spinRect.top, editBefore.bottom - editBefore.top);

    spin->SetRange(0, 23);
    spin->SetPos(22);
    EXPECT_EQ(hours->GetWindowText(), L"22");
    const QList<QAbstractButton*> arrows = spin->part()->face->findChildren<QAbstractButton*>();
    ASSERT_EQ(arrows.size(), 2);
    QAbstractButton* up = arrows[0];
    QAbstractButton* down = arrows[1];
    up->click();
    EXPECT_EQ(spin->GetPos(), 23);
    up->click(); // stops at the end
    EXPECT_EQ(hours->GetWindowText(), L"23");
    hours->SetWindowText(L"5"); // typed by the user
    EXPECT_EQ(spin->GetPos(), 5);
    down->click();
    EXPECT_EQ(hours->GetWindowText(), L"4");
    hours->SetWindowText(L"40"); // out of range: the last position
    EXPECT_EQ(spin->GetPos(), 4);
    hours->SetWindowText(L"x");
    EXPECT_EQ(spin->GetPos(), 4);
    key(hours->part()->face, Qt::Key_Up);
    EXPECT_EQ(hours->GetWindowText(), L"5");
    EXPECT_EQ(spin->SetPos(99), 5); // brought into the range
    EXPECT_EQ(spin->GetPos(), 23);
    spin->SetRange(0, 59);
    EXPECT_EQ(spin->GetPos(), 23); // a new range keeps the position
}

TEST_F(CommonControlsTest, SpinWrapsWithUdsWrap) {
    CEdit minutes;
    ASSERT_TRUE(minutes.Create(WS_VISIBLE, RECT{0, 0, 40, 20}, &dialog, 310));
    CSpinButtonCtrl spin;
    ASSERT_TRUE(spin.Create(WS_VISIBLE | UDS_SETBUDDYINT | UDS_WRAP, RECT{40, 0, 55, 20}, &dialog, 311));
    spin.SetBuddy(&minutes);
    spin.SetRange(0, 59);
    spin.SetPos(59);
    const QList<QAbstractButton*> arrows = spin.part()->face->findChildren<QAbstractButton*>();
    arrows[0]->click();
    EXPECT_EQ(minutes.GetWindowText(), L"0");
    arrows[1]->click();
    EXPECT_EQ(minutes.GetWindowText(), L"59");
}

TEST_F(CommonControlsTest, SliderTellsOnlyTheUsersMoves) {
    auto* slider = static_cast<CSliderCtrl*>(dialog.GetDlgItem(kSlider));
    slider->SetRange(0, 10);
    slider->SetPos(4);
    EXPECT_EQ(slider->GetPos(), 4);
    EXPECT_TRUE(dialog.scrolls.empty());
    key(slider->part()->face, Qt::Key_Right);
    EXPECT_EQ(slider->GetPos(), 5);
    const std::vector<std::pair<WORD, WORD>> expected{{TB_THUMBPOSITION, 5}, {TB_ENDTRACK, 5}};
    EXPECT_EQ(dialog.scrolls, expected);
    int low = 0, high = 0;
    slider->GetRange(low, high);
    EXPECT_EQ(high, 10);
}

} // namespace
