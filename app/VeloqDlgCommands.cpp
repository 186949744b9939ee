#include "app/VeloqDlg.h"

#include "app/FullScreenDlg.h"
#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Menus.h"
#include "app/Panes.h"
#include "app/SnapDialog.h"
#include "app/Sources.h"
#include "app/Templates.h"
#include "app/VeloqApp.h"
#include "platform/mfc/FileDialog.h"
#include "platform/mfc/MessageBox.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Profile.h"

#include <ctime>

void KQ_UI_VeloqDlg::mapCommands() {
    MapCommand(IDC_BTN_MINIMIZE, [this] { ShowWindow(SW_MINIMIZE); });
    MapCommand(IDC_BTN_MAXIMIZE, [this] { onMaximize(); });
    MapCommand(IDC_BTN_CLOSE, [this] { onClose(); });
    MapCommand(IDC_BTN_RECORD, [this] { onRecord(); });
    MapCommand(IDC_BTN_SNAP, [this] { onSnapshot(); });
    MapCommand(IDC_BTN_OPEN, [this] { onOpen(); });
    MapCommand(IDC_BTN_MTS, [this] { onMenuButton(); });
    MapCommand(IDC_BTN_PROPERTY, [this] { OpenSettings(SettingsPage::Channel); });
    MapCommand(IDC_BTN_POPUP_RIGHT, [this] { onLoginPane(); });
    MapCommand(IDC_BTN_POPUP_LEFT, [this] { ToggleSidePane(); });
    MapCommand(IDC_BTN_MUTE, [this] { onMute(); });
    MapCommand(IDC_BTN_SOURCE, [this] { onSourceButton(); });
    MapCommand(IDC_BTN_PLAY, [this] { onPlay(); });
    MapCommand(IDC_BTN_PAUSE, [this] { onPause(); });
    MapCommand(IDC_BTN_STOP, [this] { onStopFile(); });
    MapCommand(IDC_BTN_FORWARD, [this] { onForward(); });
    MapCommand(IDC_BTN_BACKWARD, [this] { onBackward(); });

    MapCommand(ID_MENU_STOP, [this] { onStopFile(); });
    MapCommand(ID_MENU_PLAY, [this] { onPlay(); });
    MapCommand(ID_MENU_RECORD, [this] { onRecord(); });
    MapCommand(ID_MENU_SNAP, [this] { onSnapshot(); });
    MapCommand(ID_MENU_SETTING, [this] { OpenSettings(SettingsPage::Channel); });
    MapCommand(ID_MENU_SCHEDULE, [this] { OpenSettings(SettingsPage::Schedule); });
    MapCommandRange(ID_MENU_SRC_TV, ID_MENU_SRC_SV,
                    [this](UINT id) { onSelectSource(static_cast<int>(id - ID_MENU_SRC_TV)); });
    MapCommandRange(ID_MENU_ASPECT_FREE, ID_MENU_ASPECT_WS,
                    [this](UINT id) { onAspect(static_cast<int>(id - ID_MENU_ASPECT_FREE)); });
    MapCommand(ID_MENU_TOPMOST, [this] { onTopMost(); });
    MapCommand(ID_MENU_MUTE, [this] { onMute(); });
    MapCommand(ID_MENU_OSD, [this] { onOsd(); });
    MapCommandRange(ID_MENU_SKIN_FIRST, ID_MENU_SKIN_LAST,
                    [this](UINT id) { onSkin(static_cast<int>(id - ID_MENU_SKIN_FIRST)); });
    MapCommandRange(kLanguageMenuFirst, kLanguageMenuLast, [this](UINT id) { onLanguage(id); });
    MapCommandRange(ID_MENU_CHANNEL_FIRST, ID_MENU_CHANNEL_LAST, [this](UINT id) { onChannel(id); });
    MapCommand(ID_MENU_OPEN_LOCAL_FILE, [this] { onOpenLocalFile(); });
    MapCommand(ID_KEY_PLAY_PAUSE, [this] {
        const int state = app().m_uiState;
        if (state == UI_STATE_FILE_PLAY || state == UI_STATE_FILE_PLAY_L)
            onPause();
        else
            onPlay();
    });
    MapCommand(ID_KEY_FULL_SCREEN, [this] { onFullScreen(); });
    MapCommand(ID_KEY_CHANNEL_UP, [this] { onChannelStep(1); });
    MapCommand(ID_KEY_CHANNEL_DOWN, [this] { onChannelStep(-1); });
    MapCommand(ID_KEY_VOLUME_UP, [this] { onVolumeStep(50); });
    MapCommand(ID_KEY_VOLUME_DOWN, [this] { onVolumeStep(-50); });

    // Menu items greyed by the UI state: what the button table allows, and what exists here.
    auto allowed = [this](int button) {
        return ButtonCell(app().m_uiState, button - kFirstMainButton) == Cell::ShownEnabled;
    };
    MapUpdateUI(ID_MENU_PLAY, [allowed](CCmdUI* ui) { ui->Enable(allowed(IDC_BTN_PLAY)); });
    MapUpdateUI(ID_MENU_STOP, [allowed](CCmdUI* ui) { ui->Enable(allowed(IDC_BTN_STOP)); });
    MapUpdateUI(ID_MENU_SNAP, [allowed](CCmdUI* ui) { ui->Enable(allowed(IDC_BTN_SNAP)); });
    MapUpdateUI(ID_MENU_RECORD, [this](CCmdUI* ui) {
        ui->Enable(IsLiveState(app().m_uiState) && app().m_uiState != UI_STATE_TV_SCHEDULE_RECORD);
        ui->SetCheck(IsRecordingState(app().m_uiState));
    });
    MapUpdateUI(ID_MENU_MUTE, [this](CCmdUI* ui) { ui->SetCheck(muted_); });
    MapUpdateUI(ID_MENU_TOPMOST, [this](CCmdUI* ui) { ui->SetCheck(app().m_config.m_topMost != 0); });
    MapUpdateUI(ID_MENU_OSD, [this](CCmdUI* ui) { ui->SetCheck(app().m_config.m_osdEnable != 0); });
    MapUpdateUI(ID_MENU_SETTING, [this](CCmdUI* ui) { ui->Enable(CanOpenSettings()); });
    MapUpdateUI(ID_MENU_SCHEDULE, [this](CCmdUI* ui) { ui->Enable(CanOpenSettings()); });
    for (UINT id : {ID_MENU_UPDATE, ID_MENU_TRANFILE, ID_MENU_OPEN_BOX_FILE})
        MapUpdateUI(id, [](CCmdUI* ui) { ui->Enable(FALSE); });
    for (UINT id = ID_MENU_SRC_TV; id <= ID_MENU_SRC_SV; ++id)
        MapUpdateUI(id, [this](CCmdUI* ui) {
            ui->Enable(IsLiveState(app().m_uiState) && !IsRecordingState(app().m_uiState));
        });
    for (UINT id = ID_MENU_ASPECT_FREE; id <= ID_MENU_ASPECT_WS; ++id)
        MapUpdateUI(id, [this, id](CCmdUI* ui) {
            ui->SetCheck(aspect_ == static_cast<int>(id - ID_MENU_ASPECT_FREE));
        });
    for (UINT id = ID_MENU_SKIN_FIRST; id <= ID_MENU_SKIN_LAST; ++id)
        MapUpdateUI(id, [this, id](CCmdUI* ui) {
            ui->SetCheck(skinIndex_ == static_cast<int>(id - ID_MENU_SKIN_FIRST));
        });
}

