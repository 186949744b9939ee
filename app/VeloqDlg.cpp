#include "app/VeloqDlg.h"

#include "app/Docking.h"
#include "app/FullScreenDlg.h"
#include "app/Language.h"
#include "app/LoginDialog.h"
#include "app/Menus.h"
#include "app/Panes.h"
#include "app/SnapDialog.h"
#include "app/Sources.h"
#include "app/Templates.h"
#include "app/VeloqApp.h"
#include "platform/win32/Profile.h"

namespace {

// The frame pieces around the video area.
constexpr int kMarginLeft = 12;
constexpr int kMarginTop = 28;
constexpr int kMarginRight = 13;
constexpr int kMarginBottom = 94;
// The mode label's place, from the bottom-right corner of the client area.
constexpr int kModeRight = 186;
constexpr int kModeBottom = 26;

struct Tip {
    int id;
    const wchar_t* key;
};
constexpr Tip kTips[] = {
    {IDC_BTN_MINIMIZE, L"IDS_TIPS_MINIMIZE"},
    {IDC_BTN_CLOSE, L"IDS_TIPS_CLOSE"},
    {IDC_BTN_SNAP, L"IDS_TIPS_SNAP"},
    {IDC_BTN_OPEN, L"IDS_TIPS_OPEN"},
    {IDC_BTN_MTS, L"IDS_TIPS_MTS"},
    {IDC_BTN_PROPERTY, L"IDS_TIPS_PROPERTY"},
    {IDC_BTN_PLAY, L"IDS_TIPS_PLAY"},
    {IDC_BTN_PAUSE, L"IDS_TIPS_PAUSE"},
    {IDC_BTN_STOP, L"IDS_TIPS_STOP"},
    {IDC_BTN_FORWARD, L"IDS_TIPS_FORWARD"},
    {IDC_BTN_BACKWARD, L"IDS_TIPS_BACKWARD"},
    {IDC_BTN_POPUP_LEFT, L"IDS_TIPS_POPUP_LEFT"},
    {IDC_BTN_POPUP_RIGHT, L"IDS_TIPS_POPUP_RIGHT"},
};

void placeLabel(CWnd& label, const TextLabelLayout& layout, CWnd& parent) {
    RECT client;
    parent.GetClientRect(&client);
    const SkinItemLayout l{layout.anchor, layout.x, layout.y, layout.cx, layout.cy, layout.state};
    const CRect r = PlaceLayout(l, client.right, client.bottom);
    label.MoveWindow(r.left, r.top, r.Width(), r.Height(), TRUE);
}

} // namespace

KQ_UI_VeloqDlg::KQ_UI_VeloqDlg() : CDialog(MainWindowTemplate()) {
    skinIndex_ = ClampSkinNumber(
        static_cast<int>(GetPrivateProfileIntW(L"Skin", L"value", 0, L".\\Setup\\property.ini")));
    mapCommands();
    mapMessages();
}

KQ_UI_VeloqDlg::~KQ_UI_VeloqDlg() {
    DestroyWindow();
    if (KQ_UI_VeloqApp* a = VeloqApp(); a && a->m_pMainDlg == this) {
        a->m_pMainDlg = nullptr;
        if (a->m_pPlayer)
            a->m_pPlayer->SetMainWindow(nullptr);
        if (a->m_pBoxClient)
            a->m_pBoxClient->SetMainWindow(nullptr);
    }
}

KQ_UI_VeloqApp& KQ_UI_VeloqDlg::app() const {
    return *VeloqApp();
}

