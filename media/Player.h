// KQ_AV_Player: the one object through which the windows and the control dispatcher drive all media: live
// view of the box, playback of a local MP4 file with pause, seek, fast forward and rewind, volume and mute,
// the 4:3 or 16:9 layout, recording, snapshots, the on-screen display and the flushes of the live input
// rings. It owns the graph holder and either a live context or a file graph, never both, and keeps a mode
// and a state that the windows read to set up their buttons. Results are HRESULTs: 0 on success, E_FAIL
// for an operation that does not fit the mode or state, else the codes below and of media/AvGraph.h.
//
// Threads: the user-interface thread calls everything; the control dispatcher thread calls the flushes,
// the size class, the standard and RestartLive (PlayerControl); the stream receiver's parser thread asks
// for the live sink. One player lock serialises every operation that changes the graph, the live context,
// the mode or the state, so a restart from the dispatcher never meets a start or stop of the user
// interface; the flushes and the live sink only take the short lock of the live-context pointer.
//
// Windows: the main window (set by the application) receives the player's and its threads' messages
// (media/PlayerMessages.h); the video window is where the renderer draws; the notify window receives the
// file graph's events; the owner window the login pane sets is only kept.
#pragma once

#include "media/Osd.h"
#include "media/PlayerControl.h"
#include "media/PlayerModes.h"
#include "platform/desktop/ScreenSaver.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class KQ_AV_Graph;
class KQ_AV_LiveContext;
struct FileGraphRecord;

// The player's own result codes beside those of the graph holder (media/AvGraph.h).
constexpr HRESULT KQ_AV_E_NO_GRAPH_MANAGER = static_cast<HRESULT>(0x80040228u);
constexpr HRESULT KQ_AV_E_FILE_GRAPH = static_cast<HRESULT>(0x80040229u);
constexpr HRESULT KQ_AV_E_OUT_OF_MEMORY = static_cast<HRESULT>(0x8004022Au);

enum PlayerState : int {
    PLAYER_STATE_NONE = 0,
    PLAYER_STATE_STOPPED = 1,
    PLAYER_STATE_PAUSED = 2,
    PLAYER_STATE_PLAYING = 3,
    PLAYER_STATE_FAST_FORWARD = 4,
    PLAYER_STATE_REWIND = 5,
    PLAYER_STATE_RECORDING = 6,
};

// The player's state. While it is one in which the picture moves (playing, fast forward, rewind,
// recording), in live view as in file playback, the screen saver and the display's power saving are held
// off; any other state releases them. Written under the player lock; read from any thread.
class PlayerStateField {
public:
    explicit PlayerStateField(std::unique_ptr<platform::ScreenSaverInhibitor> screenSaver)
        : screenSaver_(std::move(screenSaver)) {}
    PlayerStateField& operator=(int state);
    operator int() const { return state_; }

private:
    std::atomic<int> state_{PLAYER_STATE_NONE};
    std::unique_ptr<platform::ScreenSaverInhibitor> screenSaver_;
};

class KQ_AV_Player final : public PlayerControl {
public:
    static constexpr int kMaxVolume = 1000;
    static constexpr COLORREF kRed = 0x0000FF;
    static constexpr COLORREF kYellow = 0x00FFFF;
    static constexpr COLORREF kGreen = 0x00FF00;

    // The audio renderer's level in hundredths of a decibel for a volume of 0..1000.
    static constexpr LONG AudioLevel(int volume) { return 3 * volume - 3000; }

    KQ_AV_Player();
    ~KQ_AV_Player(); // stops everything and releases the graph
    KQ_AV_Player(const KQ_AV_Player&) = delete;
    KQ_AV_Player& operator=(const KQ_AV_Player&) = delete;

    // Set by the application and the windows before a start.
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    void SetVideoWindow(HWND window) { videoWindow_ = window; }
    void SetNotifyWindow(HWND window) { notifyWindow_ = window; }
    void SetOwnerWindow(HWND window) { ownerWindow_ = window; }
    HWND OwnerWindow() const { return ownerWindow_; }
    void SetSizeClass(int sizeClass) override { sizeClass_ = sizeClass; }
    void SetVideoStandard(int standard) override { standard_ = standard; }
    // The configured aspect setting (above 1: 16:9) and volume that every start applies.
    void SetAspectSetting(int setting) { aspectSetting_ = setting; }
    void SetConfiguredVolume(int volume) { configuredVolume_ = volume; }

    int Mode() const { return mode_; }
    int State() const { return state_; }
    int Volume() const { return volume_; }
    int AspectMode() const { return aspectMode_; }
    double Position() const { return position_; }
    // The graph holder, for the main window's handling of WM_AV_GRAPH_EVENT; null without one.
    KQ_AV_Graph* Graph() const { return graph_.get(); }
    // The main window's WM_AV_GRAPH_EVENT: drains the graph's events under the player lock (a restart
    // from the control dispatcher may replace the graph meanwhile); stopped tells whether the holder's
    // state is then 1. E_FAIL without a mode or a graph holder.
    HRESULT HandleGraphEvents(bool& stopped);

