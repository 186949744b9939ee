#include "UiFixture.h"

#include "platform/mfc/PropertySheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>

#include <set>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

DialogTemplate pageTemplate(int id, const std::wstring& caption, std::vector<DialogItem> items = {}) {
    DialogTemplate t;
    t.id = id;
    t.caption = caption;
    t.cx = 160;
    t.cy = 80;
    t.style = WS_CHILD | WS_CAPTION; // as page templates are written; the sheet takes no frame from it
    t.items = std::move(items);
    return t;
}

// A page that writes what the sheet asks of it into a log and answers as told.
class LoggedPage : public CPropertyPage {
public:
    LoggedPage(Log& log, std::string name, int id, std::vector<DialogItem> items = {})
        : CPropertyPage(pageTemplate(id, std::wstring(name.begin(), name.end()), std::move(items))),
          log_(log), name_(std::move(name)) {}
    BOOL OnInitDialog() override { return note("init"), TRUE; }
    BOOL OnSetActive() override {
        note("set");
        if (onSet)
            onSet();
        return TRUE;
    }
    BOOL OnKillActive() override { return note("kill"), kill; }
    BOOL OnApply() override { return note("apply"), CPropertyPage::OnApply() && apply; }
    void OnOK() override { note("ok"); }
    void OnCancel() override { note("cancel"); }
    LRESULT OnWizardNext() override { return note("next"), next; }
    LRESULT OnWizardBack() override { return note("back"), back; }
    BOOL OnWizardFinish() override { return note("finish"), finish; }

    BOOL kill = TRUE, apply = TRUE, finish = TRUE;
    LRESULT next = 0, back = 0;
    std::function<void()> onSet;

private:
    void note(const char* what) { log_.push_back(name_ + " " + what); }
    Log& log_;
    std::string name_;
};

