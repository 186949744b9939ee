// The keyboard and the session reach the windows they are meant for: the toolkit's own dialogs opened over
// a program window (message boxes, the file dialog) answer their keys themselves, a template dialog's
// Enter presses its default button, and the end signals of a session close the main window through the
// toolkit's loop.
#include "UiFixture.h"

#include "platform/mfc/FileDialog.h"
#include "tests/support/Keyboard.h"
#include "tests/support/fakes/TempFolder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <csignal>
#include <fstream>

namespace {

DialogTemplate windowTemplate() {
    DialogTemplate t;
    t.id = 902;
    t.caption = L"Main";
    t.pixels = true;
    t.cx = 300;
    t.cy = 200;
    t.style = WS_POPUP;
    return t;
}

// A program window that keeps every key it is handed and counts its closes.
class KeyHungryWindow : public CDialog {
public:
    KeyHungryWindow() : CDialog(windowTemplate()) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN)
            ++keysSeen;
        return TRUE;
    }
    int keysSeen = 0;
    int closes = 0;

protected:
    void OnClose() override { ++closes; }
};

class KeyboardTest : public UiTest {};

TEST_F(KeyboardTest, AMessageBoxOverAWindowAnswersEnterAndEscapeItself) {
    struct Case {
        UINT type;
        int key;
        int answer;
    };
    const Case cases[] = {
        {MB_YESNO, Qt::Key_Return, IDYES},          {MB_YESNO, Qt::Key_Escape, IDNO},
        {MB_OKCANCEL, Qt::Key_Return, IDOK},        {MB_OKCANCEL, Qt::Key_Escape, IDCANCEL},
        {MB_ICONINFORMATION, Qt::Key_Return, IDOK}, {MB_ICONINFORMATION, Qt::Key_Escape, IDOK},
    };
    KeyHungryWindow main;
    ASSERT_TRUE(main.Create());
    main.ShowWindow(SW_SHOW);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " key " << c.key);
        WhenModal([&](QWidget*) { PressKey(c.key); });
        EXPECT_EQ(main.MessageBox(L"Take it over?", L"Solvane Player", c.type), c.answer);
    }
    EXPECT_EQ(main.keysSeen, 0) << "the window behind saw the box's keys";
}

TEST_F(KeyboardTest, EnterPressesATemplateDialogsDefaultButtonAndEscapeCancels) {
    DialogTemplate t;
    t.id = 903;
    t.caption = L"Ask";
    t.cx = 120;
    t.cy = 60;
    t.items = {{L"Edit", 100, 5, 5, 110, 12, WS_VISIBLE | WS_TABSTOP, L""},
               {L"Button", 7, 5, 40, 50, 14, WS_VISIBLE | BS_DEFPUSHBUTTON, L"Again"},
               {L"Button", IDCANCEL, 65, 40, 50, 14, WS_VISIBLE, L"Cancel"}};
    class Ask : public CDialog {
    public:
        explicit Ask(const DialogTemplate& t, CWnd* parent) : CDialog(t, parent) {
            MapCommand(7, [this] { EndDialog(7); });
        }
        BOOL OnInitDialog() override {
            GetDlgItem(100)->SetFocus();
            return TRUE;
        }
    };
    KeyHungryWindow main;
    ASSERT_TRUE(main.Create());
    main.ShowWindow(SW_SHOW);
    for (const auto& [key, result] : {std::pair{Qt::Key_Return, 7}, std::pair{Qt::Key_Escape, IDCANCEL}}) {
        WhenModal([key = key](QWidget*) { PressKey(key); });
        Ask ask(t, &main);
        EXPECT_EQ(ask.DoModal(), result) << key;
    }
    EXPECT_EQ(main.keysSeen, 0);
}

// The name field of the file dialog: every key typed arrives, the path completer's list coming and going
// as the folder's names match or not; Return opens what was typed, Escape cancels.
TEST_F(KeyboardTest, EveryKeyTypedIntoTheFileDialogsNameFieldArrives) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "Videos");
    for (const char* name : {"Videos/missing.mp4", "Videos/mixed.mp4", "Videos/other.mp4"})
        std::ofstream(folder / name) << "x";
    struct Case {
        QString typed;
        int last;
        std::wstring chosen; // relative to the folder; empty: cancelled
    };
    const Case cases[] = {
        {QStringLiteral("Videos/missing.mp4"), Qt::Key_Return, L"Videos/missing.mp4"},
        {QStringLiteral("Videos/mi"), Qt::Key_Escape, L""},
        {QStringLiteral("Videos/other.mp4"), Qt::Key_Enter, L"Videos/other.mp4"},
    };
    KeyHungryWindow main;
    ASSERT_TRUE(main.Create());
    main.ShowWindow(SW_SHOW);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QString field;
        WhenModal([&](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            ASSERT_EQ(QApplication::focusWidget(), name) << "the name field has the keyboard";
            TypeInto(*name, c.typed);
            field = name->text();
            CloseCompletion(*name);
            PressKey(c.last);
        });
        const std::wstring chosen = GetOpenFilePath(&main, L"Open", folder.root().wstring(), L"MP4 (*.mp4)");
        EXPECT_EQ(field, c.typed);
        if (c.chosen.empty())
            EXPECT_EQ(chosen, L"");
        else
            EXPECT_EQ(platform::NativePath(chosen), folder.root() / std::filesystem::path(c.chosen));
    }
    EXPECT_EQ(main.keysSeen, 0) << "the window behind saw the dialog's keys";
}

TEST_F(KeyboardTest, TheSessionsEndAndCtrlCCloseTheMainWindowThroughTheLoop) {
    KeyHungryWindow main;
    ASSERT_TRUE(main.Create());
    CWinApp* app = AfxGetApp();
    std::unique_ptr<CWinApp> own;
    if (!app) {
        own = std::make_unique<CWinApp>();
        app = own.get();
    }
    app->m_pMainWnd = &main;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        platform::mfc::CloseOnEndSignals();
        const int before = main.closes;
        ASSERT_EQ(raise(signal), 0);
        EXPECT_EQ(main.closes, before) << "nothing runs inside the signal handler";
        EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return main.closes == before + 1; }, 5000));
        struct sigaction now {};
        sigaction(signal, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << "a second signal ends the program at once";
    }
    app->m_pMainWnd = nullptr;
}

} // namespace
