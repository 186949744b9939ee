#include "app/VeloqApp.h"

#include "app/FullScreenDlg.h"
#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Panes.h"
#include "app/SnapDialog.h"
#include "app/VeloqDlg.h"
#include "config/LoginFolder.h"
#include "platform/win32/Paths.h"

#include <filesystem>
#include <vector>

int g_settingsButtonLock = 0;

namespace {

// The program's folder as the code spells it, with a trailing backslash.
std::wstring programFolder() {
    std::vector<wchar_t> module(512, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, module.data(), 512);
    std::wstring folder(module.data(), n);
    const std::size_t cut = folder.rfind(L'\\');
    folder.erase(cut == std::wstring::npos ? 0 : cut + 1);
    return folder;
}

template <class T> void deleteAndClear(T*& p) {
    delete p;
    p = nullptr;
}

} // namespace

KQ_UI_VeloqApp::KQ_UI_VeloqApp(AppServices services) : m_services(std::move(services)) {
    SetLanguageNameSink(&m_config.m_strLanguage);
}

KQ_UI_VeloqApp::~KQ_UI_VeloqApp() {
    SetLanguageNameSink(nullptr);
}

KQ_UI_VeloqApp* VeloqApp() {
    return static_cast<KQ_UI_VeloqApp*>(AfxGetApp());
}

void KQ_UI_VeloqApp::StartUp() {
    // Every relative path of the program (Setup, skins, UserData, snap, record) means the program's folder.
    std::error_code ec;
    std::filesystem::current_path(platform::NativePath(programFolder()), ec);
    InitUserDataRoot();
    m_config.Load();
    m_config.m_volume = std::clamp(m_config.m_volume, 0, 1000);
    g_languageIndex = std::max(0, m_config.m_language); // the language chosen last time
    m_uiState = 0;
    m_pLoginDlg = new KQ_UI_CLoginDialog();
    m_pTvPane = new KQ_UI_TVPaneDlg();
    m_pRemotePane = new KQ_UI_RemotePaneDlg();
    m_pSnapDlg = new KQ_UI_SnapDialog();
    m_pFullScreenDlg = new KQ_UI_FullScreenDlg();
    if (m_services.makeBoxClient)
        m_pBoxClient = m_services.makeBoxClient(m_config).release();
    if (m_services.makePlayer)
        m_pPlayer = m_services.makePlayer(m_config).release();
    if (m_pBoxClient && m_pPlayer)
        m_pBoxClient->SetPlayer(m_pPlayer->Control());
    if (m_services.makePower)
        power_ = m_services.makePower();
}

BOOL KQ_UI_VeloqApp::InitInstance() {
    StartUp();
    {
        KQ_UI_VeloqDlg main;
        m_pMainWnd = &main;
        main.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

int KQ_UI_VeloqApp::ExitInstance() {
    deleteAndClear(m_pLoginDlg);
    deleteAndClear(m_pTvPane);
    deleteAndClear(m_pRemotePane);
    deleteAndClear(m_pSnapDlg);
    deleteAndClear(m_pFullScreenDlg);
    deleteAndClear(m_pBoxClient);
    deleteAndClear(m_pPlayer);
    m_config.Save();
    FreeSkinBitmaps(m_skin);
    return CWinApp::ExitInstance();
}

void KQ_UI_VeloqApp::RestartLiveOnNewStream() {
    if (!m_pPlayer || !m_pBoxClient)
        return;
    m_pPlayer->SetSizeClass(m_pBoxClient->CurrentSizeClass());
    m_pPlayer->SetStandard(m_pBoxClient->VideoStandard());
    m_pPlayer->RestartLive();
    m_pBoxClient->RaiseRestartedGeneration();
}

int KQ_UI_VeloqApp::ShutDownWindows() {
    m_config.Save();
    return power_ ? power_->ShutDown() : 0;
}