void KQ_UI_VeloqDlg::setState(int state) {
    if (!IsUiState(state))
        return;
    app().m_uiState = state;
    ApplyUiState(0x1111);
}

std::wstring KQ_UI_VeloqDlg::mediaPath(const std::wstring& folder, const wchar_t* extension) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    wchar_t name[64];
    std::wcsftime(name, 64, L"%Y%m%d_%H%M%S", &local);
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    CreateDirectoryW(folder.c_str(), nullptr);
    return path + name + extension;
}

// The close button (greyed while a login runs) and the window manager's close, which works in every
// state. A login still running (a relay attempt may take until its time-out) is left to end on its worker,
// which the login pane waits for when the program goes; its late result is dropped. The windows disappear
// at once.
void KQ_UI_VeloqDlg::onClose() {
    KQ_UI_VeloqApp& a = app();
    if (a.m_pPlayer)
        a.m_pPlayer->Stop(1);
    if (a.m_pBoxClient && a.m_session.loggedIn)
        a.m_pBoxClient->Disconnect(0);
    a.m_session.loggedIn = 0;
    if (a.m_pLoginDlg)
        a.m_pLoginDlg->AbandonLogin();
    CWnd* panes[] = {a.m_pLoginDlg, a.m_pTvPane, a.m_pRemotePane, a.m_pSnapDlg, a.m_pFullScreenDlg};
    for (CWnd* pane : panes)
        if (pane && pane->m_hWnd)
            pane->ShowWindow(SW_HIDE);
    ShowWindow(SW_HIDE);
    PostQuitMessage(0);
}