BOOL KQ_UI_VeloqDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    KQ_UI_VeloqApp& a = app();
    a.m_pMainDlg = this;
    skinIndex_ = ClampSkinNumber(
        static_cast<int>(GetPrivateProfileIntW(L"Skin", L"value", 0, L".\\Setup\\property.ini")));
    LoadSkin(SkinPath(skinIndex_), false);

    if (CWnd* mode = GetDlgItem(IDC_STATIC_MODE))
        mode->SetFont(L"System", 13, true);
    SetIcon(0, TRUE);
    popup_.LoadMenu(PopupMenuTemplate());
    skinMenu_.LoadMenu(SkinMenuTemplate());
    fileMenu_.LoadMenu(FileMenuTemplate());

    SetTimer(kSchedulePollTimer, 15000, nullptr);
    SetTimer(kLabelTimer, 1000, nullptr);

    source_.SubclassDlgItem(IDC_BTN_SOURCE, this);
    maximize_.SubclassDlgItem(IDC_BTN_MAXIMIZE, this);
    record_.SubclassDlgItem(IDC_BTN_RECORD, this);
    mute_.SubclassDlgItem(IDC_BTN_MUTE, this);
    source_.EnableWindow(FALSE);
    for (KQ_UI_SwitchButton* s : {&maximize_, &record_, &mute_})
        s->EnableWindow(FALSE);
    video_.Attach(IDC_VIDEO_BOX, this);
    const SkinItemLayout& main = a.m_config.m_skinWindows[kSkinMain].layout;
    if (main.cx > 0 && main.cy > 0)
        SetWindowPos(nullptr, main.x, main.y, main.cx, main.cy, SWP_NOZORDER);
    tips_.Create(this);

    for (int i = 0; i < kMainButtonCount; ++i)
        buttons_[static_cast<std::size_t>(i)].SubclassDlgItem(static_cast<UINT>(kFirstMainButton + i), this);
    time_.SubclassDlgItem(IDC_STATIC_TIME, this);
    status_.SubclassDlgItem(IDC_STATIC_STATUS, this);
    time_.SetTextColor(a.m_config.m_clockLabel.colour);
    status_.SetTextColor(a.m_config.m_infoBarLabel.colour);
    time_.Reset();
    status_.SetText(L"");
    volume_.SubclassDlgItem(IDC_SLIDER_VOLUME, this);
    fileSlider_.SubclassDlgItem(IDC_SLIDER_FILE, this);
    volume_.SetRange(0, 1000);
    volume_.SetPos(std::clamp(a.m_config.m_volume, 0, 1000));
    fileSlider_.SetRange(0, 1000);
    applySkin();

    a.m_uiState = UI_STATE_INIT;
    ApplyUiState(0x1111);
    setToolTips();
    RelabelMenus();
    if (a.m_pPlayer) {
        a.m_pPlayer->SetMainWindow(m_hWnd);
        a.m_pPlayer->SetVideoWindow(video_.m_hWnd);
        a.m_pPlayer->SetNotifyWindow(m_hWnd);
    }
    if (a.m_pBoxClient)
        a.m_pBoxClient->SetMainWindow(m_hWnd);

    if (a.m_pLoginDlg)
        a.m_pLoginDlg->Create(this);
    if (a.m_pTvPane)
        a.m_pTvPane->Create(this);
    if (a.m_pRemotePane)
        a.m_pRemotePane->Create(this);
    if (a.m_pSnapDlg)
        a.m_pSnapDlg->Create(this);
    if (a.m_pFullScreenDlg)
        a.m_pFullScreenDlg->Create(nullptr);
    ShowWindow(SW_SHOW);
    if (a.m_pLoginDlg) {
        DockPanes();
        a.m_pLoginDlg->ShowWindow(SW_SHOWNA);
    }
    SetTopMost(a.m_config.m_topMost != 0);
    initialized_ = true;
    return TRUE;
}

// Frames of the image buttons from the skin's pictures, the second faces of the switches, the sliders.
void KQ_UI_VeloqDlg::applySkin() {
    KQ_UI_VeloqApp& a = app();
    const SkinItemLayout& main = a.m_config.m_skinWindows[kSkinMain].layout;
    const int cx = main.cx > 0 ? main.cx : 408;
    const int cy = main.cy > 0 ? main.cy : 408;
    for (int i = 0; i < kMainButtonCount; ++i)
        buttons_[static_cast<std::size_t>(i)].SetSkin(a.m_skin.windows[i < 12 ? kSkinMain : kSkinFile],
                                                      a.m_config.m_mainButtons[static_cast<std::size_t>(i)],
                                                      cx, cy);
    maximize_.SetSkin(a.m_skin.windows[kSkinMain], a.m_config.m_mainButtons[1], cx, cy);
    maximize_.SetSecondFace(a.m_skin.ext[kExtMax]);
    record_.SetSkin(a.m_skin.windows[kSkinMain], a.m_config.m_mainButtons[3], cx, cy);
    record_.SetSecondFace(a.m_skin.ext[kExtRecord]);
    mute_.SetSkin(a.m_skin.windows[kSkinMain], a.m_config.m_mainButtons[10], cx, cy);
    mute_.SetSecondFace(a.m_skin.ext[kExtMute]);
    source_.SetSkin(a.m_skin.windows[kSkinMain], a.m_config.m_mainButtons[11], cx, cy);
    source_.SetSourceFaces(a.m_skin.ext[kExtSource]);
    volume_.SetSkin(a.m_skin.windows[kSkinMain], a.m_config.m_volumeSlider, cx, cy);
    fileSlider_.SetSkin(a.m_skin.windows[kSkinFile], a.m_config.m_fileSlider, cx, cy);
}

