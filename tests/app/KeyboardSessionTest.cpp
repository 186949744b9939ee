// The keyboard and the session reach the program against the test box: every key typed into the file
// dialog's name field arrives, and the session's end (SIGTERM, SIGHUP) and Ctrl+C (SIGINT) close the
// program as its close button does: the recording finished, the settings saved.
#include "LiveApp.h"

#include "app/Menus.h"
#include "platform/mfc/FileDialog.h"
#include "platform/win32/Profile.h"
#include "tests/support/Ffprobe.h"
#include "tests/support/Keyboard.h"

#include <QClipboard>
#include <QLineEdit>

#include <csignal>
#include <fstream>
#include <regex>

namespace {

class KeyboardSessionTest : public LiveAppTest {
protected:
    void SetUp() override {
        LiveAppTest::SetUp();
        // Every box and dialog shows and is answered from the keyboard.
        platform::mfc::SetMessageBoxHook(nullptr);
        platform::mfc::SetModalHook(nullptr);
    }
    // The modal window's answer, from the keyboard, once one of `kind` is up.
    void answerWith(int key, const char* kind = nullptr) {
        WhenModal([key](QWidget*) { PressKey(key); }, kind);
    }
};

// The name field of the dialog the open-file button opens in the record folder: typed (the path completer's
// list coming and going) or pasted, every character arrives; Return opens the file (a failed one here:
// its message is answered by Escape and live view goes on), Escape cancels.
TEST_F(KeyboardSessionTest, EveryKeyTypedIntoTheFileDialogArrives) {
    struct Case {
        const char* name;
        QString typed;
        QString pasted;
        int last;
        bool opened;
    };
    const Case cases[] = {
        {"typed, Return", QStringLiteral("Videos/missing.mp4"), QString(), Qt::Key_Return, true},
        {"typed, Escape", QStringLiteral("Videos/mi"), QString(), Qt::Key_Escape, false},
        {"pasted, Return", QString(), QStringLiteral("Videos/missing.mp4"), Qt::Key_Return, true},
    };
    startAndWatch();
    app->m_config.m_recordPath = (temp / "record").wstring();
    for (const char* name :
         {"record/Videos/missing.mp4", "record/Videos/mixed.mp4", "record/Videos/other.mp4"})
        temp.write(name, "not a recording");
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString field;
        WhenModal(
            [&](QWidget* dialog) {
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                ASSERT_EQ(QApplication::focusWidget(), name) << "the name field has the keyboard";
                TypeInto(*name, c.typed);
                if (!c.pasted.isEmpty()) {
                    QGuiApplication::clipboard()->setText(c.pasted);
                    PressKey(Qt::Key_V, Qt::ControlModifier);
                }
                field = name->text();
                CloseCompletion(*name);
                if (c.opened)
                    answerWith(Qt::Key_Escape, "QMessageBox");
                PressKey(c.last);
            },
            "QFileDialog");
        messages.clear();
        click(*main, ID_MENU_OPEN_LOCAL_FILE);
        EXPECT_EQ(field, c.typed + c.pasted);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(state(), UI_STATE_CV_PLAY);
        EXPECT_TRUE(picturesArrive(5));
    }
}

// The program as it runs (the framework's loop and shutdown), recording when the signal comes.
TEST_F(KeyboardSessionTest, TheSessionsEndAndCtrlCCloseTheProgramAsItsCloseButtonDoes) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        const std::filesystem::path records = temp / ("record" + std::to_string(signal));
        makeApp();
        bool recorded = false;
        QTimer::singleShot(0, [&] {
            KQ_UI_VeloqDlg* window = app->m_pMainDlg;
            ASSERT_NE(window, nullptr);
            app->m_config.m_recordPath = records.wstring();
            app->m_config.m_volume = 730; // a setting the program saves at its end
            CountingSurface counted(window->VideoBox());
            platform::dshow::RegisterVideoSurface(window->VideoBox().m_hWnd, &counted);
            loginByAddress();
            window->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_RECORD, BN_CLICKED), 0);
            ASSERT_EQ(state(), UI_STATE_CV_RECORD);
            recorded = platform::mfc::PumpUiUntil([&] { return counted.presented >= 50; }, kWait);
            platform::dshow::RegisterVideoSurface(window->VideoBox().m_hWnd, &window->VideoBox());
            raise(signal);
        });
        const int code = app->Run(0, nullptr);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(recorded);
        MSG quit;
        while (PeekMessage(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        EXPECT_EQ(app->m_pPlayer, nullptr) << "shut down as after the close button";
        EXPECT_EQ(GetPrivateProfileIntW(L"Volume", L"Value", 0, L".\\Setup\\property.ini"), 730u)
            << "the settings saved";
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(records))
            files.push_back(entry.path());
        ASSERT_EQ(files.size(), 1u);
        const Probe probe = runFfprobe(files[0].string());
        EXPECT_EQ(probe.status, 0);
        EXPECT_TRUE(std::regex_match(probe.output, std::regex("h264,[0-9]+\naac,[0-9]+\n")))
            << "the recording finished: " << probe.output;
        app.reset();
        std::filesystem::remove(temp / "Setup/property.ini");
    }
}

} // namespace
