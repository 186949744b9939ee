#include "app/LoginDialog.h"

#include "app/ErrorInfoDlg.h"
#include "app/Language.h"
#include "app/Panes.h"
#include "app/Sources.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "config/LoginFolder.h"
#include "dialogs/records/CountryScanRange.h"
#include "dialogs/records/IrProfileSteps.h"
#include "platform/mfc/MessageBox.h"
#include "platform/win32/Profile.h"

#include <cstdio>
#include <iostream>
#include <vector>

namespace {

constexpr const wchar_t* kProperty = L".\\Setup\\property.ini";
constexpr COLORREF kShapeKey = RGB(1, 254, 1);

std::wstring readHistory(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    std::vector<wchar_t> buffer(512, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, L"", buffer.data(), 512, file.c_str());
    return std::wstring(buffer.data(), n);
}

void showError(CWnd* owner, const InputError& e) {
    const std::wstring text = e.literal ? e.key : LoadLanguageString(e.key);
    owner->MessageBox(text, e.caption, e.type);
}

} // namespace

bool IdAlnumCheck(const std::wstring& id) {
    for (wchar_t c : id)
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')))
            return false;
    return true;
}

bool CheckBoxId(const std::wstring& id, InputError& error) {
    if (id.size() != 10) {
        error = {L"KQ_S_LOGIN_WRONG_SN_FORMAT", false, L"Error", MB_OK};
        return false;
    }
    if (!IdAlnumCheck(id) || id.find_first_of(L"01IOlo") != std::wstring::npos) {
        error = {L"KQ_S_ID_INVALID_ALPHA", false, L"Solvane Player", MB_ICONINFORMATION};
        return false;
    }
    return true;
}

bool CheckCredentials(const std::wstring& user, const std::wstring& password, InputError& error) {
    if (user.size() > 16) {
        error = {L"KQ_S_LOGIN_WRONG_USERNAME_FORMAT", false, L"Error", MB_OK};
        return false;
    }
    if (password.size() > 16) {
        error = {L"KQ_S_LOGIN_WRONG_PASSWORD_FORMAT", false, L"Error", MB_OK};
        return false;
    }
    return true;
}

std::wstring DottedAddress(DWORD a) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

KQ_UI_CLoginDialog::KQ_UI_CLoginDialog() : CDialog(LoginPaneTemplate()) {
    MapCommand(IDC_LOGIN_BUTTON, [this] { OnLoginButton(); });
    MapCommand(IDC_LOGIN_RADIO_ID, [this] { showOnly(IDC_LOGIN_ID); });
    MapCommand(IDC_LOGIN_RADIO_IP, [this] { showOnly(IDC_LOGIN_IP); });
    MapCommand(IDC_LOGIN_RADIO_DDNS, [this] { showOnly(IDC_LOGIN_HOST); });
    MapMessage(WM_UI_LANGUAGE_CHANGED, [this](WPARAM, LPARAM) {
        relabel();
        return LRESULT{0};
    });
    MapMessage(WM_BOX_LOGIN_OK, [this](WPARAM, LPARAM l) { return abandoned_ ? 0 : onLoginOk(l); });
    MapMessage(WM_BOX_LOGIN_FAILED, [this](WPARAM w, LPARAM) { return abandoned_ ? 0 : onLoginFailed(w); });
    MapMessage(WM_BOX_LOGIN_CONFIRM, [this](WPARAM, LPARAM) { return abandoned_ ? 0 : onLoginConfirm(); });
    MapMessage(WM_LBUTTONDOWN, [this](WPARAM, LPARAM) {
        SetRedraw(FALSE);
        return LRESULT{0};
    });
    MapMessage(WM_LBUTTONUP, [this](WPARAM, LPARAM) {
        SetRedraw(TRUE);
        Invalidate();
        return LRESULT{0};
    });
    MapUpdateUI(IDC_LOGIN_BUTTON, [this](CCmdUI*) {
        const int state = app().m_uiState;
        loginButton_.SetOn(
            !(state == UI_STATE_INIT || (state >= UI_STATE_FILE_PLAY && state <= UI_STATE_FILE_BACKWRAD)));
    });
    for (UINT id : {IDC_LOGIN_ID, IDC_LOGIN_USER, IDC_LOGIN_PASSWORD, IDC_LOGIN_REMEMBER})
        MapUpdateUI(id, [](CCmdUI* ui) { ui->Enable(TRUE); });
}