int KQ_UI_VeloqDlg::LoadSkin(const std::wstring& path, bool relayout) {
    KQ_UI_VeloqApp& a = app();
    LoadSkinFile(path, a.m_config, a.m_skin);
    if (relayout && m_hWnd) {
        applySkin();
        RestoreDefaultSize();
        ApplyUiState(0x1111);
        Invalidate();
    }
    return 1;
}

void KQ_UI_VeloqDlg::placeSwitches() {
    maximize_.Place();
    record_.Place();
    mute_.Place();
    source_.Place();
}

int KQ_UI_VeloqDlg::ApplyUiState(int flags) {
    const int state = app().m_uiState;
    if (!IsUiState(state) || !m_hWnd)
        return 0;
    if (flags & 0x1) {
        for (int i = 0; i < kMainButtonCount; ++i) {
            KQ_UI_ImageButton& b = buttons_[static_cast<std::size_t>(i)];
            switch (ButtonCell(state, i)) {
            case Cell::Hidden:
                b.Place();
                b.ShowWindow(SW_HIDE);
                break;
            case Cell::ShownDisabled:
                b.ShowWindow(SW_SHOWNA);
                b.EnableWindow(FALSE);
                b.Place();
                break;
            case Cell::ShownEnabled:
                b.EnableWindow(TRUE);
                b.ShowWindow(SW_SHOWNA);
                b.Place();
                break;
            }
        }
        placeSwitches(); // at the rectangles of their place holders
        const SwitchRow row = SwitchesOf(state);
        auto apply = [](KQ_UI_SwitchButton& s, Switch cell) {
            if (cell != Switch::Unchanged)
                s.EnableWindow(cell == Switch::On);
        };
        apply(maximize_, row.maximise);
        apply(record_, row.record);
        apply(mute_, row.mute);
        // Where the table leaves the source button unchanged, a live state that can change its source has
        // it enabled (after a recording too), unless a source change is under way.
        if (row.source != Source::Unchanged)
            source_.EnableWindow(row.source == Source::Enabled);
        else if (SourceChoosable(state))
            source_.EnableWindow(pendingSource_ < 0);
        if (ButtonCell(state, IDC_BTN_PROPERTY - kFirstMainButton) == Cell::ShownEnabled)
            Button(IDC_BTN_PROPERTY).EnableWindow(settingsAvailable());
        if (CMenu* main = popup_.GetSubMenu(0)) {
            const int source = SourceOfState(state);
            for (int i = 0; i < 3; ++i)
                main->CheckMenuItem(ID_MENU_SRC_TV + static_cast<UINT>(i),
                                    MF_BYCOMMAND | (source == i ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    if (flags & 0x10) {
        const KQ_AppConfig& c = app().m_config;
        time_.MarkShown(TimeLabelShown(state));
        time_.Invalidate();
        placeLabel(time_, c.m_clockLabel, *this);
        status_.MarkShown(StatusLineShown(state) || state == UI_STATE_LOGIN);
        placeLabel(status_, c.m_infoBarLabel, *this);
        if (CWnd* mode = GetDlgItem(IDC_STATIC_MODE)) {
            RECT client;
            GetClientRect(&client);
            RECT r;
            mode->GetWindowRect(&r);
            mode->MoveWindow(client.right - kModeRight, client.bottom - kModeBottom, r.right - r.left,
                             r.bottom - r.top, TRUE);
            mode->ShowWindow(TimeLabelShown(state) ? SW_SHOWNA : SW_HIDE);
        }
    }
    if (flags & 0x100) {
        for (int s = 0; s < 2; ++s) {
            KQ_UI_New_Slider& slider = s == 0 ? volume_ : fileSlider_;
            const Cell cell = SliderCell(state, s);
            if (cell == Cell::Hidden) {
                slider.ShowWindow(SW_HIDE);
            } else {
                slider.ShowWindow(SW_SHOWNA);
                slider.SetActive(cell == Cell::ShownEnabled);
            }
            slider.Invalidate();
            slider.Place();
        }
    }
    if (flags & 0x1000) {
        RECT client;
        GetClientRect(&client);
        video_.SetWindowPos(nullptr, kMarginLeft, kMarginTop,
                            std::max(0, static_cast<int>(client.right) - kMarginLeft - kMarginRight),
                            std::max(0, static_cast<int>(client.bottom) - kMarginTop - kMarginBottom),
                            SWP_NOZORDER);
    }
    return 0;
}

void KQ_UI_VeloqDlg::setToolTips() {
    for (const Tip& t : kTips)
        tips_.AddTool(GetDlgItem(t.id), LoadLanguageString(t.key));
    tips_.AddTool(&maximize_, LoadLanguageString(maximized_ ? L"IDS_TIPS_RESTORE" : L"IDS_TIPS_MAXIMIZE"));
    tips_.AddTool(&record_,
                  LoadLanguageString(record_.IsOn() ? L"IDS_TIPS_RECORD_STOP" : L"IDS_TIPS_RECORD"));
    tips_.AddTool(&mute_, LoadLanguageString(L"IDS_TIPS_MUTE"));
    tips_.AddTool(&source_, LoadLanguageString(L"IDS_TIPS_SOURCE"));
    tips_.Activate(TRUE);
}

void KQ_UI_VeloqDlg::RelabelMenus() {
    ::RelabelMenus(popup_, skinMenu_, fileMenu_);
    if (CMenu* main = popup_.GetSubMenu(0); main && main->GetSubMenu(kPopupLanguagePosition)) {
        CMenu* languages = main->GetSubMenu(kPopupLanguagePosition);
        for (UINT i = 0; i < languages->GetMenuItemCount(); ++i)
            languages->CheckMenuItem(i, MF_BYPOSITION |
                                            (static_cast<int>(i) == g_languageIndex ? MF_CHECKED : 0));
    }
}

void KQ_UI_VeloqDlg::SetStatusText(const std::wstring& text) {
    status_.SetText(text);
}

void KQ_UI_VeloqDlg::SetSourceIndicator(int index) {
    source_.SetIndicator(index);
}

void KQ_UI_VeloqDlg::EnableSourceButton(bool enable) {
    source_.EnableWindow(enable);
}

void KQ_UI_VeloqDlg::ResetElapsedTime() {
    time_.Reset();
}

void KQ_UI_VeloqDlg::RestoreDefaultSize() {
    const SkinItemLayout& main = app().m_config.m_skinWindows[kSkinMain].layout;
    if (maximized_)
        onMaximize();
    RECT r;
    GetWindowRect(&r);
    if (main.cx > 0 && main.cy > 0)
        SetWindowPos(nullptr, r.left, r.top, main.cx, main.cy, SWP_NOZORDER | SWP_NOMOVE);
    DockPanes();
}

namespace {

// The size of a pane that shows (or is about to); {0, 0} for one that does not.
SIZE paneSize(const CWnd* pane, bool shown) {
    if (!pane || !pane->m_hWnd || !shown)
        return SIZE{0, 0};
    RECT r;
    pane->GetWindowRect(&r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void movePane(CWnd* pane, bool shown, POINT to) {
    if (pane && pane->m_hWnd && shown)
        pane->SetWindowPos(nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

// A pane is docked as it is marked shown (before it shows), so that it never opens off the work area.
void KQ_UI_VeloqDlg::DockPanes() {
    if (docking_ || !m_hWnd)
        return;
    docking_ = true;
    KQ_UI_VeloqApp& a = app();
    RECT r, work;
    GetWindowRect(&r);
    GetWorkArea(&work);
    CDialog* side =
        tvPaneShown_ ? static_cast<CDialog*>(a.m_pTvPane) : static_cast<CDialog*>(a.m_pRemotePane);
    const DockPlan plan = PlanDock(work, r, paneSize(a.m_pLoginDlg, loginPaneShown_),
                                   paneSize(side, IsSidePaneShown()), !maximized_ && !IsIconic());
    if (plan.main.x != r.left || plan.main.y != r.top)
        SetWindowPos(nullptr, plan.main.x, plan.main.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    movePane(a.m_pLoginDlg, loginPaneShown_, plan.login);
    movePane(side, IsSidePaneShown(), plan.side);
    docking_ = false;
}

void KQ_UI_VeloqDlg::SetLoginPaneShown(bool shown) {
    loginPaneShown_ = shown;
    if (shown)
        DockPanes();
}

void KQ_UI_VeloqDlg::HideSidePanes() {
    KQ_UI_VeloqApp& a = app();
    if (a.m_pTvPane)
        a.m_pTvPane->ShowWindow(SW_HIDE);
    if (a.m_pRemotePane)
        a.m_pRemotePane->ShowWindow(SW_HIDE);
    tvPaneShown_ = remotePaneShown_ = false;
}

void KQ_UI_VeloqDlg::ToggleSidePane() {
    KQ_UI_VeloqApp& a = app();
    if (IsSidePaneShown()) {
        HideSidePanes();
        return;
    }
    const bool tv = SourceOfState(a.m_uiState) == kSourceTv;
    CDialog* pane = tv ? static_cast<CDialog*>(a.m_pTvPane) : static_cast<CDialog*>(a.m_pRemotePane);
    if (!pane || !pane->m_hWnd)
        return;
    (tv ? tvPaneShown_ : remotePaneShown_) = true;
    DockPanes();
    pane->ShowWindow(SW_SHOWNA);
}

BOOL KQ_UI_VeloqDlg::OnEraseBkgnd(CDC* dc) {
    RECT client;
    GetClientRect(&client);
    const int w = client.right;
    const int h = client.bottom;
    CBitmap background = app().m_skin.windows[kSkinMain][kPicBackground];
    const CSize size = background.GetSize();
    if (background.IsNull() || size.cx < 377 || size.cy < 363) {
        dc->FillSolidRect(client, RGB(48, 48, 52));
        return TRUE;
    }
    CDC memory;
    memory.CreateCompatibleDC(dc);
    memory.SelectObject(&background);
    // Nine pieces of the 377 x 363 picture: fixed corners, stretched edges.
    const int right = size.cx - 100;
    const int bottom = size.cy - 94;
    dc->BitBlt(0, 0, 100, 28, &memory, 0, 0);
    dc->BitBlt(w - 100, 0, 100, 28, &memory, right, 0);
    dc->BitBlt(0, h - 94, 100, 94, &memory, 0, bottom);
    dc->BitBlt(w - 100, h - 94, 100, 94, &memory, right, bottom);
    dc->StretchBlt(100, 0, w - 200, 28, &memory, 100, 0, 176, 28);
    dc->StretchBlt(100, h - 94, w - 200, 94, &memory, 100, bottom, 176, 94);
    dc->StretchBlt(0, 28, kMarginLeft, h - 28 - 94, &memory, 0, 28, kMarginLeft, 241);
    dc->StretchBlt(w - kMarginRight, 28, kMarginRight, h - 28 - 94, &memory, size.cx - kMarginRight, 28,
                   kMarginRight, 241);
    return TRUE;
}

LRESULT KQ_UI_VeloqDlg::OnNcHitTest(POINT screen) {
    POINT p = screen;
    ScreenToClient(&p);
    RECT client;
    GetClientRect(&client);
    if (p.x >= client.right - 20 && p.y >= client.bottom - 20 && p.x < client.right && p.y < client.bottom)
        return HTBOTTOMRIGHT;
    if (maximized_)
        return HTNOWHERE;
    return HTCAPTION;
}

void KQ_UI_VeloqDlg::OnSize(UINT, int, int) {
    if (!initialized_)
        return;
    ApplyUiState(0x1111);
    DockPanes();
}

void KQ_UI_VeloqDlg::OnContextMenu(CWnd*, POINT screen) {
    if (CMenu* main = popup_.GetSubMenu(0))
        main->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

void KQ_UI_VeloqDlg::OnCancel() {
    // Escape does not close the main window; the close button does.
}

BOOL KQ_UI_VeloqDlg::PreTranslateMessage(MSG* msg) {
    if (TranslateAccelerator(m_hWnd, MainAccelerators(), msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}
