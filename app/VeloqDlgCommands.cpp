#include "app/VeloqDlg.h"

#include "app/ErrorInfoDlg.h"
#include "app/FileFailure.h"
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
#include "platform/win32/Clock.h"
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
    MapCommand(IDC_BTN_PROPERTY, [this] {
        if (canPress(IDC_BTN_PROPERTY))
            onSettings();
    });
    MapCommand(IDC_BTN_POPUP_RIGHT, [this] { onLoginPane(); });
    MapCommand(IDC_BTN_POPUP_LEFT, [this] { ToggleSidePane(); });
    MapCommand(IDC_BTN_MUTE, [this] { onMute(); });
    MapCommand(IDC_BTN_SOURCE, [this] { onSourceButton(); });
    MapCommand(IDC_BTN_PLAY, [this] { onPlay(); });
    MapCommand(IDC_BTN_PAUSE, [this] { onPause(); });
    MapCommand(IDC_BTN_STOP, [this] { onStopFile(); });
    MapCommand(IDC_BTN_FORWARD, [this] { onForward(); });
    MapCommand(IDC_BTN_BACKWARD, [this] { onBackward(); });

    // A menu item (or its key) that stands for a button does what the button does, and only while the
    // button can be pressed; the item is greyed exactly when the button is.
    auto twin = [this](UINT command, int button, void (KQ_UI_VeloqDlg::*act)()) {
        MapCommand(command, [this, button, act] {
            if (canPress(button))
                (this->*act)();
        });
    };
    twin(ID_MENU_STOP, IDC_BTN_STOP, &KQ_UI_VeloqDlg::onStopFile);
    twin(ID_MENU_PLAY, IDC_BTN_PLAY, &KQ_UI_VeloqDlg::onPlay);
    twin(ID_MENU_RECORD, IDC_BTN_RECORD, &KQ_UI_VeloqDlg::onRecord);
    twin(ID_MENU_SNAP, IDC_BTN_SNAP, &KQ_UI_VeloqDlg::onSnapshot);
    twin(ID_MENU_MUTE, IDC_BTN_MUTE, &KQ_UI_VeloqDlg::onMute);
    twin(ID_MENU_SETTING, IDC_BTN_PROPERTY, &KQ_UI_VeloqDlg::onSettings);
    twin(ID_MENU_SCHEDULE, IDC_BTN_PROPERTY, &KQ_UI_VeloqDlg::onSchedule);
    twin(ID_MENU_OPEN_LOCAL_FILE, IDC_BTN_OPEN, &KQ_UI_VeloqDlg::onOpenLocalFile);
    MapCommandRange(ID_MENU_SRC_TV, ID_MENU_SRC_SV,
                    [this](UINT id) { onSelectSource(static_cast<int>(id - ID_MENU_SRC_TV)); });
    MapCommandRange(ID_MENU_ASPECT_FREE, ID_MENU_ASPECT_WS,
                    [this](UINT id) { onAspect(static_cast<int>(id - ID_MENU_ASPECT_FREE)); });
    MapCommand(ID_MENU_TOPMOST, [this] { onTopMost(); });
    MapCommand(ID_MENU_OSD, [this] { onOsd(); });
    MapCommandRange(ID_MENU_SKIN_FIRST, ID_MENU_SKIN_LAST,
                    [this](UINT id) { onSkin(static_cast<int>(id - ID_MENU_SKIN_FIRST)); });
    MapCommandRange(kLanguageMenuFirst, kLanguageMenuLast, [this](UINT id) { onLanguage(id); });
    MapCommandRange(ID_MENU_CHANNEL_FIRST, ID_MENU_CHANNEL_LAST, [this](UINT id) { onChannel(id); });
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

    // The menu items greyed as their buttons are, and those with nothing behind them here.
    for (auto [command, button] :
         {std::pair{ID_MENU_PLAY, IDC_BTN_PLAY}, std::pair{ID_MENU_STOP, IDC_BTN_STOP},
          std::pair{ID_MENU_SNAP, IDC_BTN_SNAP}, std::pair{ID_MENU_SETTING, IDC_BTN_PROPERTY},
          std::pair{ID_MENU_SCHEDULE, IDC_BTN_PROPERTY}, std::pair{ID_MENU_OPEN_LOCAL_FILE, IDC_BTN_OPEN}})
        MapUpdateUI(command, [this, button](CCmdUI* ui) { ui->Enable(canPress(button)); });
    MapUpdateUI(ID_MENU_RECORD, [this](CCmdUI* ui) {
        ui->Enable(canPress(IDC_BTN_RECORD));
        ui->SetCheck(IsRecordingState(app().m_uiState));
    });
    MapUpdateUI(ID_MENU_MUTE, [this](CCmdUI* ui) {
        ui->Enable(canPress(IDC_BTN_MUTE));
        ui->SetCheck(muted_);
    });
    MapUpdateUI(ID_MENU_TOPMOST, [this](CCmdUI* ui) { ui->SetCheck(app().m_config.m_topMost != 0); });
    MapUpdateUI(ID_MENU_OSD, [this](CCmdUI* ui) { ui->SetCheck(app().m_config.m_osdEnable != 0); });
    for (UINT id : {ID_MENU_UPDATE, ID_MENU_TRANFILE, ID_MENU_OPEN_BOX_FILE})
        MapUpdateUI(id, [](CCmdUI* ui) { ui->Enable(FALSE); });
    for (UINT id = ID_MENU_SRC_TV; id <= ID_MENU_SRC_SV; ++id)
        MapUpdateUI(
            id, [this](CCmdUI* ui) { ui->Enable(SourceChoosable(app().m_uiState) && pendingSource_ < 0); });
    for (UINT id = ID_MENU_ASPECT_FREE; id <= ID_MENU_ASPECT_WS; ++id)
        MapUpdateUI(id, [this, id](CCmdUI* ui) {
            ui->SetCheck(aspect_ == static_cast<int>(id - ID_MENU_ASPECT_FREE));
        });
    for (UINT id = ID_MENU_SKIN_FIRST; id <= ID_MENU_SKIN_LAST; ++id)
        MapUpdateUI(id, [this, id](CCmdUI* ui) {
            ui->SetCheck(skinIndex_ == static_cast<int>(id - ID_MENU_SKIN_FIRST));
        });
}