KQ_UI_CLoginDialog::~KQ_UI_CLoginDialog() {
    JoinWorker();
    DestroyWindow();
}

KQ_UI_VeloqApp& KQ_UI_CLoginDialog::app() const {
    return *VeloqApp();
}

void KQ_UI_CLoginDialog::JoinWorker() {
    if (worker_.joinable())
        worker_.join();
}

BOOL KQ_UI_CLoginDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    KQ_UI_VeloqApp& a = app();
    auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_LOGIN_ID));
    combo->LimitText(10);
    userLabel_.SubclassDlgItem(IDC_LOGIN_USER_LABEL, this);
    passwordLabel_.SubclassDlgItem(IDC_LOGIN_PASSWORD_LABEL, this);
    rememberLabel_.SubclassDlgItem(IDC_LOGIN_REMEMBER_LABEL, this);
    for (int type = LOGIN_MODE_ID; type <= LOGIN_MODE_DDNS; ++type)
        LoginRadio(type).SubclassDlgItem(static_cast<UINT>(IDC_LOGIN_RADIO_ID + type), this);
    remember_.SubclassDlgItem(IDC_LOGIN_REMEMBER, this);
    SendMessage(WM_UI_LANGUAGE_CHANGED, 0, 0);

    ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED);
    const CBitmap& shape = a.m_skin.windows[kSkinLogin][kPicBackground];
    if (!shape.IsNull() && region_.CreateFromBitmap(shape, kShapeKey))
        SetWindowRgn(&region_, TRUE);
    ModifyStyleEx(0, WS_EX_LAYERED);
    SetLayeredWindowAttributes(kShapeKey, 255, 0x1);

    loginButton_.SubclassDlgItem(IDC_LOGIN_BUTTON, this);
    ApplySkinLayout();
    tips_.Create(this);
    tips_.AddTool(&loginButton_, LoadLanguageString(L"IDS_TIPS_LOGIN"));
    tips_.AddTool(&remember_, LoadLanguageString(L"IDS_TIPS_REMEMBER"));
    tips_.Activate(TRUE);

    KQ_UI_UserRecord& record = a.m_config.m_userRecord;
    const bool loaded = record.Load() == 1;
    if (loaded) {
        for (const std::wstring& id : record.loginIds)
            if (!id.empty())
                combo->AddString(id);
        if (!record.text1.empty() && combo->FindString(-1, record.text1) == CB_ERR)
            combo->AddString(record.text1);
    }
    if (GetPrivateProfileIntW(L"Remember User", L"Enable", 0, kProperty) != 0) {
        remember_.SetCheck(BST_CHECKED);
        if (loaded) {
            combo->SetWindowText(record.text1);
            GetDlgItem(IDC_LOGIN_USER)->SetWindowText(record.text2);
            GetDlgItem(IDC_LOGIN_PASSWORD)->SetWindowText(record.text3);
            static_cast<CIPAddressCtrl*>(GetDlgItem(IDC_LOGIN_IP))
                ->SetAddress(static_cast<DWORD>(record.value));
            GetDlgItem(IDC_LOGIN_HOST)->SetWindowText(record.text4);
        }
    } else {
        remember_.SetCheck(BST_UNCHECKED);
    }
    LoginRadio(LOGIN_MODE_ID).Select();
    showOnly(IDC_LOGIN_ID);
    a.m_session.transformPort =
        static_cast<int>(GetPrivateProfileIntW(L"Transform Port", L"port", 0, kProperty));
    return TRUE;
}