void click(QWidget* widget, const QPoint& at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void clickTab(CPropertySheet& sheet, int index) {
    QTabBar* bar = static_cast<QTabWidget*>(sheet.GetTabControl()->part()->face.data())->tabBar();
    click(bar, bar->tabRect(index).center());
}

void clickButton(CPropertySheet& sheet, int id) {
    static_cast<QAbstractButton*>(sheet.GetDlgItem(id)->part()->face.data())->click();
}

bool shown(const CWnd& wnd) {
    return wnd.m_hWnd && (wnd.GetStyle() & WS_VISIBLE);
}

bool enabled(const CPropertySheet& sheet, int id) {
    return sheet.GetDlgItem(id)->IsWindowEnabled();
}

std::wstring tabText(CTabCtrl* tabs, int index, int room = 64) {
    std::vector<wchar_t> buffer(static_cast<std::size_t>(room), L'?');
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = buffer.data();
    item.cchTextMax = room;
    return tabs->GetItem(index, &item) ? std::wstring(buffer.data()) : L"<none>";
}

class PropertySheetTest : public UiTest {
protected:
    Log log;
    LoggedPage a{log, "A", 201};
    LoggedPage b{log, "B", 202, {{L"Edit", 1, 5, 5, 80, 12, WS_VISIBLE, L""}}};
    LoggedPage c{log, "C", 203};
};

TEST_F(PropertySheetTest, TabsChangePagesOnlyWhenThePageLeftAgrees) {
    CPropertySheet sheet(L"Settings");
    for (LoggedPage* p : {&a, &b, &c})
        sheet.AddPage(p);
    ASSERT_TRUE(sheet.Create());
    platform::mfc::PumpUiFor(1);
    EXPECT_EQ(log, (Log{"A init", "A set"}));
    EXPECT_EQ(b.m_hWnd, nullptr); // a page's window is made when it is first shown

    log.clear();
    clickTab(sheet, 1);
    EXPECT_EQ(log, (Log{"A kill", "B init", "B set"}));
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(sheet.GetActivePage(), &b);
    EXPECT_TRUE(shown(b));
    EXPECT_FALSE(shown(a));
    EXPECT_EQ(b.GetParent(), &sheet);

    log.clear();
    b.kill = FALSE;
    clickTab(sheet, 2);
    EXPECT_FALSE(sheet.SetActivePage(&c));
    EXPECT_EQ(log, (Log{"B kill", "B kill"}));
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(sheet.GetTabControl()->GetCurSel(), 1);
    EXPECT_EQ(c.m_hWnd, nullptr);

    log.clear();
    b.kill = TRUE;
    sheet.PostMessage(PSM_SETCURSEL, 0);
    ASSERT_TRUE(platform::mfc::PumpUiUntil([&] { return sheet.GetActiveIndex() == 0; }, 5000));
    EXPECT_EQ(log, (Log{"B kill", "A set"})); // made once, activated again
    EXPECT_EQ(sheet.GetTabControl()->GetCurSel(), 0);
    EXPECT_TRUE(shown(a));
    EXPECT_FALSE(shown(b));

    // The page to start on, given to the constructor, and pages added and removed while the sheet is open.
    log.clear();
    CPropertySheet second(L"Second", nullptr, 1);
    second.AddPage(&a);
    second.AddPage(&b);
    sheet.DestroyWindow();
    ASSERT_TRUE(second.Create());
    EXPECT_EQ(second.GetActivePage(), &b);
    second.AddPage(&c);
    EXPECT_EQ(second.GetTabControl()->GetItemCount(), 3);
    second.RemovePage(&b); // the active one: its neighbour takes over
    EXPECT_EQ(second.GetPageCount(), 2);
    EXPECT_EQ(second.GetActivePage(), &c);
    EXPECT_EQ(second.GetActiveIndex(), 1);
    EXPECT_EQ(b.m_hWnd, nullptr);
    EXPECT_EQ(tabText(second.GetTabControl(), 1), L"C");
    EXPECT_TRUE(shown(c));
}

TEST_F(PropertySheetTest, TabTitlesComeFromThePagesAndChangeThroughTheTabControl) {
    b.m_psp.dwFlags |= PSP_USETITLE;
    b.m_psp.pszTitle = L"Save";
    CPropertySheet sheet(L"Settings");
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    EXPECT_EQ(sheet.GetTabControl(), nullptr); // no window yet
    ASSERT_TRUE(sheet.Create());
    CTabCtrl* tabs = sheet.GetTabControl();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetItemCount(), 2);
    EXPECT_EQ(tabText(tabs, 0), L"A");
    EXPECT_EQ(tabText(tabs, 1), L"Save");
    std::wstring text = L"Channel";
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    EXPECT_TRUE(tabs->SetItem(0, &item));
    EXPECT_EQ(tabText(tabs, 0), L"Channel");
    EXPECT_EQ(tabText(tabs, 0, 4), L"Cha"); // cut to the buffer
    EXPECT_FALSE(tabs->SetItem(2, &item));
    EXPECT_EQ(tabText(tabs, 2), L"<none>");
}

// The settings sheet's way of keeping the user on a page during a long operation: the other tabs are
// locked (a change to one is undone by a posted PSM_SETCURSEL), and the whole window answers as caption.
class LockingSheet : public CPropertySheet {
public:
    LockingSheet() : CPropertySheet(L"Settings") {}
    std::set<int> locked;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        const auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TCN_SELCHANGING)
            from_ = GetActiveIndex();
        if (header->code == TCN_SELCHANGE && locked.count(GetTabControl()->GetCurSel()))
            PostMessage(PSM_SETCURSEL, static_cast<WPARAM>(from_));
        return CPropertySheet::OnNotify(wParam, lParam, result);
    }
    LRESULT OnNcHitTest(POINT screen) override {
        return locked.empty() ? CPropertySheet::OnNcHitTest(screen) : HTCAPTION;
    }

private:
    int from_ = 0;
};