void KQ_UI_VeloqDlg::onMaximize() {
    maximized_ = !maximized_;
    if (maximized_) {
        GetWindowRect(&normalRect_);
        ShowWindow(SW_MAXIMIZE);
    } else {
        ShowWindow(SW_RESTORE);
        SetWindowPos(nullptr, normalRect_.left, normalRect_.top, normalRect_.right - normalRect_.left,
                     normalRect_.bottom - normalRect_.top, SWP_NOZORDER);
    }
    maximize_.SetOn(maximized_);
    tips_.UpdateTipText(LoadLanguageString(maximized_ ? L"IDS_TIPS_RESTORE" : L"IDS_TIPS_MAXIMIZE"),
                        &maximize_);
}

void KQ_UI_VeloqDlg::onRecord() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    const int source = SourceOfState(state);
    if (!a.m_pPlayer || source < 0 || state == UI_STATE_TV_SCHEDULE_RECORD)
        return;
    if (IsRecordingState(state)) {
        if (SUCCEEDED(a.m_pPlayer->SetRecord(0, L""))) {
            record_.SetOn(false);
            time_.Reset();
            setState(LiveStateOf(source));
        }
    } else if (SUCCEEDED(a.m_pPlayer->SetRecord(1, mediaPath(a.m_config.m_recordPath, L".mp4")))) {
        record_.SetOn(true);
        time_.Reset();
        time_.StartClock();
        setState(RecordStateOf(source));
    }
    tips_.UpdateTipText(LoadLanguageString(record_.IsOn() ? L"IDS_TIPS_RECORD_STOP" : L"IDS_TIPS_RECORD"),
                        &record_);
}

void KQ_UI_VeloqDlg::onSnapshot() {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pPlayer)
        return;
    const std::wstring path =
        mediaPath(a.m_config.m_snapPath, a.m_config.m_snapFormat == 0 ? L".bmp" : L".jpg");
    if (SUCCEEDED(a.m_pPlayer->Snapshot(path)) && a.m_pSnapDlg)
        a.m_pSnapDlg->AddSnapshot(path);
}

void KQ_UI_VeloqDlg::onOpen() {
    RECT r;
    Button(IDC_BTN_OPEN).GetWindowRect(&r);
    if (CMenu* files = fileMenu_.GetSubMenu(0))
        files->TrackPopupMenu(TPM_LEFTALIGN, r.left, r.bottom, this);
}

void KQ_UI_VeloqDlg::onOpenLocalFile() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || ButtonCell(state, IDC_BTN_OPEN - kFirstMainButton) != Cell::ShownEnabled)
        return;
    const std::wstring path = GetOpenFilePath(this, LoadLanguageString(L"KQ_S_MENU_OPENLOCALFILE"),
                                              a.m_config.m_recordPath, L"MP4 (*.mp4);;*");
    if (path.empty())
        return;
    const bool fromLive = IsLiveState(state) || (IsFileState(state) && state >= UI_STATE_FILE_PLAY_L);
    const HRESULT hr = a.m_pPlayer->PlayFile(path);
    if (FAILED(hr)) {
        MessageBox(LoadLanguageString(L"KQ_S_AV_E_FILE"), L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    SetStatusText(path.substr(path.find_last_of(L"\\/") + 1));
    time_.Reset();
    time_.StartClock();
    setState(FileStateFor(UI_STATE_FILE_PLAY, fromLive));
}

void KQ_UI_VeloqDlg::onMenuButton() {
    RECT r;
    Button(IDC_BTN_MTS).GetWindowRect(&r);
    OnContextMenu(this, POINT{r.left, r.bottom});
}

bool KQ_UI_VeloqDlg::CanOpenSettings() const {
    const KQ_UI_VeloqApp& a = app();
    return a.m_services.openSettings && !SettingsPagesOf(a.m_uiState).empty();
}

void KQ_UI_VeloqDlg::OpenSettings(SettingsPage first) {
    if (!CanOpenSettings())
        return;
    g_settingsSheetWnd = nullptr;
    app().m_services.openSettings(this, std::max(0, SettingsPageIndex(app().m_uiState, first)));
}

void KQ_UI_VeloqDlg::onLoginPane() {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pLoginDlg || !a.m_pLoginDlg->m_hWnd)
        return;
    loginPaneShown_ = !a.m_pLoginDlg->IsWindowVisible();
    if (loginPaneShown_) {
        DockPanes();
        a.m_pLoginDlg->ShowWindow(SW_SHOWNA);
    } else {
        a.m_pLoginDlg->ShowWindow(SW_HIDE);
    }
}

