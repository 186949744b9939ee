#include "bench/live/LiveViewRun.h"

#include "app/LoginDialog.h"
#include "app/ProgramBoxClient.h"
#include "app/ProgramPlayer.h"
#include "app/SkinControls.h"
#include "app/Templates.h"
#include "app/UiState.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "app/VideoBox.h"
#include "platform/mfc/Controls.h"
#include "platform/net/NetEnvironmentVariables.h"

#include <cstdio>

namespace livebench {
namespace {

constexpr UINT kStepMs = 250;
constexpr DWORD kLoopback = 0x7F000001;

// The login, step by step on the UI thread: once the panes exist, then the report once live view runs.
void step(HWND, UINT, UINT_PTR timer, DWORD) {
    static bool loginPressed = false;
    KQ_UI_VeloqApp* app = VeloqApp();
    if (!app || !app->m_pMainDlg || !app->m_pLoginDlg || !app->m_pLoginDlg->m_hWnd)
        return;
    KQ_UI_CLoginDialog& login = *app->m_pLoginDlg;
    if (!loginPressed) {
        LoginRadio(LOGIN_MODE_IP).Select();
        static_cast<CIPAddressCtrl*>(login.GetDlgItem(IDC_LOGIN_IP))->SetAddress(kLoopback);
        login.GetDlgItem(IDC_LOGIN_USER)->SetWindowText(L"guest");
        login.GetDlgItem(IDC_LOGIN_PASSWORD)->SetWindowText(L"bench");
        login.OnLoginButton();
        loginPressed = true;
        return;
    }
    if (app->m_uiState != UI_STATE_CV_PLAY && app->m_uiState != UI_STATE_TV_PLAY &&
        app->m_uiState != UI_STATE_SV_PLAY)
        return;
    KillTimer(nullptr, timer);
    CRect video;
    app->m_pMainDlg->VideoBox().GetClientRect(&video);
    std::printf("live %d %d\n", video.Width(), video.Height());
    std::fflush(stdout);
}

} // namespace

int RunLiveView() {
    std::vector<std::string> problems;
    platform::SetNetEnvironment(platform::NetEnvironmentFromVariables(&problems));
    for (const std::string& problem : problems)
        std::fprintf(stderr, "bench-live: %s\n", problem.c_str());
    AppServices services;
    services.makeBoxClient = [](KQ_AppConfig& config) { return std::make_unique<ProgramBoxClient>(config); };
    services.makePlayer = [](KQ_AppConfig& config) { return std::make_unique<ProgramPlayer>(config); };
    KQ_UI_VeloqApp app(std::move(services));
    SetTimer(nullptr, 0, kStepMs, &step);
    char name[] = "bench_live";
    char* argv[] = {name, nullptr};
    return app.Run(1, argv);
}

} // namespace livebench
