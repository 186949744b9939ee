#include "app/VeloqDlg.h"

#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Panes.h"
#include "app/Sources.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "dialogs/records/ScheduleTable.h"
#include "platform/mfc/MessageBox.h"
#include "platform/win32/Clock.h"

#include <cstdio>
#include <ctime>

void KQ_UI_VeloqDlg::mapMessages() {
    MapMessage(WM_UI_SET_STATE, [this](WPARAM w, LPARAM) { return onSetState(w); });
    // However the window moved (dragged by its surface, by the window manager, restored), the panes follow.
    MapMessage(WM_MOVE, [this](WPARAM, LPARAM) {
        if (initialized_)
            DockPanes();
        return LRESULT{0};
    });
    MapMessage(WM_UI_SLIDER_CHANGED, [this](WPARAM w, LPARAM) { return onSliderChanged(w); });
    MapMessage(WM_SETTINGCHANGE, [this](WPARAM, LPARAM) {
        if (app().m_pPlayer)
            app().m_pPlayer->RefreshVideo();
        return LRESULT{0};
    });
    MapMessage(WM_AV_GRAPH_EVENT, [this](WPARAM, LPARAM) { return onGraphEvent(); });
    MapMessage(WM_AV_PLAYBACK_STARTED, [this](WPARAM, LPARAM) { return onPlaybackStarted(); });
    MapMessage(WM_AV_POSITION_TIMER_OFF, [this](WPARAM, LPARAM) {
        KillTimer(kPositionTimer);
        return LRESULT{0};
    });
    MapMessage(WM_AV_PLAYBACK_END, [this](WPARAM, LPARAM) { return onPlaybackEnd(); });
    MapMessage(WM_AV_VIDEO_STALLED, [this](WPARAM, LPARAM) {
        if (app().m_pPlayer)
            app().m_pPlayer->RestartLive();
        return LRESULT{0};
    });
    MapMessage(WM_AV_DISK_FULL, [this](WPARAM, LPARAM) { return onDiskFull(); });
    MapMessage(WM_BOX_STATUS_TEXT, [this](WPARAM w, LPARAM) {
        if (const auto* text = reinterpret_cast<const wchar_t*>(w))
            SetStatusText(text);
        return LRESULT{0};
    });
    MapMessage(WM_BOX_SOURCE_CHANGED, [this](WPARAM w, LPARAM) { return onSourceChanged(w); });
    MapMessage(WM_BOX_SOURCE_FAILED, [this](WPARAM, LPARAM) {
        pendingSource_ = -1;
        pendingScheduleSource_ = -1;
        const int state = app().m_uiState; // the link may be gone by now: then the button cannot act
        source_.EnableWindow(IsLiveState(state) && !IsRecordingState(state));
        return LRESULT{0};
    });
    MapMessage(WM_BOX_LINK_LOST, [this](WPARAM, LPARAM) { return onLinkLost(); });
    MapMessage(WM_BOX_VIDEO_QUALITY_OK, [this](WPARAM w, LPARAM) { return onVideoQuality(w); });
}

LRESULT KQ_UI_VeloqDlg::onSetState(WPARAM state) {
    if (!IsUiState(static_cast<int>(state)))
        return 0;
    app().m_uiState = static_cast<int>(state);
    RedrawWindow();
    ApplyUiState(0x1111);
    return 0;
}

LRESULT KQ_UI_VeloqDlg::onSliderChanged(WPARAM id) {
    KQ_UI_VeloqApp& a = app();
    if (id == IDC_SLIDER_VOLUME) {
        a.m_config.m_volume = volume_.GetPos();
        if (a.m_pPlayer)
            a.m_pPlayer->SetVolume(0, a.m_config.m_volume);
        if (muted_)
            SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_MUTE, BN_CLICKED), 0);
    } else if (id == IDC_SLIDER_FILE && a.m_pPlayer) {
        a.m_pPlayer->Seek(fileSlider_.GetPos());
    }
    return 0;
}

