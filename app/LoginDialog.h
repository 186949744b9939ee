// KQ_UI_CLoginDialog: the skinned login pane docked at the right of the main window. It checks what the
// user typed (box ID, IP address or host name; user name; password) on the UI thread, hands a copy of the
// values to a worker thread that runs the box connection manager's login, and turns the results that come
// back as messages (WM_BOX_LOGIN_OK, WM_BOX_LOGIN_FAILED, WM_BOX_LOGIN_CONFIRM) into the UI state, live view
// and the remembered logins. The same button logs out.
//
// Threads: the worker only calls the connection manager's Login with its copied values; the pane joins it
// when a result arrives, before the next login and when the pane is deleted (after the connection manager's
// users are gone, before the connection manager itself).
#pragma once

#include "app/BoxClientPort.h"
#include "app/SkinControls.h"
#include "platform/mfc/Dialog.h"
#include "platform/mfc/Region.h"

#include <string>
#include <thread>

class KQ_UI_VeloqApp;

// What the login pane checked and hands on.
struct LoginInput {
    int loginType = 0;
    std::wstring loginId; // the configuration's login ID (the box ID, address or host name)
    std::wstring address; // what the connection manager is given
    DWORD ipAddress = 0;
    std::wstring user;
    std::wstring password;
};

// Checks the typed values; on an error returns false with the message and its caption and type.
struct InputError {
    std::wstring key; // language key, or the literal text when literal is set
    bool literal = false;
    std::wstring caption;
    UINT type = MB_OK;
};
bool IdAlnumCheck(const std::wstring& id);
bool CheckBoxId(const std::wstring& id, InputError& error);
bool CheckCredentials(const std::wstring& user, const std::wstring& password, InputError& error);
std::wstring DottedAddress(DWORD address);

class KQ_UI_CLoginDialog : public CDialog {
public:
    KQ_UI_CLoginDialog();
    ~KQ_UI_CLoginDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    void OnLoginButton();
    void ApplySkinLayout();
    // The audio/video connection was lost: log out as the button would.
    void LinkLost();

    bool IsLoggedIn() const { return loggedIn_ != 0; }
    int SavedUiState() const { return savedUiState_; }
    const LoginParams& Params() const { return params_; }
    KQ_UI_SwitchButton& LoginButton() { return loginButton_; }
    const CToolTipCtrl& ToolTips() const { return tips_; }
    void JoinWorker();
    // The program is closing: a login still running is left to end on its worker, and its result, when
    // it comes, is dropped.
    void AbandonLogin() { abandoned_ = true; }

protected:
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    KQ_UI_VeloqApp& app() const;
    void logout();
    bool readInput(LoginInput& input);
    void showOnly(int id);
    void relabel();
    void loadChannelTable();
    void finishFailedStart();

    LRESULT onLoginOk(LPARAM country);
    LRESULT onLoginFailed(WPARAM code);
    LRESULT onLoginConfirm();

    KQ_UI_SwitchButton loginButton_;
    KQ_UI_CheckBox remember_;
    CStaticEz userLabel_;
    CStaticEz passwordLabel_;
    CStaticEz rememberLabel_;
    CToolTipCtrl tips_;
    int savedUiState_ = -1;
    std::wstring savedStatusText_; // the main window's status line when the login began
    LoginParams params_;
    int loggedIn_ = 0;
    CRgn region_;
    std::thread worker_;
    bool abandoned_ = false;
};