void KQ_UI_VeloqDlg::onMute() {
    KQ_UI_VeloqApp& a = app();
    muted_ = !muted_;
    mute_.SetOn(muted_);
    if (a.m_pPlayer)
        a.m_pPlayer->SetVolume(muted_ ? 1 : 0, std::clamp(a.m_config.m_volume, 0, 1000));
}

// In a live state the button steps to the next source; after a file opened from live view it goes back
// to live view.
void KQ_UI_VeloqDlg::onSourceButton() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (IsFileState(state) && state >= UI_STATE_FILE_PLAY_L) {
        if (!a.m_pPlayer)
            return;
        a.m_pPlayer->Stop(0);
        time_.Reset();
        const HRESULT hr = a.m_pPlayer->StartLive();
        if (FAILED(hr)) {
            setState(UI_STATE_INIT);
            return;
        }
        SetStatusText(L"");
        setState(LiveStateOf(a.m_session.sourceIndex));
        return;
    }
    const int source = SourceOfState(state);
    if (source >= 0)
        onSelectSource((source + 1) % 3);
}

void KQ_UI_VeloqDlg::onSelectSource(int index) {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pBoxClient || !IsLiveState(a.m_uiState) || IsRecordingState(a.m_uiState) || index < 0 ||
        index > 2)
        return;
    if (a.m_pBoxClient->SendSetSource(m_hWnd, SourceLetter(index))) {
        pendingSource_ = index;
        source_.EnableWindow(FALSE);
    }
}

void KQ_UI_VeloqDlg::onPlay() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || !IsFileState(state) || FAILED(a.m_pPlayer->Play()))
        return;
    time_.StartClock();
    setState(FileStateFor(UI_STATE_FILE_PLAY, state >= UI_STATE_FILE_PLAY_L));
}

void KQ_UI_VeloqDlg::onPause() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || !IsFileState(state) || FAILED(a.m_pPlayer->Pause()))
        return;
    time_.StopClock();
    setState(FileStateFor(UI_STATE_FILE_PAUSE, state >= UI_STATE_FILE_PLAY_L));
}

void KQ_UI_VeloqDlg::onStopFile() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || !IsFileState(state))
        return;
    a.m_pPlayer->StopPlayback();
    time_.Reset();
    fileSlider_.SetPos(0);
    setState(FileStateFor(UI_STATE_FILE_STOP, state >= UI_STATE_FILE_PLAY_L));
}

void KQ_UI_VeloqDlg::onForward() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || !IsFileState(state) || FAILED(a.m_pPlayer->FastForward()))
        return;
    setState(FileStateFor(UI_STATE_FILE_FOREWARD, state >= UI_STATE_FILE_PLAY_L));
}

void KQ_UI_VeloqDlg::onBackward() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    if (!a.m_pPlayer || !IsFileState(state) || FAILED(a.m_pPlayer->Rewind()))
        return;
    setState(FileStateFor(UI_STATE_FILE_BACKWRAD, state >= UI_STATE_FILE_PLAY_L));
}

void KQ_UI_VeloqDlg::onAspect(int mode) {
    aspect_ = mode;
    if (app().m_pPlayer)
        app().m_pPlayer->SetAspect(mode == 2 ? 1 : 0);
}