TEST_F(PropertySheetTest, LockedTabsReturnToTheirPageAndTheCloseBoxWaits) {
    LockingSheet sheet;
    for (LoggedPage* p : {&a, &b, &c})
        sheet.AddPage(p);
    ASSERT_TRUE(sheet.Create());
    sheet.locked = {1, 2};
    log.clear();
    clickTab(sheet, 2);
    EXPECT_EQ(sheet.GetActiveIndex(), 2); // shown for a moment
    ASSERT_TRUE(platform::mfc::PumpUiUntil([&] { return sheet.GetActiveIndex() == 0; }, 5000));
    EXPECT_EQ(log, (Log{"A kill", "C init", "C set", "C kill", "A set"}));
    EXPECT_EQ(sheet.GetTabControl()->GetCurSel(), 0);

    QCloseEvent closeBox;
    QApplication::sendEvent(sheet.part()->face, &closeBox);
    platform::mfc::PumpUiFor(1);
    EXPECT_TRUE(sheet.IsWindowVisible());
    EXPECT_EQ(std::count(log.begin(), log.end(), "A cancel"), 0);

    sheet.locked.clear();
    clickTab(sheet, 1);
    EXPECT_EQ(sheet.GetActivePage(), &b);
    QApplication::sendEvent(sheet.part()->face, &closeBox);
    EXPECT_FALSE(sheet.IsWindowVisible()); // cancelled: every page made so far heard it
    EXPECT_EQ(std::count(log.begin(), log.end(), "A cancel"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "B cancel"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "C cancel"), 1);
}

TEST_F(PropertySheetTest, OkCancelAndApplyEndTheModalSheetAsThePagesAllow) {
    const auto key = [](CPropertySheet& s, int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(s.GetActivePage()->GetDlgItem(1)->part()->face, &press);
    };
    const Log applied{"B kill", "A apply", "A ok", "B apply", "B ok"}; // C was never made
    struct Case {
        const char* name;
        std::function<void(CPropertySheet&)> act; // in the modal hook, with page B active
        INT_PTR result;                           // 77: the sheet stayed open
        Log log;                                  // what the pages heard meanwhile
    };
    const Case cases[] = {
        {"ok", [](CPropertySheet& s) { clickButton(s, IDOK); }, IDOK, applied},
        {"enter in an edit", [&](CPropertySheet& s) { key(s, Qt::Key_Return); }, IDOK, applied},
        {"ok refused by the active page",
         [this](CPropertySheet& s) {
             b.kill = FALSE;
             clickButton(s, IDOK);
         },
         77, Log{"B kill"}},
        {"ok refused by an apply",
         [this](CPropertySheet& s) {
             a.apply = FALSE;
             clickButton(s, IDOK);
         },
         77, Log{"B kill", "A apply", "A ok"}},
        {"cancel", [](CPropertySheet& s) { clickButton(s, IDCANCEL); }, IDCANCEL,
         Log{"A cancel", "B cancel"}},
        {"escape", [&](CPropertySheet& s) { key(s, Qt::Key_Escape); }, IDCANCEL, Log{"A cancel", "B cancel"}},
        {"apply",
         [this](CPropertySheet& s) {
             EXPECT_FALSE(enabled(s, ID_APPLY_NOW));
             EXPECT_FALSE(s.PressButton(PSBTN_APPLYNOW));
             a.SetModified();
             EXPECT_TRUE(enabled(s, ID_APPLY_NOW));
             EXPECT_TRUE(s.PressButton(PSBTN_APPLYNOW));
             EXPECT_FALSE(enabled(s, ID_APPLY_NOW));
             EXPECT_FALSE(a.IsModified());
         },
         77, applied},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        a.apply = b.kill = TRUE;
        CPropertySheet sheet(L"Settings");
        for (LoggedPage* p : {&a, &b, &c})
            sheet.AddPage(p);
        platform::mfc::SetModalHook([&](CDialog& d) {
            auto& s = dynamic_cast<CPropertySheet&>(d);
            clickTab(s, 1);
            log.clear();
            t.act(s);
            return INT_PTR{77};
        });
        EXPECT_EQ(sheet.DoModal(), t.result);
        EXPECT_EQ(log, t.log);
        EXPECT_EQ(sheet.m_hWnd, nullptr);
        EXPECT_EQ(b.m_hWnd, nullptr); // the pages' windows went with the sheet's
    }
}