void KQ_UI_CLoginDialog::ApplySkinLayout() {
    KQ_UI_VeloqApp& a = app();
    const SkinItemLayout& pane = a.m_config.m_skinWindows[kSkinLogin].layout;
    if (pane.cx > 0 && pane.cy > 0) {
        RECT r;
        GetWindowRect(&r);
        SetWindowPos(nullptr, r.left, r.top, pane.cx, pane.cy, SWP_NOZORDER | SWP_NOMOVE);
    }
    loginButton_.SetSkin(a.m_skin.windows[kSkinLogin], a.m_config.m_loginButton, pane.cx > 0 ? pane.cx : 180,
                         pane.cy > 0 ? pane.cy : 408);
    loginButton_.SetSecondFace(a.m_skin.ext[kExtLogin]);
    loginButton_.Place();
    const CBitmap& shape = a.m_skin.windows[kSkinLogin][kPicBackground];
    if (!shape.IsNull() && region_.CreateFromBitmap(shape, kShapeKey))
        SetWindowRgn(&region_, TRUE);
    Invalidate();
}

void KQ_UI_CLoginDialog::relabel() {
    userLabel_.SetWindowText(LoadLanguageString(L"KQ_S_LOGIN_USENAME"));
    passwordLabel_.SetWindowText(LoadLanguageString(L"KQ_S_LOGIN_PWD"));
    rememberLabel_.SetWindowText(LoadLanguageString(L"KQ_S_REM"));
    userLabel_.Invalidate();
    passwordLabel_.Invalidate();
    rememberLabel_.Invalidate();
}

void KQ_UI_CLoginDialog::showOnly(int id) {
    for (int control : {IDC_LOGIN_ID, IDC_LOGIN_IP, IDC_LOGIN_HOST})
        if (CWnd* w = GetDlgItem(control))
            w->ShowWindow(control == id ? SW_SHOWNA : SW_HIDE);
    Invalidate();
}

BOOL KQ_UI_CLoginDialog::OnEraseBkgnd(CDC* dc) {
    RECT client;
    GetClientRect(&client);
    CBitmap background = app().m_skin.windows[kSkinLogin][kPicBackground];
    if (background.IsNull()) {
        dc->FillSolidRect(client, RGB(220, 222, 226));
        return TRUE;
    }
    CDC memory;
    memory.CreateCompatibleDC(dc);
    memory.SelectObject(&background);
    const CSize size = background.GetSize();
    dc->BitBlt(0, 0, size.cx, size.cy, &memory, 0, 0);
    return TRUE;
}

