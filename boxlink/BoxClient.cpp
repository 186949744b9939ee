#include "boxlink/BoxClient.h"

#include "boxlink/BoxMessages.h"
#include "boxlink/WindowPost.h"
#include "platform/net/Adapters.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"

#include <algorithm>

namespace {

// How long Disconnect's logouts may take together.
constexpr DWORD kLogoutsMs = 1000;

// The PC's own address: the first IPv4 address of the last adapter that has one.
std::string ownAddressText() {
    std::string own;
    for (const platform::Adapter& adapter : platform::AdapterTable())
        if (!adapter.addresses.empty())
            own = platform::Ipv4Text(adapter.addresses.front().address);
    return own;
}

} // namespace

KQ_TCP_BoxClient::KQ_TCP_BoxClient() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
        timerPeriod_ = std::min(std::max<UINT>(caps.wPeriodMin, 1), caps.wPeriodMax);
        timeBeginPeriod(timerPeriod_);
    }
}

KQ_TCP_BoxClient::~KQ_TCP_BoxClient() {
    Disconnect(0);
    if (timerPeriod_)
        timeEndPeriod(timerPeriod_);
    WSACleanup();
}

void KQ_TCP_BoxClient::SetStreamReceiver(std::unique_ptr<StreamReceiverControl> receiver) {
    std::lock_guard lock(connectionMutex_);
    if (receiverStarted_)
        receiver_->Stop();
    receiverStarted_ = false;
    receiver_ = std::move(receiver);
}

void KQ_TCP_BoxClient::SetRelayPath(std::unique_ptr<RelayPath> relay) {
    std::lock_guard lock(connectionMutex_);
    relay_ = std::move(relay);
}

bool KQ_TCP_BoxClient::Login(HWND window, const std::wstring& target, const std::wstring& user,
                             const std::wstring& password, int source, int frequency, int country,
                             int tvSystem, int loginType, int confirmation) {
    std::lock_guard lock(connectionMutex_);
    teardown();
    link_.ResetForLogin();
    const std::string own = ownAddressText();
    setAddresses(own.empty() ? std::vector<std::string>{} : std::vector<std::string>{own});
    if (own.empty()) {
        link_.loginState = 1;
        PostToWindow(window, WM_BOX_LOGIN_FAILED, 1);
        return false;
    }
    if (!connectToBox(target, loginType)) {
        PostToWindow(window, WM_BOX_LOGIN_FAILED, link_.loginState);
        return false;
    }
    postStatus(L"Device is connected", BOX_STATUS_TEXT_CONTROL);
    PostToWindow(link_.mainWindow, WM_BOX_CONNECT_PROGRESS, 5, 5);
    Sleep(10);
    if (!RequestLogin(window, user, password, source, frequency, country, tvSystem, loginType,
                      confirmation)) {
        link_.loginState = 8;
        PostToWindow(window, WM_BOX_LOGIN_FAILED, 8);
        return false;
    }
    return true;
}

bool KQ_TCP_BoxClient::RequestLogin(HWND window, const std::wstring& user, const std::wstring& password,
                                    int source, int frequency, int country, int tvSystem, int /*loginType*/,
                                    int confirmation) {
    return channel_.SendLogin(window, user, password, static_cast<DWORD>(source),
                              static_cast<DWORD>(frequency), static_cast<BYTE>(country),
                              static_cast<BYTE>(tvSystem), static_cast<BYTE>(confirmation));
}

bool KQ_TCP_BoxClient::StartStream() {
    std::lock_guard lock(connectionMutex_);
    // A loss while the login ran went to a window that was not live yet: the live one hears of the next.
    link_.linkLost = false;
    if (!receiver_)
        return true;
    if (link_.mode == BOX_MODE_LAN) {
        const std::vector<std::string> addresses = AddressList();
        if (!addresses.empty()) {
            receiver_->StartLan(addresses.front());
            receiverStarted_ = true;
        }
    } else if (link_.mode == BOX_MODE_RELAY && streamSocket_ != INVALID_SOCKET) {
        receiver_->StartRelay(streamSocket_);
        streamSocket_ = INVALID_SOCKET; // the receiver's now
        receiverStarted_ = true;
    }
    return true;
}

