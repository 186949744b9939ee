#include "tools/screenshots/MainWindowShots.h"

#include "app/ErrorInfoDlg.h"
#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Menus.h"
#include "app/Panes.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/UiState.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "platform/mfc/App.h"
#include "platform/mfc/FileDialog.h"
#include "platform/mfc/detail/WindowPart.h"
#include "tests/support/fakes/FakeServices.h"
#include "tools/screenshots/Shots.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kSuffixes[] = {"_en.png", "_de.png"};

void setLanguage(KQ_UI_VeloqDlg& main, int language) {
    main.SendMessage(WM_COMMAND, MAKEWPARAM(kLanguageMenuFirst + language, 0), 0);
    platform::mfc::PumpUiFor(50);
}

// The screen with those of the windows that are shown, where they stand on it; what lies beyond its edge is
// not in the picture.
QImage onScreen(const std::vector<CWnd*>& windows) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QImage out(screen.size(), QImage::Format_RGB32);
    out.fill(QColor(58, 96, 110));
    QPainter p(&out);
    for (CWnd* w : windows) {
        if (!w->IsWindowVisible())
            continue;
        RECT r;
        w->GetWindowRect(&r);
        const QPoint at(r.left - screen.left(), r.top - screen.top());
        QWidget* face = w->part()->face;
        if (!face->mask().isEmpty())
            p.setClipRegion(face->mask().translated(at));
        p.drawImage(at, shot(*w));
        p.setClipping(false);
    }
    return out;
}

// Runs shoot on the toolkit's message box once it is up, then closes it.
void whenMessageBox(std::function<void(QWidget&)> shoot) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [shoot, poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            platform::mfc::PumpUiFor(50);
            shoot(*box);
            box->accept();
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] {
            if (*poll)
                (*poll)();
        });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}

} // namespace

bool SaveLoggedOutShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, const fs::path& out) {
    bool ok = true;
    for (int language = 0; language < 2; ++language) {
        setLanguage(main, language);
        const std::string suffix = kSuffixes[language];
        ok &= save(shot(*app.m_pLoginDlg), out / ("login_pane" + suffix));
        // The status line while the box connection connects.
        main.SendMessage(WM_UI_SET_STATE, UI_STATE_LOGIN, 0);
        main.SetStatusText(L"Connecting to Server");
        platform::mfc::PumpUiFor(50);
        ok &= save(shot(main), out / ("main_connecting" + suffix));
        main.SetStatusText(L"");
        main.SendMessage(WM_UI_SET_STATE, UI_STATE_INIT, 0);
        platform::mfc::SetModalHook([&](CDialog& dialog) {
            platform::mfc::PumpUiFor(50);
            ok &= save(framed(dialog), out / ("error_dialog" + suffix));
            dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ERR_MORE, BN_CLICKED), 0);
            platform::mfc::PumpUiFor(50);
            ok &= save(framed(dialog), out / ("error_dialog_more" + suffix));
            return INT_PTR{IDOK};
        });
        KQ_UI_ErrorInfoDlg(&main, 1009).DoModal();
        platform::mfc::SetModalHook(nullptr);
    }
    setLanguage(main, 0);
    return ok;
}

bool SaveLiveShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, FakePlayerPort& player, const fs::path& out) {
    bool ok = true;
    RECT start;
    main.GetWindowRect(&start);
    for (int language = 0; language < 2; ++language) {
        setLanguage(main, language);
        const std::string suffix = kSuffixes[language];
        // The window where it starts, the remote pane docked at its left.
        const SkinItemLayout& place = app.m_config.m_skinWindows[kSkinMain].layout;
        main.SetWindowPos(nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        main.ToggleSidePane();
        platform::mfc::PumpUiFor(200);
        ok &= save(onScreen({&main, app.m_pLoginDlg, app.m_pRemotePane}),
                   out / ("remote_pane_docked" + suffix));
        main.HideSidePanes();

        main.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_MAXIMIZE, BN_CLICKED), 0);
        platform::mfc::PumpUiFor(200);
        ok &= save(onScreen({&main}), out / ("main_maximised" + suffix));
        main.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_MAXIMIZE, BN_CLICKED), 0);
        platform::mfc::PumpUiFor(100);

        // A file that is not there: the message says so, and live view comes back.
        player.playFileResult = static_cast<HRESULT>(0x8004022C);
        platform::mfc::SetFileDialogHook(
            [](const std::wstring&, const std::wstring&) { return std::wstring(L".\\record\\Concert.mp4"); });
        whenMessageBox([&](QWidget& box) {
            ok &=
                save(framed(box.grab().toImage(), box.windowTitle()), out / ("failed_open_message" + suffix));
        });
        main.SendMessage(WM_COMMAND, MAKEWPARAM(ID_MENU_OPEN_LOCAL_FILE, 0), 0);
        platform::mfc::SetFileDialogHook(nullptr);
        player.playFileResult = S_OK;
        platform::mfc::PumpUiFor(200);
        ok &= save(onScreen({&main, app.m_pLoginDlg}), out / ("live_after_failed_open" + suffix));
    }
    setLanguage(main, 0);
    main.SetWindowPos(nullptr, start.left, start.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    platform::mfc::PumpUiFor(100);
    return ok;
}