BOOL KQ_UI_CLoginDialog::PreTranslateMessage(MSG* msg) {
    UpdateDialogControls();
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        if (loginButton_.IsWindowEnabled())
            OnLoginButton();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

bool KQ_UI_CLoginDialog::readInput(LoginInput& input) {
    InputError error;
    input.loginType = g_loginMode;
    switch (g_loginMode) {
    case LOGIN_MODE_ID: {
        const std::wstring id = GetDlgItem(IDC_LOGIN_ID)->GetWindowText();
        if (!CheckBoxId(id, error)) {
            showError(this, error);
            return false;
        }
        input.loginId = id;
        input.address = id.substr(0, 6);
        break;
    }
    case LOGIN_MODE_IP: {
        DWORD address = 0;
        if (static_cast<CIPAddressCtrl*>(GetDlgItem(IDC_LOGIN_IP))->GetAddress(address) != 4) {
            showError(this,
                      InputError{L"Enter IP Address Error!", true, L"Solvane Player", MB_ICONINFORMATION});
            return false;
        }
        input.ipAddress = address;
        input.address = input.loginId = DottedAddress(address);
        break;
    }
    default: {
        std::wstring host = GetDlgItem(IDC_LOGIN_HOST)->GetWindowText();
        if (host.size() > 511)
            host.resize(511);
        input.address = input.loginId = host;
        break;
    }
    }
    input.user = GetDlgItem(IDC_LOGIN_USER)->GetWindowText();
    input.password = GetDlgItem(IDC_LOGIN_PASSWORD)->GetWindowText();
    if (!CheckCredentials(input.user, input.password, error)) {
        showError(this, error);
        return false;
    }
    return true;
}

void KQ_UI_CLoginDialog::loadChannelTable() {
    KQ_AppConfig& c = app().m_config;
    const std::wstring history = GetLoginHistoryPath(c.m_userRecord.text1, g_userDataRoot);
    const std::wstring table = readHistory(history, L"Channel Table", L"Table");
    if (table.empty()) {
        c.m_channelTable.clear();
        return;
    }
    c.m_channelTablePath = table;
    c.LoadChannelTable(table);
}

void KQ_UI_CLoginDialog::OnLoginButton() {
    KQ_UI_VeloqApp& a = app();
    KQ_UI_VeloqDlg* main = a.m_pMainDlg;
    if (main) {
        main->ResetElapsedTime();
        main->ApplyUiState(0x1111);
    }
    if (loggedIn_ == 1) {
        logout();
        return;
    }
    LoginInput input;
    if (!readInput(input))
        return;
    KQ_AppConfig& c = a.m_config;
    c.m_userRecord.text1 = input.loginId;
    if (input.loginType == LOGIN_MODE_IP)
        c.m_userRecord.value = static_cast<std::int32_t>(input.ipAddress);
    else if (input.loginType == LOGIN_MODE_DDNS)
        c.m_userRecord.text4 = input.address;

    savedUiState_ = a.m_uiState;
    savedStatusText_ = main ? main->StatusLine().Text() : std::wstring();
    a.m_uiState = UI_STATE_LOGIN;
    if (main)
        main->ApplyUiState(0x111);
    loadChannelTable();

    // Everything the worker needs is read here, on the UI thread.
    int frequency = 0;
    a.m_session.curChannelIndex = -1;
    if (!c.m_channelTable.empty()) {
        const std::wstring history = GetLoginHistoryPath(c.m_userRecord.text1, g_userDataRoot);
        const int last =
            static_cast<int>(GetPrivateProfileIntW(L"Last Channel", L"channel", 0, history.c_str()));
        for (std::size_t i = 0; i < c.m_channelTable.size(); ++i)
            if (c.m_channelTable[i].channel == last) {
                a.m_session.curChannelIndex = static_cast<int>(i);
                frequency = static_cast<int>(c.m_channelTable[i].frequency);
                break;
            }
    }
    int country = static_cast<int>(GetPrivateProfileIntW(L"Country", L"value", -1, kProperty));
    if (country == -1)
        country = 0;
    std::int32_t low = 0, high = 0, tvSystem = 0; // an unknown country: system 0
    LookupCountryScanRange(country, &low, &high, &tvSystem);
    params_ = LoginParams{c.m_lastSource, frequency, country, tvSystem, input.loginType, 0};

    JoinWorker();
    loginButton_.EnableWindow(FALSE);
    BoxClientPort* box = a.m_pBoxClient;
    if (!box) {
        PostMessage(WM_BOX_LOGIN_FAILED, 1, 0);
        return;
    }
    worker_ = std::thread([box, hwnd = m_hWnd, input, params = params_] {
        box->Login(hwnd, input.address, input.user, input.password, params);
    });
}

void KQ_UI_CLoginDialog::logout() {
    KQ_UI_VeloqApp& a = app();
    KQ_UI_VeloqDlg* main = a.m_pMainDlg;
    if (main && main->IsSidePaneShown())
        main->HideSidePanes();
    if (main && main->IsMuted())
        main->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BTN_MUTE, BN_CLICKED), 0);
    if (a.m_pPlayer && FAILED(a.m_pPlayer->Stop(1)))
        std::wcerr << L"Veloq: the player did not stop at logout\n";
    if (a.m_pBoxClient && !a.m_pBoxClient->Disconnect(0))
        std::wcerr << L"Veloq: the box did not disconnect at logout\n";
    loggedIn_ = 0;
    a.m_session.loggedIn = 0;
    loginButton_.SetOn(false);
    a.m_uiState = UI_STATE_INIT;
    if (main) {
        main->ApplyUiState(0x1111);
        main->SetSourceIndicator(-1);
        main->EnableSourceButton(false); // nothing to switch until the next login
        main->SetStatusText(L"");        // "Device is connected" no longer
        main->VideoBox().Clear();
    }
    tips_.UpdateTipText(L"Login", &loginButton_);
    a.m_config.m_channelTable.clear();
}

