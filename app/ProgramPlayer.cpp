#include "app/ProgramPlayer.h"

#include "config/AppConfig.h"

#include <algorithm>

namespace {

// The player's aspect setting for a layout: above 1 is 16:9.
constexpr int kAspectSettingWide = 2;

} // namespace

ProgramPlayer::ProgramPlayer(const KQ_AppConfig& config) : config_(config) {}

void ProgramPlayer::SetMainWindow(HWND window) {
    player_.SetMainWindow(window);
}

void ProgramPlayer::SetVideoWindow(HWND window) {
    player_.SetVideoWindow(window);
}

void ProgramPlayer::SetNotifyWindow(HWND window) {
    player_.SetNotifyWindow(window);
}

void ProgramPlayer::SetSizeClass(int sizeClass) {
    player_.SetSizeClass(sizeClass);
}

void ProgramPlayer::SetStandard(int standard) {
    player_.SetVideoStandard(standard);
}

int ProgramPlayer::Mode() const {
    return player_.Mode();
}

HRESULT ProgramPlayer::StartLive() {
    player_.SetConfiguredVolume(std::clamp(config_.m_volume, 0, KQ_AV_Player::kMaxVolume));
    return player_.StartLive();
}

HRESULT ProgramPlayer::RestartLive() {
    player_.SetConfiguredVolume(std::clamp(config_.m_volume, 0, KQ_AV_Player::kMaxVolume));
    return player_.RestartLive();
}

HRESULT ProgramPlayer::Stop(int releaseGraph) {
    return player_.Stop(releaseGraph);
}

HRESULT ProgramPlayer::PlayFile(const std::wstring& path) {
    player_.SetConfiguredVolume(std::clamp(config_.m_volume, 0, KQ_AV_Player::kMaxVolume));
    return player_.PlayFile(path);
}

HRESULT ProgramPlayer::Play() {
    return player_.Play();
}

HRESULT ProgramPlayer::Pause() {
    return player_.Pause();
}

HRESULT ProgramPlayer::StopPlayback() {
    return player_.StopPlayback();
}

HRESULT ProgramPlayer::Seek(int thousandths) {
    return player_.Seek(thousandths);
}

HRESULT ProgramPlayer::GetPosition(int& thousandths) {
    return player_.GetPosition(&thousandths);
}

HRESULT ProgramPlayer::FastForward() {
    return player_.FastForward();
}

HRESULT ProgramPlayer::Rewind() {
    return player_.Rewind();
}

HRESULT ProgramPlayer::SetVolume(int mute, int volume) {
    return player_.SetVolume(mute, volume);
}

// The layout chosen stays for the later starts of live view (a source change restarts it).
HRESULT ProgramPlayer::SetAspect(int mode) {
    player_.SetAspectSetting(mode == 1 ? kAspectSettingWide : 0);
    return player_.SetAspect(mode);
}

HRESULT ProgramPlayer::RefreshVideo() {
    return player_.RefreshVideo();
}

HRESULT ProgramPlayer::SetRecord(int on, const std::wstring& path) {
    return player_.SetRecord(on, path);
}

HRESULT ProgramPlayer::Snapshot(const std::wstring& path) {
    return player_.Snapshot(path);
}

HRESULT ProgramPlayer::ShowInfoText(const std::wstring& text, bool sticky) {
    return player_.ShowInfoText(text, sticky ? 1 : 0);
}

HRESULT ProgramPlayer::ReplaceInfoText(const std::wstring& text) {
    return player_.ReplaceInfoText(text);
}

bool ProgramPlayer::HandleGraphEvents() {
    bool stopped = false;
    return SUCCEEDED(player_.HandleGraphEvents(stopped)) && stopped;
}

PlayerControl* ProgramPlayer::Control() {
    return &player_;
}
