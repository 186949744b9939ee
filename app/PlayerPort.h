// What the windows use of the player: live view, file playback, volume, aspect, recording, snapshots and
// the on-screen texts. Results are HRESULTs (0 success, E_FAIL when the call does not fit the player's
// mode or state, the player's own failure codes otherwise). UI thread only. The application gives the
// windows the program's player behind this interface; tests give them a fake.
#pragma once

#include "media/PlayerControl.h"
#include "media/PlayerModes.h"
#include "platform/win32/Types.h"

#include <string>

class PlayerPort {
public:
    virtual ~PlayerPort() = default;

    // The main window (set by the application while it exists): receives the player's messages.
    virtual void SetMainWindow(HWND window) = 0;
    // Written by the windows before live view or playback starts.
    virtual void SetVideoWindow(HWND window) = 0;
    virtual void SetNotifyWindow(HWND window) = 0;
    virtual void SetSizeClass(int sizeClass) = 0;
    virtual void SetStandard(int standard) = 0;
    virtual int Mode() const = 0;

    virtual HRESULT StartLive() = 0;
    virtual HRESULT RestartLive() = 0;
    virtual HRESULT Stop(int releaseGraph) = 0;
    virtual HRESULT PlayFile(const std::wstring& path) = 0;
    virtual HRESULT Play() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT StopPlayback() = 0;
    virtual HRESULT Seek(int thousandths) = 0;
    virtual HRESULT GetPosition(int& thousandths) = 0;
    virtual HRESULT FastForward() = 0;
    virtual HRESULT Rewind() = 0;
    virtual HRESULT SetVolume(int mute, int volume) = 0;
    virtual HRESULT SetAspect(int mode) = 0; // 0 for 4:3, 1 for 16:9
    virtual HRESULT RefreshVideo() = 0;
    virtual HRESULT SetRecord(int on, const std::wstring& path) = 0;
    virtual HRESULT Snapshot(const std::wstring& path) = 0;
    virtual HRESULT ShowInfoText(const std::wstring& text, bool sticky) = 0;
    virtual HRESULT ReplaceInfoText(const std::wstring& text) = 0;
    // WM_AV_GRAPH_EVENT: the graph's events; true when the graph has stopped (end of file).
    virtual bool HandleGraphEvents() = 0;

    // What the box link drives directly (flushes, size class, standard, restart, the live sink); null when
    // the player has no live pipeline behind it.
    virtual PlayerControl* Control() { return nullptr; }
};
