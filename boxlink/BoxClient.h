// KQ_TCP_BoxClient: the one box connection manager of the program. It finds the box (LAN search, typed
// address, host name, or the relay path), opens the control connection and logs in, starts the audio/video
// stream after the login, and disconnects. It owns the control channel, the sockets of a login, the stream
// receiver and the relay path once they are installed, and the state of the login that they share.
//
// Threads: Login runs on the login dialog's worker thread; the other calls on the UI thread. Login,
// StartStream, Disconnect and CloseControlSocket exclude each other (a call waits for one in progress).
// Results reach the windows as posted messages (boxlink/BoxMessages.h); status texts go to the main window
// as WM_BOX_STATUS_TEXT, whichever thread runs the connection.
#pragma once

#include "boxlink/BoxLinkState.h"
#include "boxlink/ControlChannel.h"
#include "boxlink/RelayPath.h"
#include "boxlink/StreamReceiverControl.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class PlayerControl;

// How Login finds the box.
enum BoxLoginType : int {
    BOX_LOGIN_BY_ID = 0,      // LAN search by device ID, else the relay path
    BOX_LOGIN_BY_ADDRESS = 1, // typed dotted address, direct ports
    BOX_LOGIN_BY_HOST = 2,    // host name, resolved, direct ports
};

class KQ_TCP_BoxClient {
public:
    KQ_TCP_BoxClient();
    ~KQ_TCP_BoxClient(); // disconnects
    KQ_TCP_BoxClient(const KQ_TCP_BoxClient&) = delete;
    KQ_TCP_BoxClient& operator=(const KQ_TCP_BoxClient&) = delete;

    // Set by the application: the main window (null while none exists) and the player (borrowed, null while
    // none exists); the stream receiver and the relay path are handed over.
    void SetMainWindow(HWND window) { link_.mainWindow = window; }
    void SetPlayer(PlayerControl* player) { link_.player = player; }
    void SetStreamReceiver(std::unique_ptr<StreamReceiverControl> receiver);
    void SetRelayPath(std::unique_ptr<RelayPath> relay);

    // First tears down what an earlier login left running, then connects by the login type and sends the
    // login request. False with WM_BOX_LOGIN_FAILED posted to window when it did not get that far; the box's
    // answer comes later as WM_BOX_LOGIN_OK, WM_BOX_LOGIN_CONFIRM or WM_BOX_LOGIN_FAILED.
    bool Login(HWND window, const std::wstring& target, const std::wstring& user,
               const std::wstring& password, int source, int frequency, int country, int tvSystem,
               int loginType, int confirmation);
    // The login request alone (again after WM_BOX_LOGIN_CONFIRM, with BOX_LOGIN_CONFIRMED).
    bool RequestLogin(HWND window, const std::wstring& user, const std::wstring& password, int source,
                      int frequency, int country, int tvSystem, int loginType, int confirmation);
    // Starts the stream receiver after WM_BOX_LOGIN_OK; in relay mode it takes over the audio/video socket.
    bool StartStream();
    // Three logouts (given up after a short time when the box does not take them), then the control
    // connection is shut down and the stream, the relay's sockets and mappings and the control channel
    // are stopped.
    bool Disconnect(DWORD logoutValue);
    // Gives a login attempt up: closes the control channel (and in relay mode the audio/video socket and the
    // mappings).
    bool CloseControlSocket();

    // Requests the windows make on the connection manager.
    bool AddUser(HWND window, const std::wstring& name, const std::wstring& password);
    bool DeleteUser(HWND window, const std::wstring& name);
    bool ChangePassword(HWND window, const std::wstring& first, const std::wstring& second,
                        const std::wstring& third);
    bool BeginIrLearning(HWND window, const std::wstring& profile);
    bool EndIrLearning(HWND window, const std::wstring& profile);
    bool LearnIrKey(HWND window, DWORD key, const std::wstring& profile);
    bool SendIrKey(HWND window, DWORD key, const std::wstring& profile);
    bool StartFileTransfer(HWND window, const BoxFileItem& item);

    // The other requests go to the channel directly.
    KQ_TCP_ControlChannel& Channel() { return channel_; }
    // The login's shared state (the stream receiver writes parts of it, the windows read it).
    BoxLinkState& Link() { return link_; }
    const BoxLinkState& Link() const { return link_; }
    DWORD LoginState() const { return link_.loginState; }
    DWORD Mode() const { return link_.mode; }
    // During a login: the PC's own address, then the box's.
    std::vector<std::string> AddressList() const;
    std::string OwnAddress() const;

    // After WM_BOX_VIDEO_QUALITY_OK with 200 the window applies a size class and restarts live view, then
    // lets the stream parser go on.
    void SetCurrentSizeClass(int sizeClass) { link_.currentSizeClass = sizeClass; }
    void RaiseRestartedGeneration() { ++link_.restartedGeneration; }

    // The folder downloads are written to, set by the transfer dialog.
    void SetDownloadFolder(const std::wstring& folder);
    std::wstring DownloadFolder() const;

private:
    bool connectToBox(const std::wstring& target, int loginType);
    bool searchLanDevice(const std::wstring& deviceId);
    int connectViaServer(const std::wstring& server1, const std::wstring& server2,
                         const std::wstring& deviceId, std::string& boxAddress);
    bool connectDirect(const std::string& boxAddress);
    void startControlThreads();
    void closeRelay();
    void teardown();
    void postStatus(const wchar_t* text, LPARAM target);
    void setAddresses(std::vector<std::string> addresses);

    BoxLinkState link_;
    KQ_TCP_ControlChannel channel_{link_};
    std::unique_ptr<StreamReceiverControl> receiver_;
    bool receiverStarted_ = false; // since StartStream, until it is stopped
    std::unique_ptr<RelayPath> relay_;

    std::mutex connectionMutex_; // Login, StartStream, Disconnect, CloseControlSocket
    // The sockets of the direct and relay paths until the channel and the receiver take them over.
    SOCKET controlSocket_ = INVALID_SOCKET;
    SOCKET streamSocket_ = INVALID_SOCKET;

    mutable std::mutex addressMutex_;
    std::vector<std::string> addresses_;
    std::string ownAddress_;

    mutable std::mutex folderMutex_;
    std::wstring downloadFolder_;

    UINT timerPeriod_ = 0; // the multimedia timer resolution asked for, 0 when none
};