    // Stops a recording, the on-screen display and whatever plays; with releaseGraph the graph manager goes
    // too (mode 0), else it is kept for the next start (mode 1).
    HRESULT Stop(int releaseGraph);
    HRESULT StartLive();
    // A new size class or standard, a source change or a stalled video: while recording the live context is
    // restarted in place so the recording goes on, otherwise live view is stopped and started again.
    HRESULT RestartLive() override;

    HRESULT PlayFile(const std::wstring& path);
    // What PlayFile assembles the file graph with: BuildFileGraph unless replaced (tests put in a graph of
    // their own); called under the player lock with the graph manager in the record.
    using FileGraphBuilder = std::function<HRESULT(FileGraphRecord* record, const std::wstring& path,
                                                   HWND videoWindow, HWND notifyWindow)>;
    void SetFileGraphBuilder(FileGraphBuilder builder) { fileGraphBuilder_ = std::move(builder); }
    HRESULT Play();
    HRESULT Pause();
    HRESULT StopPlayback();
    // Positions in thousandths of the duration.
    HRESULT Seek(int position);
    // 0..1000; 0 for a duration of 0. Returns the duration query's result (the position is then the
    // current seconds over a duration of 1 s, bounded to 1000).
    HRESULT GetPosition(int* position);
    HRESULT FastForward();
    HRESULT Rewind();

    // volume 0..1000; the audio level is 3 x volume - 3000 hundredths of a decibel.
    HRESULT SetVolume(int mute, int volume);
    HRESULT SetAspect(int aspectMode);
    HRESULT RefreshVideo();
    HRESULT SetRecord(int on, const std::wstring& path);
    HRESULT Snapshot(const std::wstring& path);

    void FlushAudio() override;
    void FlushVideo() override;
    std::shared_ptr<LiveUnitSink> LiveSink() override;

    HRESULT ShowInfoText(const std::wstring& text, int sticky);
    HRESULT ReplaceInfoText(const std::wstring& text);
    HRESULT ShowOsd(const std::wstring& text, int position, int duration, COLORREF colour, int blink);
    HRESULT ShowVolumeBar(int count);
    // The display's items, for the windows and tests; null before the first ShowOsd.
    KQ_AV_OSD* Osd() const { return osd_.get(); }

private:
    HRESULT stopLocked(bool releaseGraph);
    HRESULT startLiveLocked();
    // Stops what plays (the graph stays), then the graph holder and manager for a start: kept from the last
    // one, or new.
    HRESULT prepareStart();
    void releaseGraph();
    std::shared_ptr<KQ_AV_LiveContext> live() const;
    void setLive(std::shared_ptr<KQ_AV_LiveContext> live);
    void tearDownFile();
    HRESULT applyStartSettings();
    HRESULT showSpeed(int& presses, int& other, const wchar_t* slow, const wchar_t* fast, int state);
    HRESULT setVolumeLocked(int mute, int volume);
    HRESULT setAspectLocked(int aspectMode);

    static DWORD OsdThreadProc(LPVOID self);
    void OsdLoop();
    // Ends the OSD thread: hides the overlay, waits for the thread's end and joins it.
    void endOsdThread();
    void joinOsdThread();

    std::recursive_mutex lock_;

    std::unique_ptr<FileGraphRecord> fileGraph_;
    FileGraphBuilder fileGraphBuilder_;
    mutable std::mutex liveMutex_; // the live-context pointer
    std::shared_ptr<KQ_AV_LiveContext> live_;
    std::unique_ptr<KQ_AV_Graph> graph_;

    std::atomic<HWND> mainWindow_{nullptr};
    std::atomic<HWND> videoWindow_{nullptr};
    std::atomic<HWND> notifyWindow_{nullptr};
    std::atomic<HWND> ownerWindow_{nullptr};
    std::atomic<int> sizeClass_{4};
    std::atomic<int> standard_{1};
    std::atomic<int> aspectSetting_{0};
    std::atomic<int> configuredVolume_{500};
    std::atomic<int> volume_{500};
    std::wstring currentFile_;
    std::atomic<double> position_{0.0};
    std::atomic<int> mode_{PLAYER_MODE_NONE};
    PlayerStateField state_;
    int fastForwardPresses_ = 0;
    int rewindPresses_ = 0;
    double step_ = 4.0;
    std::atomic<int> aspectMode_{0};

    std::unique_ptr<KQ_AV_OSD> osd_;
    HANDLE osdThread_ = nullptr;
    HANDLE osdEnd_ = nullptr; // signalled by the OSD thread at its end; one per thread
};