class WizardTest : public PropertySheetTest {
protected:
    void SetUp() override {
        PropertySheetTest::SetUp();
        sheet.SetWizardMode();
        for (LoggedPage* p : {&a, &b, &c})
            sheet.AddPage(p);
        a.onSet = [this] { sheet.SetWizardButtons(PSWIZB_NEXT); };
        b.onSet = [this] { sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT); };
        c.onSet = [this] { sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH); };
    }
    // Which of Back, Next, Finish are shown and which of those can be pressed: "BN.", "bN", "bF" ...
    std::string buttons() {
        std::string out;
        for (auto [id, letter] : {std::pair{ID_WIZBACK, 'b'}, {ID_WIZNEXT, 'n'}, {ID_WIZFINISH, 'f'}}) {
            CWnd* button = sheet.GetDlgItem(id);
            if (shown(*button))
                out += button->IsWindowEnabled() ? static_cast<char>(letter - 'a' + 'A') : letter;
        }
        return out;
    }
    CPropertySheet sheet{L"Setup"};
};

TEST_F(WizardTest, BackAndNextFollowThePagesAnswersAndTheButtonsTheirFlags) {
    ASSERT_TRUE(sheet.Create());
    EXPECT_EQ(sheet.GetTabControl(), nullptr);
    EXPECT_EQ(sheet.GetDlgItem(IDOK), nullptr);
    EXPECT_EQ(buttons(), "bN");
    EXPECT_TRUE(enabled(sheet, IDCANCEL));

    a.next = -1; // stays
    EXPECT_TRUE(sheet.PressButton(PSBTN_NEXT));
    EXPECT_EQ(sheet.GetActivePage(), &a);
    a.next = 0; // the page after
    log.clear();
    clickButton(sheet, ID_WIZNEXT);
    EXPECT_EQ(log, (Log{"A next", "A kill", "B init", "B set"}));
    EXPECT_EQ(buttons(), "BN");
    clickButton(sheet, ID_WIZBACK);
    EXPECT_EQ(sheet.GetActivePage(), &a);
    EXPECT_FALSE(sheet.PressButton(PSBTN_BACK)); // greyed on the first page

    a.next = 203; // a page's template id
    clickButton(sheet, ID_WIZNEXT);
    EXPECT_EQ(sheet.GetActivePage(), &c);
    EXPECT_EQ(buttons(), "BF"); // Finish in the place of Next
    EXPECT_EQ(sheet.GetDlgItem(ID_WIZFINISH)->part()->face->geometry(),
              sheet.GetDlgItem(ID_WIZNEXT)->part()->face->geometry());
    c.kill = FALSE; // refuses to be left: Back stays
    clickButton(sheet, ID_WIZBACK);
    EXPECT_EQ(sheet.GetActivePage(), &c);
    c.kill = TRUE;
    clickButton(sheet, ID_WIZBACK); // 0: the page before, not the one it came from
    EXPECT_EQ(sheet.GetActivePage(), &b);

    sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_DISABLEDFINISH);
    EXPECT_EQ(buttons(), "Bf");
    EXPECT_FALSE(sheet.PressButton(PSBTN_FINISH));
    sheet.SetFinishText(L"Done");
    EXPECT_EQ(buttons(), "F");
    EXPECT_EQ(sheet.GetDlgItem(ID_WIZFINISH)->GetWindowText(), L"Done");

    sheet.m_psh.dwFlags |= PSH_WIZARDHASFINISH; // Next and Finish side by side (read when the window is made)
    sheet.DestroyWindow();
    ASSERT_TRUE(sheet.Create());
    EXPECT_EQ(buttons(), "BNF"); // on B again, where it was
}

