// The program's player behind the windows' interface: KQ_AV_Player with the whole live pipeline and file
// playback. It gives every live start the volume of the configuration and the aspect last chosen, and hands
// the box link the player itself (flushes, size class, standard, restart, the live sink).
#pragma once

#include "app/PlayerPort.h"
#include "media/Player.h"

class KQ_AppConfig;

class ProgramPlayer : public PlayerPort {
public:
    // The configuration is borrowed (its volume is read at each start) and outlives this.
    explicit ProgramPlayer(const KQ_AppConfig& config);

    void SetMainWindow(HWND window) override;
    void SetVideoWindow(HWND window) override;
    void SetNotifyWindow(HWND window) override;
    void SetSizeClass(int sizeClass) override;
    void SetStandard(int standard) override;
    int Mode() const override;

    HRESULT StartLive() override;
    HRESULT RestartLive() override;
    HRESULT Stop(int releaseGraph) override;
    HRESULT PlayFile(const std::wstring& path) override;
    HRESULT Play() override;
    HRESULT Pause() override;
    HRESULT StopPlayback() override;
    HRESULT Seek(int thousandths) override;
    HRESULT GetPosition(int& thousandths) override;
    HRESULT FastForward() override;
    HRESULT Rewind() override;
    HRESULT SetVolume(int mute, int volume) override;
    HRESULT SetAspect(int mode) override;
    HRESULT RefreshVideo() override;
    HRESULT SetRecord(int on, const std::wstring& path) override;
    HRESULT Snapshot(const std::wstring& path) override;
    HRESULT ShowInfoText(const std::wstring& text, bool sticky) override;
    HRESULT ReplaceInfoText(const std::wstring& text) override;
    bool HandleGraphEvents() override;
    PlayerControl* Control() override;

    KQ_AV_Player& Player() { return player_; }

private:
    const KQ_AppConfig& config_;
    KQ_AV_Player player_;
};