bool KQ_UI_VeloqDlg::canPress(int id) const {
    const CWnd* control = GetDlgItem(id);
    return control && (control->GetStyle() & WS_VISIBLE) && control->IsWindowEnabled();
}

bool KQ_UI_VeloqDlg::settingsAvailable() const {
    return ButtonCell(app().m_uiState, IDC_BTN_PROPERTY - kFirstMainButton) == Cell::ShownEnabled &&
           CanOpenSettings() && g_settingsButtonLock != 1;
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
    if (!a.m_pPlayer || source < 0)
        return;
    if (state == UI_STATE_TV_SCHEDULE_RECORD) {
        // Stopped by the user, a scheduled recording ends as at its time, without what was to follow it.
        scheduleAfterAction_ = 0;
        scheduleEndTick_ = GetTickCount();
        schedulePoll();
        return;
    }
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
        // The player has let go of what it showed (live view, or the file before): live view comes back as
        // it was, or, with no live view to go back to, the idle state; then the message says what failed.
        const std::wstring message = FileFailureMessage(path, hr);
        if (fromLive) {
            returnToLive();
        } else if (IsFileState(state)) {
            time_.Reset();
            SetStatusText(L"");
            setState(UI_STATE_INIT);
        }
        MessageBox(message, L"Solvane Player", MB_ICONINFORMATION);
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

void KQ_UI_VeloqDlg::onSettings() {
    OpenSettings(SettingsPage::Channel);
}

void KQ_UI_VeloqDlg::onSchedule() {
    OpenSettings(SettingsPage::Schedule);
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
        SetStatusText(L"");
        returnToLive();
        return;
    }
    const int source = SourceOfState(state);
    if (source >= 0)
        onSelectSource((source + 1) % 3);
}

void KQ_UI_VeloqDlg::returnToLive() {
    KQ_UI_VeloqApp& a = app();
    KillTimer(kPositionTimer);
    time_.Reset();
    fileSlider_.SetPos(0);
    const HRESULT hr = a.m_pPlayer ? a.m_pPlayer->StartLive() : E_FAIL;
    if (FAILED(hr)) {
        KQ_UI_ErrorInfoDlg error(this, static_cast<int>(hr));
        error.DoModal();
        if (KQ_UI_CLoginDialog* login = a.m_pLoginDlg; login && login->m_hWnd) {
            if (login->IsLoggedIn())
                login->OnLoginButton(); // logs out
            SetLoginPaneShown(true);
            login->ShowWindow(SW_SHOWNA);
        }
        return;
    }
    const int index = a.m_session.sourceIndex;
    a.m_pPlayer->ReplaceInfoText(SourceName(index));
    const auto& channels = a.m_config.m_channelTable;
    const int channel = a.m_session.curChannelIndex;
    if (index == kSourceTv && channel >= 0 && static_cast<std::size_t>(channel) < channels.size())
        a.m_pPlayer->ShowInfoText(channels[static_cast<std::size_t>(channel)].name, false);
    setState(LiveStateOf(index));
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