void KQ_UI_VeloqDlg::onTopMost() {
    KQ_AppConfig& c = app().m_config;
    c.m_topMost = c.m_topMost ? 0 : 1;
    SetTopMost(c.m_topMost != 0);
}

void KQ_UI_VeloqDlg::onOsd() {
    KQ_AppConfig& c = app().m_config;
    c.m_osdEnable = c.m_osdEnable ? 0 : 1;
}

void KQ_UI_VeloqDlg::onSkin(int number) {
    number = ClampSkinNumber(number);
    if (number == skinIndex_)
        return;
    skinIndex_ = number;
    WritePrivateProfileStringW(L"Skin", L"value", std::to_wstring(number).c_str(), L".\\Setup\\property.ini");
    FreeSkinBitmaps(app().m_skin);
    LoadSkin(SkinPath(number), true);
    KQ_UI_VeloqApp& a = app();
    if (a.m_pLoginDlg)
        a.m_pLoginDlg->ApplySkinLayout();
    if (a.m_pTvPane)
        a.m_pTvPane->ApplySkinLayout();
    if (a.m_pRemotePane)
        a.m_pRemotePane->ApplySkinLayout();
}

void KQ_UI_VeloqDlg::onLanguage(UINT id) {
    CMenu* main = popup_.GetSubMenu(0);
    CMenu* languages = main ? main->GetSubMenu(kPopupLanguagePosition) : nullptr;
    if (!languages)
        return;
    g_languageIndex = static_cast<int>(id - kLanguageMenuFirst);
    app().m_config.m_language = g_languageIndex;
    languages->GetMenuString(id, g_languageName, MF_BYCOMMAND);
    for (UINT i = 0; i < languages->GetMenuItemCount(); ++i) {
        const UINT item = languages->GetMenuItemID(static_cast<int>(i));
        languages->CheckMenuItem(item, MF_BYCOMMAND | (item == id ? MF_CHECKED : MF_UNCHECKED));
    }
    setToolTips();
    RelabelMenus();
    if (KQ_UI_CLoginDialog* login = app().m_pLoginDlg; login && login->m_hWnd) {
        login->SendMessage(WM_UI_LANGUAGE_CHANGED, 0, 0);
        login->Invalidate();
    }
}

void KQ_UI_VeloqDlg::RebuildChannelMenu() {
    CMenu* main = popup_.GetSubMenu(0);
    CMenu* channels = main ? main->GetSubMenu(kPopupChannelsPosition) : nullptr;
    if (!channels)
        return;
    while (channels->GetMenuItemCount() > 0)
        channels->DeleteMenu(0, MF_BYPOSITION);
    const auto& table = app().m_config.m_channelTable;
    const std::size_t count =
        std::min<std::size_t>(table.size(), ID_MENU_CHANNEL_LAST - ID_MENU_CHANNEL_FIRST + 1);
    for (std::size_t i = 0; i < count; ++i)
        channels->AppendMenu(MF_STRING, ID_MENU_CHANNEL_FIRST + i,
                             std::to_wstring(table[i].channel) + L"  " + table[i].name);
    if (count == 0)
        channels->AppendMenu(MF_STRING | MF_GRAYED, ID_MENU_CHANNEL_NONE, L"-");
}

void KQ_UI_VeloqDlg::onChannel(UINT id) {
    if (KQ_UI_TVPaneDlg* tv = app().m_pTvPane)
        tv->SelectChannelIndex(static_cast<int>(id - ID_MENU_CHANNEL_FIRST));
}

void KQ_UI_VeloqDlg::onChannelStep(int step) {
    if (KQ_UI_TVPaneDlg* tv = app().m_pTvPane)
        tv->StepChannel(step);
}

void KQ_UI_VeloqDlg::onVolumeStep(int step) {
    volume_.SetPos(volume_.GetPos() + step);
    onSliderChanged(IDC_SLIDER_VOLUME);
}

void KQ_UI_VeloqDlg::onFullScreen() {
    KQ_UI_VeloqApp& a = app();
    if (a.m_pFullScreenDlg && a.m_pFullScreenDlg->m_hWnd &&
        (IsLiveState(a.m_uiState) || IsFileState(a.m_uiState)))
        a.m_pFullScreenDlg->Enter(video_);
}