LRESULT KQ_UI_VeloqDlg::onGraphEvent() {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pPlayer || a.m_pPlayer->Mode() == PLAYER_MODE_NONE)
        return E_FAIL;
    if (a.m_pPlayer->HandleGraphEvents())
        PostMessage(WM_AV_PLAYBACK_END, 0, 0);
    return S_OK;
}

LRESULT KQ_UI_VeloqDlg::onPlaybackStarted() {
    SetTimer(kPositionTimer, 1000, nullptr);
    RestoreDefaultSize();
    return 0;
}

// The end of a file: only the file states change; it also arrives after every live start.
LRESULT KQ_UI_VeloqDlg::onPlaybackEnd() {
    KQ_UI_VeloqApp& a = app();
    const int state = a.m_uiState;
    int next = -1;
    if (state == UI_STATE_FILE_PLAY || state == UI_STATE_FILE_FOREWARD || state == UI_STATE_FILE_BACKWRAD)
        next = UI_STATE_FILE_STOP;
    else if (state == UI_STATE_FILE_PLAY_L || state == UI_STATE_FILE_FOREWARD_L ||
             state == UI_STATE_FILE_BACKWRAD_L)
        next = UI_STATE_FILE_STOP_L;
    if (next < 0)
        return 0;
    if (a.m_pPlayer)
        a.m_pPlayer->StopPlayback();
    a.m_uiState = next;
    time_.Reset();
    fileSlider_.SetPos(0);
    ApplyUiState(0x111);
    return 0;
}

LRESULT KQ_UI_VeloqDlg::onDiskFull() {
    if (IsRecordingState(app().m_uiState)) {
        if (app().m_uiState == UI_STATE_TV_SCHEDULE_RECORD) {
            scheduleEndTick_ = GetTickCount(); // the poll ends it now
            schedulePoll();
        } else {
            onRecord();
        }
    }
    MessageBox(L"No enough space!", L"Solvane Play", MB_ICONINFORMATION);
    return 0;
}

LRESULT KQ_UI_VeloqDlg::onSourceChanged(WPARAM) {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_session.loggedIn)
        return 0; // answered just before the link went: nothing is shown of it any more
    const int index = pendingSource_ >= 0 ? pendingSource_ : a.m_session.sourceIndex;
    pendingSource_ = -1;
    a.m_session.sourceIndex = index;
    a.m_config.m_lastSource = SourceCodeOfIndex(index);
    SetSourceIndicator(index);
    if (a.m_pPlayer)
        a.m_pPlayer->ReplaceInfoText(SourceName(index));
    if (IsSidePaneShown()) {
        HideSidePanes();
        ToggleSidePane();
    }
    if (pendingScheduleSource_ == index) {
        pendingScheduleSource_ = -1;
        schedulePoll();
        return 0;
    }
    setState(scheduledRecording_ ? UI_STATE_TV_SCHEDULE_RECORD : LiveStateOf(index));
    source_.EnableWindow(TRUE);
    return 0;
}

// The box link lost the connection of a login: back to the login pane, and the user is told why. A login
// still running reports its own failure.
LRESULT KQ_UI_VeloqDlg::onLinkLost() {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pLoginDlg || !a.m_pLoginDlg->IsLoggedIn())
        return 0;
    a.m_pLoginDlg->LinkLost();
    MessageBox(LoadLanguageString(L"KQ_S_LINK_LOST"), L"Solvane Player", MB_ICONINFORMATION);
    return 0;
}

LRESULT KQ_UI_VeloqDlg::onVideoQuality(WPARAM value) {
    if (value == 200)
        app().RestartLiveOnNewStream();
    return 0;
}

