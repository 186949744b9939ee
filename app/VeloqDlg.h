// KQ_UI_VeloqDlg: the main window, a captionless skinned dialog run modally for the program's whole life.
// It owns the command buttons, the video box, the two sliders and three labels, docks the panes beside
// itself, keeps its look in step with the UI state (ApplyUiState), and turns the user's commands and the
// box link's and the player's messages into calls of the two and new UI states.
#pragma once

#include "app/SettingsPages.h"
#include "app/SkinControls.h"
#include "app/UiState.h"
#include "app/VideoBox.h"
#include "platform/mfc/Dialog.h"
#include "platform/mfc/Menu.h"

#include <array>
#include <cstdint>
#include <string>

class KQ_UI_VeloqApp;

class KQ_UI_VeloqDlg : public CDialog {
public:
    KQ_UI_VeloqDlg();
    ~KQ_UI_VeloqDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    // Re-shows the window for the current UI state: 0x1 buttons and switches, 0x10 labels, 0x100 sliders,
    // 0x1000 the video area; 0x1111 everything. A state outside 0..21 changes nothing. Returns 0.
    int ApplyUiState(int flags);
    // Reads a skin (its file, or the built-in skin when it is broken) and, with relayout, lays the window out
    // again for it.
    int LoadSkin(const std::wstring& path, bool relayout);
    void RelabelMenus();
    void SetStatusText(const std::wstring& text);
    void RebuildChannelMenu();
    // The source indicator: -1 none, 0 TV, 1 CV, 2 SV.
    void SetSourceIndicator(int index);
    void EnableSourceButton(bool enable);
    void ResetElapsedTime();
    void RestoreDefaultSize(); // the skin's size, the panes docked again
    // The side pane (TV pane for the tuner, remote pane for the other sources): shown or hidden.
    void ToggleSidePane();
    void HideSidePanes();
    // The shown panes beside the window on the work area (Docking.h); on every move of the window.
    void DockPanes();
    bool IsMaximized() const { return maximized_; }
    bool IsMuted() const { return muted_; }
    bool IsSidePaneShown() const { return tvPaneShown_ || remotePaneShown_; }
    void SetLoginPaneShown(bool shown); // a pane about to show is docked first
    // The settings can be opened: something opens the sheet, and the UI state gives it pages.
    bool CanOpenSettings() const;
    // The settings sheet, modal, on the tab of the page when the state gives it (else the first).
    void OpenSettings(SettingsPage first);

    KQ_UI_VideoBox& VideoBox() { return video_; }
    KQ_UI_ImageButton& Button(int id) { return buttons_[static_cast<std::size_t>(id - kFirstMainButton)]; }
    KQ_UI_SwitchButton& MaximizeSwitch() { return maximize_; }
    KQ_UI_SwitchButton& RecordSwitch() { return record_; }
    KQ_UI_SwitchButton& MuteSwitch() { return mute_; }
    KQ_UI_SourceButton& SourceButton() { return source_; }
    KQ_UI_New_Slider& VolumeSlider() { return volume_; }
    KQ_UI_New_Slider& FileSlider() { return fileSlider_; }
    KQ_UI_CTimeStatic& TimeLabel() { return time_; }
    KQ_UI_TextStatic& StatusLine() { return status_; }
    CMenu& PopupMenu() { return popup_; }
    CMenu& SkinMenu() { return skinMenu_; }
    CToolTipCtrl& ToolTips() { return tips_; }
    bool IsInitialized() const { return initialized_; }

protected:
    BOOL OnEraseBkgnd(CDC* dc) override;
    LRESULT OnNcHitTest(POINT screen) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnContextMenu(CWnd* wnd, POINT screen) override;
    void OnCancel() override;
    void OnClose() override { onClose(); } // the window manager's close is the close button's
    void OnOK() override {}

private:
    KQ_UI_VeloqApp& app() const;
    void mapCommands();
    void mapMessages();
    void setToolTips();
    void applySkin();
    void placeSwitches();
    // A control the user can press now (shown and enabled); a menu item or key that stands for a button
    // acts and is enabled exactly then.
    bool canPress(int id) const;
    // The settings sheet can open: the state allows it and there is one.
    bool settingsAvailable() const;

    // Commands.
    void onClose();
    void onMaximize();
    void onRecord();
    void onSnapshot();
    void onOpen();
    void onOpenLocalFile();
    void onMenuButton();
    void onSettings();
    void onSchedule();
    void onLoginPane();
    void onMute();
    void onSourceButton();
    void onSelectSource(int index);
    void onPlay();
    void onPause();
    void onStopFile();
    void onForward();
    void onBackward();
    void onAspect(int mode);
    void onTopMost();
    void onOsd();
    void onSkin(int number);
    void onLanguage(UINT id);
    void onChannel(UINT id);
    void onChannelStep(int step);
    void onVolumeStep(int step);
    void onFullScreen();
    // Back to live view of the current source after a file (played, or failed to open): the live graph
    // running again, the live state and the source's name on the picture. When live view cannot start, the
    // error dialog says why and the program logs out as the login button would.
    void returnToLive();

    // Messages.
    LRESULT onSetState(WPARAM state);
    LRESULT onSliderChanged(WPARAM id);
    LRESULT onGraphEvent();
    LRESULT onPlaybackStarted();
    LRESULT onPlaybackEnd();
    LRESULT onDiskFull();
    LRESULT onSourceChanged(WPARAM restarted);
    LRESULT onLinkLost();
    LRESULT onVideoQuality(WPARAM value);
    void schedulePoll();
    void setState(int state);
    void updateModeLabel();
    std::wstring mediaPath(const std::wstring& folder, const wchar_t* extension) const;

    std::array<KQ_UI_ImageButton, 17> buttons_;
    KQ_UI_SourceButton source_;
    KQ_UI_SwitchButton maximize_;
    KQ_UI_SwitchButton record_;
    KQ_UI_SwitchButton mute_;
    int skinIndex_ = 0;
    KQ_UI_CTimeStatic time_;
    KQ_UI_TextStatic status_;
    KQ_UI_New_Slider volume_;
    KQ_UI_New_Slider fileSlider_;
    KQ_UI_VideoBox video_;
    CMenu popup_;
    CMenu skinMenu_;
    CMenu fileMenu_;
    CToolTipCtrl tips_;
    bool maximized_ = false;
    RECT normalRect_{};
    bool remotePaneShown_ = false;
    bool tvPaneShown_ = false;
    bool loginPaneShown_ = true;
    bool initialized_ = false;
    bool muted_ = false;
    bool docking_ = false; // DockPanes is moving the window
    int aspect_ = 0;
    // A scheduled recording: its end on the scaled clock, what follows it, and the source it waits for.
    bool scheduledRecording_ = false;
    DWORD scheduleEndTick_ = 0;
    int scheduleAfterAction_ = 0;
    int pendingScheduleSource_ = -1;
    int pendingSource_ = -1;
};

constexpr UINT_PTR kSchedulePollTimer = 0x10FF;
constexpr UINT_PTR kLabelTimer = 0x1004;
constexpr UINT_PTR kPositionTimer = 0x1001;