TEST_F(WizardTest, FinishEndsTheModalWizardWhenTheLastPageAgrees) {
    for (const BOOL agrees : {FALSE, TRUE}) {
        SCOPED_TRACE(agrees);
        c.finish = agrees;
        sheet.SetActivePage(0); // without a window: the page to start on
        platform::mfc::SetModalHook([&](CDialog&) {
            // Enter presses the button that is the default: Next, then Finish.
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(sheet.part()->face, &enter);
            EXPECT_EQ(sheet.GetActivePage(), &b);
            clickButton(sheet, ID_WIZNEXT);
            log.clear();
            QApplication::sendEvent(sheet.part()->face, &enter);
            return INT_PTR{77};
        });
        EXPECT_EQ(sheet.DoModal(), agrees ? ID_WIZFINISH : 77);
        EXPECT_EQ(log, (Log{"C finish"}));
    }
    platform::mfc::SetModalHook([&](CDialog&) {
        clickButton(sheet, IDCANCEL);
        return INT_PTR{77};
    });
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
}

// Sheets with a few controls on their pages, saved for a look (no text may be cut).
TEST_F(PropertySheetTest, ScreenshotsOfATabbedSheetAndAWizard) {
    const std::vector<DialogItem> general{
        {L"Static", 10, 7, 9, 60, 8, WS_VISIBLE, L"Record folder:"},
        {L"Edit", 11, 70, 7, 83, 12, WS_VISIBLE, L"/home/user/Videos"},
        {L"Button", 12, 7, 26, 146, 10, WS_VISIBLE | BS_AUTOCHECKBOX, L"Shut down after recording"},
        {L"Static", 13, 7, 44, 60, 8, WS_VISIBLE, L"Start date:"},
        {L"SysDateTimePick32", 14, 70, 42, 60, 12, WS_VISIBLE, L""},
        {L"Static", 15, 7, 60, 60, 8, WS_VISIBLE, L"Length (h):"},
        {L"Edit", 16, 70, 58, 30, 12, WS_VISIBLE, L""},
        {L"msctls_updown32", 17, 100, 58, 10, 12, WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT, L""},
    };
    LoggedPage save{log, "Save", 301, general};
    LoggedPage schedule{log, "Schedule", 302};
    LoggedPage user{log, "User", 303};
    CPropertySheet sheet(L"Settings");
    for (LoggedPage* p : {&save, &schedule, &user})
        sheet.AddPage(p);
    ASSERT_TRUE(sheet.Create());
    auto* spin = static_cast<CSpinButtonCtrl*>(save.GetDlgItem(17));
    spin->SetBuddy(save.GetDlgItem(16));
    spin->SetRange(0, 23);
    spin->SetPos(2);
    sheet.GetDlgItem(ID_APPLY_NOW)->SetWindowText(L"Übernehmen"); // wider than the button was made
    platform::mfc::PumpUiFor(20);
    const QString dir = QStringLiteral(PLATFORM_MFC_SHOTS_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(sheet.part()->face->grab().save(dir + QStringLiteral("/property-sheet.png")));

    LoggedPage welcome{
        log,
        "Welcome",
        401,
        {{L"Static", 10, 7, 7, 146, 24, WS_VISIBLE,
          L"This wizard finds your box on the network and sets its address."},
         {L"Button", 11, 7, 36, 146, 10, WS_VISIBLE | BS_AUTORADIOBUTTON, L"Obtain an address (DHCP)"},
         {L"Button", 12, 7, 50, 146, 10, WS_VISIBLE | BS_AUTORADIOBUTTON, L"Use a static address"}}};
    CPropertySheet wizard(L"Network setup");
    wizard.SetWizardMode();
    wizard.AddPage(&welcome);
    ASSERT_TRUE(wizard.Create());
    wizard.SetWizardButtons(PSWIZB_NEXT);
    platform::mfc::PumpUiFor(20);
    EXPECT_TRUE(wizard.part()->face->grab().save(dir + QStringLiteral("/wizard-sheet.png")));
}

} // namespace
