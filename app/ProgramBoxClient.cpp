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

bool ProgramBoxClient::SendGetBoxInfo(HWND window) {
    return client_.Channel().SendGetBoxInfo(window);
}

bool ProgramBoxClient::SendAddBoxTask(const BoxTaskRecord& task, HWND window) {
    return client_.Channel().SendAddBoxTask(task, window);
}

bool ProgramBoxClient::SendUpdateBoxTask(const BoxTaskRecord& task, HWND window) {
    return client_.Channel().SendUpdateBoxTask(task, window);
}

bool ProgramBoxClient::SendDeleteBoxTask(DWORD id, HWND window) {
    return client_.Channel().SendDeleteBoxTask(id, window);
}

bool ProgramBoxClient::SendSetBoxTime(const std::wstring& text, HWND window) {
    return client_.Channel().SendSetBoxTime(text, window);
}

bool ProgramBoxClient::SendSetTimeZone(const std::wstring& token, HWND window, DWORD zoneIndex) {
    return client_.Channel().SendSetTimeZone(token, window, zoneIndex);
}

bool ProgramBoxClient::SendGetIrData(HWND window) {
    return client_.Channel().SendGetIrData(window);
}

bool ProgramBoxClient::SendPutIrData(DWORD length, const BYTE* data, HWND window) {
    return client_.Channel().SendPutIrData(length, data, window);
}

bool ProgramBoxClient::BeginIrLearning(HWND window, const std::wstring& profile) {
    return client_.BeginIrLearning(window, profile);
}

bool ProgramBoxClient::EndIrLearning(HWND window, const std::wstring& profile) {
    return client_.EndIrLearning(window, profile);
}

bool ProgramBoxClient::LearnIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return client_.LearnIrKey(window, key, profile);
}

bool ProgramBoxClient::SendSetVideoQuality(int quality, DWORD second, HWND window, DWORD rate,
                                           int sizeChange) {
    return client_.Channel().SendSetVideoQuality(quality, second, window, rate, sizeChange);
}

bool ProgramBoxClient::SendStartScan(HWND window, int range, BYTE country, bool air, DWORD low, DWORD high) {
    return client_.Channel().SendStartScan(window, range, country, air, low, high);
}

bool ProgramBoxClient::SendStopScan(DWORD value) {
    return client_.Channel().SendStopScan(value);
}

bool ProgramBoxClient::SendGetChannelTable(HWND window) {
    return client_.Channel().SendGetChannelTable(window);
}

bool ProgramBoxClient::SendSetCountry(HWND window, DWORD country) {
    return client_.Channel().SendSetCountry(window, country);
}

bool ProgramBoxClient::ChangePassword(HWND window, const std::wstring& user, const std::wstring& oldPassword,
                                      const std::wstring& newPassword) {
    return client_.ChangePassword(window, user, oldPassword, newPassword);
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

void ProgramBoxClient::SetCurrentSizeClass(int sizeClass) {
    client_.SetCurrentSizeClass(sizeClass);
}

void ProgramBoxClient::RaiseRestartedGeneration() {
    client_.RaiseRestartedGeneration();
}