bool KQ_TCP_BoxClient::Disconnect(DWORD logoutValue) {
    std::lock_guard lock(connectionMutex_);
    // Said three times: the box may miss one, and nothing answers a logout. A box that does not take them
    // within a short time is not waited for.
    const platform::Duration until = platform::DeadlineAfter(kLogoutsMs);
    for (DWORD pauseMs : {20, 20, 10}) {
        channel_.SendLogout(logoutValue, until);
        Sleep(pauseMs);
    }
    teardown();
    return true;
}

bool KQ_TCP_BoxClient::CloseControlSocket() {
    std::lock_guard lock(connectionMutex_);
    channel_.Close();
    closeRelay();
    link_.mode = BOX_MODE_NONE;
    return true;
}

void KQ_TCP_BoxClient::closeRelay() {
    if (link_.mode != BOX_MODE_RELAY)
        return;
    if (streamSocket_ != INVALID_SOCKET) {
        closesocket(streamSocket_);
        streamSocket_ = INVALID_SOCKET;
    }
    if (relay_) {
        relay_->ResetRendezvousState();
        relay_->UnmapRendezvousPorts();
    }
}

void KQ_TCP_BoxClient::teardown() {
    channel_.Shutdown(); // a keep-alive of the stream threads that is still on the socket ends at once
    if (receiverStarted_)
        receiver_->Stop();
    receiverStarted_ = false;
    closeRelay();
    channel_.Close();
    for (SOCKET* s : {&controlSocket_, &streamSocket_}) {
        if (*s != INVALID_SOCKET)
            closesocket(*s);
        *s = INVALID_SOCKET;
    }
    link_.mode = BOX_MODE_NONE;
}

void KQ_TCP_BoxClient::startControlThreads() {
    channel_.Adopt(controlSocket_);
    controlSocket_ = INVALID_SOCKET;
    channel_.StartThreads();
}

void KQ_TCP_BoxClient::postStatus(const wchar_t* text, LPARAM target) {
    auto owned = std::make_shared<std::wstring>(text);
    const WPARAM data = reinterpret_cast<WPARAM>(owned->c_str());
    PostToWindow(link_.mainWindow, WM_BOX_STATUS_TEXT, data, target, std::move(owned));
}

void KQ_TCP_BoxClient::setAddresses(std::vector<std::string> addresses) {
    std::lock_guard lock(addressMutex_);
    addresses_ = std::move(addresses);
}

std::vector<std::string> KQ_TCP_BoxClient::AddressList() const {
    std::lock_guard lock(addressMutex_);
    return addresses_;
}

std::string KQ_TCP_BoxClient::OwnAddress() const {
    std::lock_guard lock(addressMutex_);
    return ownAddress_;
}

void KQ_TCP_BoxClient::SetDownloadFolder(const std::wstring& folder) {
    std::lock_guard lock(folderMutex_);
    downloadFolder_ = folder;
}

std::wstring KQ_TCP_BoxClient::DownloadFolder() const {
    std::lock_guard lock(folderMutex_);
    return downloadFolder_;
}

bool KQ_TCP_BoxClient::AddUser(HWND window, const std::wstring& name, const std::wstring& password) {
    return channel_.SendAddUser(window, name, password);
}

bool KQ_TCP_BoxClient::DeleteUser(HWND window, const std::wstring& name) {
    return channel_.SendDeleteUser(window, name);
}

bool KQ_TCP_BoxClient::ChangePassword(HWND window, const std::wstring& first, const std::wstring& second,
                                      const std::wstring& third) {
    return channel_.SendChangePassword(window, first, second, third);
}

bool KQ_TCP_BoxClient::BeginIrLearning(HWND window, const std::wstring& profile) {
    return channel_.SendBeginIrLearning(window, profile);
}

bool KQ_TCP_BoxClient::EndIrLearning(HWND window, const std::wstring& profile) {
    return channel_.SendEndIrLearning(window, profile);
}

bool KQ_TCP_BoxClient::LearnIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return channel_.SendLearnIrKey(window, key, profile);
}

bool KQ_TCP_BoxClient::SendIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return channel_.SendIrKey(window, key, profile);
}

bool KQ_TCP_BoxClient::StartFileTransfer(HWND window, const BoxFileItem& item) {
    return channel_.SendStartFileTransfer(window, item);
}