void KQ_UI_CLoginDialog::LinkLost() {
    if (loggedIn_ != 1)
        return;
    logout();
    if (KQ_UI_VeloqDlg* main = app().m_pMainDlg) {
        main->DockPanes();
        main->SetLoginPaneShown(true);
    }
    ShowWindow(SW_SHOWNA);
}

void KQ_UI_CLoginDialog::finishFailedStart() {
    KQ_UI_VeloqApp& a = app();
    if (a.m_pBoxClient)
        a.m_pBoxClient->Disconnect(0);
    if (a.m_pPlayer)
        a.m_pPlayer->Stop(1);
    a.m_session.loggedIn = 0;
    a.m_uiState = UI_STATE_INIT;
    if (KQ_UI_VeloqDlg* main = a.m_pMainDlg) {
        main->ApplyUiState(0x1111);
        main->EnableSourceButton(false);
        main->SetStatusText(savedStatusText_);
        if (main->IsSidePaneShown())
            main->HideSidePanes();
    }
    loginButton_.EnableWindow(TRUE);
}

LRESULT KQ_UI_CLoginDialog::onLoginOk(LPARAM country) {
    JoinWorker();
    KQ_UI_VeloqApp& a = app();
    KQ_AppConfig& c = a.m_config;
    KQ_UI_VeloqDlg* main = a.m_pMainDlg;
    WritePrivateProfileStringW(L"Transform Port", L"port", std::to_wstring(a.m_session.transformPort).c_str(),
                               kProperty);
    if (main)
        main->SetSourceIndicator(-1);
    a.m_session.loggedIn = 1;
    a.m_session.scheduleStarted = 0;
    a.m_session.countryCode = static_cast<int>(country);
    WritePrivateProfileStringW(L"Country", L"value", std::to_wstring(country).c_str(), kProperty);
    if (main)
        main->RebuildChannelMenu();
    if (a.m_pBoxClient)
        a.m_pBoxClient->StartStream();

    HRESULT started = E_FAIL;
    if (a.m_pPlayer) {
        if (a.m_pBoxClient) {
            a.m_pPlayer->SetSizeClass(a.m_pBoxClient->CurrentSizeClass());
            a.m_pPlayer->SetStandard(a.m_pBoxClient->VideoStandard());
        }
        if (a.m_pPlayer->Mode() == PLAYER_MODE_NONE && main) {
            a.m_pPlayer->SetVideoWindow(main->VideoBox().m_hWnd);
            a.m_pPlayer->SetNotifyWindow(main->m_hWnd);
        }
        started = a.m_pPlayer->StartLive();
    }
    if (FAILED(started)) {
        KQ_UI_ErrorInfoDlg error(main, static_cast<int>(started));
        error.DoModal();
        finishFailedStart();
        return 0;
    }
    loggedIn_ = 1;
    if (main) {
        main->RestoreDefaultSize();
        main->SetLoginPaneShown(false);
    }
    ShowWindow(SW_HIDE);
    const std::wstring& loginId = c.m_userRecord.text1;
    if (GetLoginFolder(loginId, g_userDataRoot).empty())
        EnsureLoginFolder(loginId, g_userDataRoot);
    OpenLoginProfiles(g_irProfileStore, c.m_remoterMapping, loginId,
                      GetProfileArchivePath(loginId, g_userDataRoot),
                      GetLoginHistoryPath(loginId, g_userDataRoot));

    int index = kSourceCv;
    const int code = c.m_lastSource;
    if (code >= 0 && code <= 2)
        index = SourceIndexOfCode(code);
    else
        c.m_lastSource = 0;
    a.m_session.sourceIndex = index;
    a.m_uiState = LiveStateOf(index);
    if (main)
        main->SetSourceIndicator(index);
    if (code >= 0 && code <= 2 && a.m_pPlayer)
        a.m_pPlayer->ReplaceInfoText(SourceName(index));
    if (index == kSourceTv) {
        if (c.m_channelTable.empty()) {
            if (MessageBox(LoadLanguageString(L"KQ_S_CHNL_IS_EMPTY"), L"Solvane Player", MB_YESNO) == IDYES &&
                main)
                main->OpenSettings(SettingsPage::Channel);
        } else if (a.m_pTvPane) {
            a.m_pTvPane->ShowChannelIndex(a.m_session.curChannelIndex);
            const int i = a.m_session.curChannelIndex;
            if (i >= 0 && static_cast<std::size_t>(i) < c.m_channelTable.size() && a.m_pPlayer)
                a.m_pPlayer->ShowInfoText(c.m_channelTable[static_cast<std::size_t>(i)].name, false);
        }
    }
    if (main) {
        main->ApplyUiState(0x111);
        main->EnableSourceButton(true);
    }
    loginButton_.EnableWindow(TRUE);
    loginButton_.SetOn(true);

    c.m_userRecord.text2 = GetDlgItem(IDC_LOGIN_USER)->GetWindowText();
    c.m_userRecord.text3 = GetDlgItem(IDC_LOGIN_PASSWORD)->GetWindowText();
    c.m_userRecord.AddLoginId(c.m_userRecord.text1);
    WritePrivateProfileStringW(L"Remember User", L"Enable", remember_.GetCheck() == BST_CHECKED ? L"1" : L"0",
                               kProperty);
    c.m_userRecord.Save();
    if (auto* combo = static_cast<CComboBox*>(GetDlgItem(IDC_LOGIN_ID));
        combo && c.m_userRecord.text1.size() <= 10 && combo->FindString(-1, c.m_userRecord.text1) == CB_ERR)
        combo->AddString(c.m_userRecord.text1);

    if (a.m_pBoxClient && main)
        a.m_pBoxClient->SendSetPicture(main->m_hWnd, static_cast<BYTE>(c.m_brightness),
                                       static_cast<BYTE>(c.m_contrast), static_cast<BYTE>(c.m_hue),
                                       static_cast<BYTE>(c.m_saturation));
    tips_.UpdateTipText(L"Logout", &loginButton_);
    if (main)
        main->SetFocus();
    return 0;
}

