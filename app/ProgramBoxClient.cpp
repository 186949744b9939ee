#include "app/ProgramBoxClient.h"

#include "boxlink/StreamReceiver.h"
#include "boxlink/relay/ServerRelayPath.h"

ProgramBoxClient::ProgramBoxClient(KQ_AppConfig& config) {
    auto receiver = std::make_unique<KQ_TCP_StreamReceiver>(client_);
    receiver_ = receiver.get();
    client_.SetStreamReceiver(std::move(receiver));
    client_.SetRelayPath(std::make_unique<ServerRelayPath>(client_.Link(), &config));
}

ProgramBoxClient::~ProgramBoxClient() = default;

void ProgramBoxClient::SetMainWindow(HWND window) {
    client_.SetMainWindow(window);
}

void ProgramBoxClient::SetPlayer(PlayerControl* player) {
    client_.SetPlayer(player);
}

bool ProgramBoxClient::Login(HWND window, const std::wstring& address, const std::wstring& user,
                             const std::wstring& password, const LoginParams& p) {
    return client_.Login(window, address, user, password, p.sourceCode, p.frequency, p.countryCode,
                         p.tvSystem, p.loginType, p.confirm);
}

bool ProgramBoxClient::RequestLogin(HWND window, const std::wstring& user, const std::wstring& password,
                                    const LoginParams& p) {
    return client_.RequestLogin(window, user, password, p.sourceCode, p.frequency, p.countryCode, p.tvSystem,
                                p.loginType, p.confirm);
}

bool ProgramBoxClient::StartStream() {
    return client_.StartStream();
}

bool ProgramBoxClient::Disconnect(DWORD value) {
    return client_.Disconnect(value);
}

bool ProgramBoxClient::CloseControlSocket() {
    return client_.CloseControlSocket();
}

bool ProgramBoxClient::SendSetSource(HWND window, DWORD sourceLetter) {
    return client_.Channel().SendSetSource(window, sourceLetter);
}

bool ProgramBoxClient::SendSetChannel(HWND window, DWORD frequency) {
    return client_.Channel().SendSetChannel(window, frequency);
}

bool ProgramBoxClient::SendSetPicture(HWND window, BYTE brightness, BYTE contrast, BYTE hue,
                                      BYTE saturation) {
    return client_.Channel().SendSetPicture(window, brightness, contrast, hue, saturation);
}

bool ProgramBoxClient::SendIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return client_.SendIrKey(window, key, profile);
}

int ProgramBoxClient::VideoStandard() const {
    return client_.Link().videoStandard;
}

int ProgramBoxClient::CurrentSizeClass() const {
    return client_.Link().currentSizeClass;
}

int ProgramBoxClient::BitRateKbps() const {
    return receiver_ ? static_cast<int>(receiver_->BitRate()) : 0;
}

void ProgramBoxClient::RaiseRestartedGeneration() {
    client_.RaiseRestartedGeneration();
}
