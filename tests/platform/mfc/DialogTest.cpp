#include "UiFixture.h"

#include "platform/mfc/Controls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <array>

namespace {

DialogTemplate askTemplate() {
    DialogTemplate t;
    t.id = 901;
    t.caption = L"Ask";
    t.cx = 120;
    t.cy = 60;
    t.items = {
        {L"Edit", 100, 5, 5, 110, 12, WS_VISIBLE, L""},
        {L"Button", IDOK, 5, 40, 50, 14, WS_VISIBLE | BS_DEFPUSHBUTTON, L"OK"},
        {L"Button", IDCANCEL, 65, 40, 50, 14, WS_VISIBLE, L"Cancel"},
    };
    return t;
}

class AskDialog : public CDialog {
public:
    AskDialog() : CDialog(askTemplate()) {}
    BOOL OnInitDialog() override {
        ++inits;
        if (endAfterMs)
            SetTimer(1, endAfterMs, nullptr);
        if (quitAfterMs)
            SetTimer(2, quitAfterMs, nullptr);
        return TRUE;
    }
    int inits = 0;
    UINT endAfterMs = 0;
    UINT quitAfterMs = 0;

protected:
    void OnTimer(UINT_PTR id) override {
        KillTimer(id);
        if (id == 1)
            EndDialog(42);
        else
            PostQuitMessage(3);
    }
};

class DialogTest : public UiTest {};

TEST_F(DialogTest, ModalLoopEndsWithTheEndDialogResultAndDestroysTheWindow) {
    AskDialog dialog;
    dialog.endAfterMs = 30;
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogTest, QuitEndsTheModalLoopWithCancelAndStaysQueued) {
    AskDialog dialog;
    dialog.quitAfterMs = 30;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(DialogTest, ModalHookSeesTheInitialisedDialog) {
    std::wstring seen;
    platform::mfc::SetModalHook([&](CDialog& d) {
        seen = d.GetWindowText();
        d.GetDlgItem(100)->SetWindowText(L"typed");
        return INT_PTR{IDYES};
    });
    AskDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDYES);
    EXPECT_EQ(seen, L"Ask");
}

TEST_F(DialogTest, EnterAndEscapeInAnEditBecomeOkAndCancel) {
    struct Case {
        int key;
        int result;
    };
    for (const Case c : {Case{Qt::Key_Return, IDOK}, Case{Qt::Key_Escape, IDCANCEL}}) {
        int result = 0;
        platform::mfc::SetModalHook([&](CDialog& d) {
            QWidget* edit = d.GetDlgItem(100)->part()->face;
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QApplication::sendEvent(edit, &press);
            return INT_PTR{-5};
        });
        AskDialog dialog;
        result = static_cast<int>(dialog.DoModal());
        EXPECT_EQ(result, c.result) << c.key;
    }
}

TEST_F(DialogTest, MessageBoxHookGetsTextCaptionAndFlags) {
    std::wstring text, caption;
    UINT type = 0;
    platform::mfc::SetMessageBoxHook([&](HWND, const std::wstring& t, const std::wstring& c, UINT f) {
        text = t;
        caption = c;
        type = f;
        return IDNO;
    });
    AskDialog dialog;
    dialog.Create();
    EXPECT_EQ(dialog.MessageBox(L"Take over?", L"Solvane Player", MB_YESNO), IDNO);
    EXPECT_EQ(text, L"Take over?");
    EXPECT_EQ(caption, L"Solvane Player");
    EXPECT_EQ(type, MB_YESNO);
}

TEST_F(DialogTest, ComboAndAddressControlsBehaveLikeTheirWin32Classes) {
    AskDialog dialog;
    dialog.Create();
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWN, RECT{0, 0, 100, 20}, &dialog, 200));
    combo.LimitText(4);
    combo.AddString(L"abc12");
    combo.AddString(L"ABD");
    combo.AddString(L"xyz");
    EXPECT_EQ(combo.FindString(-1, L"ab"), 0);
    EXPECT_EQ(combo.FindString(0, L"ab"), 1);
    EXPECT_EQ(combo.FindString(1, L"ab"), 0); // wraps
    EXPECT_EQ(combo.FindString(-1, L"q"), CB_ERR);
    combo.SetWindowText(L"typed");
    EXPECT_EQ(combo.GetWindowText(), L"type");

    CIPAddressCtrl ip;
    ASSERT_TRUE(ip.Create(WS_VISIBLE, RECT{0, 30, 120, 50}, &dialog, 201));
    DWORD address = 1;
    EXPECT_EQ(ip.GetAddress(address), 0);
    ip.SetAddress(0x7F000001);
    EXPECT_EQ(ip.GetAddress(address), 4);
    EXPECT_EQ(address, 0x7F000001u);
    auto* face = dynamic_cast<QWidget*>(ip.part()->face.data());
    face->findChildren<QLineEdit*>().at(2)->clear();
    EXPECT_EQ(ip.GetAddress(address), 3);
}

} // namespace

// Typing into the address control: '.' moves on from a field that holds a number, a full field moves on
// by itself, and filling the fields from code moves nothing.
TEST_F(DialogTest, AddressFieldsMoveOnByDotAndWhenFull) {
    struct Case {
        const char* typed;
        std::array<const char*, 4> fields;
        int focused; // the field typing ends in
    };
    const Case cases[] = {
        {"127.0.0.1", {"127", "0", "0", "1"}, 3},
        {"1921681", {"192", "168", "1", ""}, 2},      // three digits fill a field
        {"192.168.1.1", {"192", "168", "1", "1"}, 3}, // a dot after a full field is not a second move
        {"30.26", {"30", "26", "", ""}, 2},           // a value of 26 or more takes no third digit
        {"25", {"25", "", "", ""}, 0},                // 250..255 are still to come
        {".1", {"1", "", "", ""}, 0},                 // a dot in a blank field stays there
        {"1.2.3.4.5", {"1", "2", "3", "45"}, 3},      // the last field keeps what follows
        {"10..7", {"10", "7", "", ""}, 1},            // a second dot moves on from no blank field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        AskDialog dialog;
        ASSERT_TRUE(dialog.Create());
        dialog.ShowWindow(SW_SHOW);
        CIPAddressCtrl ip;
        ASSERT_TRUE(ip.Create(WS_VISIBLE, RECT{0, 30, 120, 50}, &dialog, 201));
        const QList<QLineEdit*> fields = ip.part()->face->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 4);
        fields[0]->window()->activateWindow();
        fields[0]->setFocus();
        ASSERT_TRUE(platform::mfc::PumpUiUntil([&] { return fields[0]->hasFocus(); }, 2000));
        for (const char* k = c.typed; *k; ++k) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr);
            const int key = *k == '.' ? Qt::Key_Period : Qt::Key_0 + (*k - '0');
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(*k)));
            QApplication::sendEvent(target, &press);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(fields[i]->text().toStdString(), c.fields[static_cast<size_t>(i)]) << "field " << i;
        EXPECT_EQ(QApplication::focusWidget(), fields[c.focused]);
    }
    CIPAddressCtrl ip;
    AskDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(ip.Create(WS_VISIBLE, RECT{0, 30, 120, 50}, &dialog, 201));
    const QList<QLineEdit*> fields = ip.part()->face->findChildren<QLineEdit*>();
    fields[0]->setFocus();
    QWidget* before = QApplication::focusWidget();
    ip.SetAddress(0xC0A80101);
    EXPECT_EQ(QApplication::focusWidget(), before);
}