void KQ_UI_VeloqDlg::OnTimer(UINT_PTR id) {
    KQ_UI_VeloqApp& a = app();
    switch (id) {
    case kSchedulePollTimer:
        schedulePoll();
        break;
    case kLabelTimer:
        updateModeLabel();
        break;
    case kPositionTimer:
        if (int position = 0; a.m_pPlayer && SUCCEEDED(a.m_pPlayer->GetPosition(position)))
            fileSlider_.SetPos(position);
        break;
    default:
        break;
    }
}

void KQ_UI_VeloqDlg::updateModeLabel() {
    CWnd* mode = GetDlgItem(IDC_STATIC_MODE);
    BoxClientPort* box = app().m_pBoxClient;
    if (!mode || !box)
        return;
    static const wchar_t* const kFormats[5] = {L"QCIF: %dKbps", L"CIF: %dKbps", L"DCIF: %dKbps",
                                               L"H-D1: %dKbps", L"D1: %dKbps"};
    const int sizeClass = std::clamp(box->CurrentSizeClass(), 0, 4);
    wchar_t text[64];
    std::swprintf(text, 64, kFormats[sizeClass], box->BitRateKbps());
    mode->SetWindowText(text);
}

// Every 15 seconds: a due recording starts (switching the source, and the channel on the tuner, first),
// a running one ends at its time and is followed by its after-recording action.
void KQ_UI_VeloqDlg::schedulePoll() {
    KQ_UI_VeloqApp& a = app();
    if (scheduledRecording_) {
        if (static_cast<std::int32_t>(GetTickCount() - scheduleEndTick_) < 0)
            return;
        scheduledRecording_ = false;
        a.m_session.scheduleStarted = 0;
        if (a.m_pPlayer)
            a.m_pPlayer->SetRecord(0, L"");
        record_.SetOn(false);
        time_.Reset();
        setState(LiveStateOf(a.m_session.sourceIndex));
        if (scheduleAfterAction_ == 1)
            onClose();
        else if (scheduleAfterAction_ == 2)
            a.ShutDownWindows();
        return;
    }
    if (!a.m_session.loggedIn || !IsLiveState(a.m_uiState) || IsRecordingState(a.m_uiState) || !a.m_pPlayer)
        return;
    KQ_ScheduleTable& schedule = a.m_config.m_schedule;
    if (!schedule.FindDue(static_cast<std::int64_t>(std::time(nullptr))) && pendingScheduleSource_ < 0)
        return;
    // An open settings sheet applies its page and closes first.
    if (g_settingsSheetWnd)
        ::PostMessage(g_settingsSheetWnd, WM_UI_SCHEDULE_DUE, 0, 0);
    const SCHEDULE_ENTRY current = g_currentScheduledEntry; // the due one, also while its source is set
    const int source = std::clamp(current.source, 0, 2);
    if (source != a.m_session.sourceIndex) {
        if (a.m_pBoxClient && pendingScheduleSource_ < 0 &&
            a.m_pBoxClient->SendSetSource(m_hWnd, SourceLetter(source))) {
            pendingSource_ = pendingScheduleSource_ = source;
        }
        return;
    }
    if (source == kSourceTv && a.m_pTvPane)
        a.m_pTvPane->SelectChannelNumber(current.channel);
    schedule.Load(); // the file as the settings last saved it
    if (FAILED(a.m_pPlayer->SetRecord(1, mediaPath(a.m_config.m_recordPath, L".mp4"))))
        return;
    if (current.mode == 0) { // a once entry is done, and its minutes of the week are free again
        schedule.RemoveEntry(current.id);
        schedule.Save();
    }
    scheduledRecording_ = true;
    a.m_session.scheduleStarted = 1;
    scheduleEndTick_ = GetTickCount() + static_cast<DWORD>(std::max(1, current.lengthMinutes)) * 60000u;
    scheduleAfterAction_ = current.afterAction;
    record_.SetOn(true);
    time_.Reset();
    time_.StartClock();
    setState(source == kSourceTv ? UI_STATE_TV_SCHEDULE_RECORD : RecordStateOf(source));
}