LRESULT KQ_UI_CLoginDialog::onLoginFailed(WPARAM code) {
    JoinWorker();
    KQ_UI_VeloqApp& a = app();
    if (a.m_pBoxClient)
        a.m_pBoxClient->CloseControlSocket();
    loginButton_.EnableWindow(TRUE);
    KQ_UI_ErrorInfoDlg error(a.m_pMainDlg, static_cast<int>(code));
    error.DoModal();
    a.m_uiState = savedUiState_;
    if (KQ_UI_VeloqDlg* main = a.m_pMainDlg) {
        main->ApplyUiState(0x111);
        main->SetSourceIndicator(-1);
        main->SetStatusText(savedStatusText_); // not the stages of the login that failed
    }
    return 0;
}

LRESULT KQ_UI_CLoginDialog::onLoginConfirm() {
    JoinWorker();
    KQ_UI_VeloqApp& a = app();
    if (MessageBox(LoadLanguageString(L"KQ_LOGIN_MESSAGEBOX"), L"Solvane Player", MB_YESNO) == IDYES) {
        a.m_session.confirm = kLoginConfirmed;
        params_.confirm = kLoginConfirmed;
        const std::wstring user = GetDlgItem(IDC_LOGIN_USER)->GetWindowText();
        const std::wstring password = GetDlgItem(IDC_LOGIN_PASSWORD)->GetWindowText();
        // A login that cannot be sent fails as the first would have (no answer would ever come).
        if (!a.m_pBoxClient || !a.m_pBoxClient->RequestLogin(m_hWnd, user, password, params_))
            PostMessage(WM_BOX_LOGIN_FAILED, 8, 0);
        return 0;
    }
    a.m_session.confirm = 0;
    if (a.m_pBoxClient)
        a.m_pBoxClient->Disconnect(200);
    a.m_uiState = UI_STATE_INIT;
    if (KQ_UI_VeloqDlg* main = a.m_pMainDlg) {
        main->ApplyUiState(0x111);
        main->SetSourceIndicator(-1);
        main->SetStatusText(savedStatusText_);
    }
    loginButton_.EnableWindow(TRUE);
    return 0;
}
