// KQ_UI_VeloqApp: the one application object of the program. It starts the program (working folder,
// settings, the long-lived panes and service objects), runs the main window modally as the main loop, and
// tears everything down in a fixed order. It is the one global through which the windows reach the UI state,
// the configuration, the skin, the panes, the box connection manager and the player.
//
// Ownership: the object pointers are owned here from start-up to shutdown; a pointer that could not be
// filled stays null and every user tests it. UI thread only.
#pragma once

#include "app/BoxClientPort.h"
#include "app/PcPower.h"
#include "app/PlayerPort.h"
#include "app/SkinLoader.h"
#include "config/AppConfig.h"
#include "platform/mfc/App.h"

#include <functional>
#include <memory>

class KQ_UI_CLoginDialog;
class KQ_UI_TVPaneDlg;
class KQ_UI_RemotePaneDlg;
class KQ_UI_SnapDialog;
class KQ_UI_FullScreenDlg;
class KQ_UI_VeloqDlg;
class CWnd;

// The services the program runs with: its own box connection manager, player and power-off, or a test's.
struct AppServices {
    std::function<std::unique_ptr<BoxClientPort>(KQ_AppConfig& config)> makeBoxClient;
    std::function<std::unique_ptr<PlayerPort>(KQ_AppConfig& config)> makePlayer;
    std::function<std::unique_ptr<PcPower>()> makePower;
    // The settings sheet, where there is one: opened modally over parent on the tab firstPage.
    std::function<void(CWnd* parent, int firstPage)> openSettings;
};

// Values of the current login that the windows share (not saved).
struct LoginSession {
    int loggedIn = 0;
    int scheduleStarted = 0;
    int sourceIndex = 0; // the main window's numbering: 0 TV, 1 CV, 2 SV
    int transformPort = 0;
    int countryCode = 0;
    int confirm = 0;
    int curChannelIndex = -1; // the TV pane's channel in the channel table
};

class KQ_UI_VeloqApp : public CWinApp {
public:
    explicit KQ_UI_VeloqApp(AppServices services);
    ~KQ_UI_VeloqApp() override;

    // Start-up and the main loop; returns FALSE, so the program goes on to ExitInstance.
    BOOL InitInstance() override;
    int ExitInstance() override;

    // Start-up without the main loop (steps up to the construction of the service objects).
    void StartUp();
    // Switches the PC off (after a scheduled recording); 0 when not allowed. The settings are saved first.
    int ShutDownWindows();
    // After WM_BOX_VIDEO_QUALITY_OK with 200: live view restarts on the box's new stream (the player takes
    // the box link's size class and standard), then the box link follows it.
    void RestartLiveOnNewStream();

    int m_uiState = -1;
    KQ_AppConfig m_config;
    SkinBitmaps m_skin;
    LoginSession m_session;
    KQ_UI_CLoginDialog* m_pLoginDlg = nullptr;
    KQ_UI_TVPaneDlg* m_pTvPane = nullptr;
    KQ_UI_RemotePaneDlg* m_pRemotePane = nullptr;
    KQ_UI_SnapDialog* m_pSnapDlg = nullptr;
    KQ_UI_FullScreenDlg* m_pFullScreenDlg = nullptr;
    BoxClientPort* m_pBoxClient = nullptr;
    PlayerPort* m_pPlayer = nullptr;
    KQ_UI_VeloqDlg* m_pMainDlg = nullptr; // while the main window runs
    AppServices m_services;

private:
    std::unique_ptr<PcPower> power_;
};

// The application object (null before it is constructed).
KQ_UI_VeloqApp* VeloqApp();
// The settings lock read by the main window's state applier: 1 greys the settings button.
extern int g_settingsButtonLock;
