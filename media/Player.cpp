// The player facade: stop, live view (start, restart, recording, flushes, the live sink), volume, layout and
// snapshot.
#include "media/Player.h"

#include "media/AvGraph.h"
#include "media/FileGraph.h"
#include "media/GraphHelpers.h"
#include "media/LiveContext.h"
#include "media/PlayerMessages.h"
#include "media/SourceFilter.h"

#include "platform/win32/Messages.h"

#include <new>

namespace {

constexpr int kRecordBlinkMs = 500;

} // namespace

PlayerStateField& PlayerStateField::operator=(int state) {
    state_ = state;
    if (state >= PLAYER_STATE_PLAYING && state <= PLAYER_STATE_RECORDING)
        screenSaver_->Hold();
    else
        screenSaver_->Release();
    return *this;
}

KQ_AV_Player::KQ_AV_Player() : state_(platform::MakeScreenSaverInhibitor("Veloq", "Playing video")) {}

KQ_AV_Player::~KQ_AV_Player() {
    std::lock_guard lock(lock_);
    stopLocked(true);
    endOsdThread();
}

std::shared_ptr<KQ_AV_LiveContext> KQ_AV_Player::live() const {
    std::lock_guard lock(liveMutex_);
    return live_;
}

void KQ_AV_Player::setLive(std::shared_ptr<KQ_AV_LiveContext> live) {
    std::lock_guard lock(liveMutex_);
    live_ = std::move(live);
}

std::shared_ptr<LiveUnitSink> KQ_AV_Player::LiveSink() {
    if (mode_ != PLAYER_MODE_LIVE)
        return nullptr;
    return live();
}

void KQ_AV_Player::FlushAudio() {
    if (const auto context = live(); context && mode_ == PLAYER_MODE_LIVE)
        context->FlushAudio();
}

void KQ_AV_Player::FlushVideo() {
    if (const auto context = live(); context && mode_ == PLAYER_MODE_LIVE)
        context->FlushVideo();
}

HRESULT KQ_AV_Player::prepareStart() {
    if (mode_ != PLAYER_MODE_NONE) {
        const HRESULT hr = stopLocked(false);
        if (FAILED(hr))
            return hr;
    }
    if (graph_)
        return S_OK;
    auto graph = std::make_unique<KQ_AV_Graph>();
    if (FAILED(graph->CreateGraph()))
        return KQ_AV_E_NO_GRAPH_MANAGER;
    graph_ = std::move(graph);
    return S_OK;
}

void KQ_AV_Player::releaseGraph() {
    if (osd_)
        osd_->SetGraph(nullptr); // the display forgets the graph before it goes
    graph_.reset();
}

HRESULT KQ_AV_Player::Stop(int releaseGraph) {
    std::lock_guard lock(lock_);
    return stopLocked(releaseGraph != 0);
}

HRESULT KQ_AV_Player::stopLocked(bool release) {
    if (mode_ == PLAYER_MODE_NONE)
        return S_OK;
    const std::shared_ptr<KQ_AV_LiveContext> context = live();
    if (context && context->Recording()) {
        if (FAILED(context->StopRecord()))
            return E_FAIL;
        if (osd_)
            osd_->HideOverlay();
        if (state_ == PLAYER_STATE_RECORDING)
            state_ = PLAYER_STATE_PLAYING;
    }
    endOsdThread();
    if (mode_ == PLAYER_MODE_FILE) {
        mode_ = PLAYER_MODE_NONE;
        if (state_ >= PLAYER_STATE_PAUSED && state_ <= PLAYER_STATE_REWIND)
            graph_->Stop();
        tearDownFile();
    } else if (mode_ == PLAYER_MODE_LIVE) {
        mode_ = PLAYER_MODE_NONE;
        setLive(nullptr); // the receiver pushes no more; a push in progress ends before Destroy returns
        if (context) {
            // The audio fill must not run the graph again between its stop and the threads' stop.
            context->HoldGraph();
            graph_->Stop();
            context->Destroy();
        }
    }
    if (release) {
        releaseGraph();
        mode_ = PLAYER_MODE_NONE;
    } else {
        mode_ = PLAYER_MODE_STOPPED;
    }
    state_ = PLAYER_STATE_NONE;
    return S_OK;
}

HRESULT KQ_AV_Player::StartLive() {
    std::lock_guard lock(lock_);
    return startLiveLocked();
}

HRESULT KQ_AV_Player::startLiveLocked() {
    HRESULT hr = prepareStart();
    if (FAILED(hr))
        return hr;
    std::shared_ptr<KQ_AV_LiveContext> context;
    try {
        context = std::make_shared<KQ_AV_LiveContext>(graph_->GetGraph(), graph_.get(), mainWindow_.load());
    } catch (const std::bad_alloc&) {
        releaseGraph();
        return KQ_AV_E_OUT_OF_MEMORY;
    }
    hr = context->AllocateInputRings(KQ_AV_LiveContext::kVideoRingSize, KQ_AV_LiveContext::kAudioRingSize);
    if (FAILED(hr))
        hr = KQ_AV_E_OUT_OF_MEMORY;
    if (SUCCEEDED(hr)) {
        context->SetPictureSize(sizeClass_, standard_); // a refused size class keeps the previous size
        hr = context->Start(videoWindow_);
    }
    if (FAILED(hr)) {
        context->Destroy();
        releaseGraph();
        mode_ = PLAYER_MODE_NONE;
        state_ = PLAYER_STATE_NONE;
        return hr;
    }
    setLive(context);
    mode_ = PLAYER_MODE_LIVE;
    state_ = PLAYER_STATE_PLAYING;
    applyStartSettings();
    PostMessage(mainWindow_, WM_AV_GRAPH_EVENT, 0, 0);
    return S_OK;
}

HRESULT KQ_AV_Player::applyStartSettings() {
    setAspectLocked(aspectSetting_ > 1 ? 1 : 0);
    volume_ = configuredVolume_.load();
    return setVolumeLocked(0, volume_);
}

HRESULT KQ_AV_Player::RestartLive() {
    std::lock_guard lock(lock_);
    const std::shared_ptr<KQ_AV_LiveContext> context = live();
    if (!context)
        return E_FAIL;
    if (state_ == PLAYER_STATE_RECORDING) {
        if (osd_)
            osd_->RemoveAll();
        if (!graph_)
            return E_FAIL;
        context->HoldGraph();
        HRESULT hr = graph_->Stop();
        if (FAILED(hr)) {
            context->ReleaseGraph();
            return hr;
        }
        context->SetPictureSize(sizeClass_, standard_);
        hr = context->Restart();
        if (FAILED(hr))
            return hr; // no threads to run the graph for: it stays held
        graph_->Run();
        graph_->SetVolume(AudioLevel(volume_));
        setAspectLocked(aspectSetting_ > 1 ? 1 : 0);
        context->ReleaseGraph();
        return ShowOsd(L"Record", OSD_TOP_LEFT, kRecordBlinkMs, kRed, kRecordBlinkMs);
    }
    if (state_ == PLAYER_STATE_PLAYING) {
        const HRESULT hr = stopLocked(true);
        return FAILED(hr) ? hr : startLiveLocked();
    }
    return E_FAIL;
}

HRESULT KQ_AV_Player::SetRecord(int on, const std::wstring& path) {
    std::lock_guard lock(lock_);
    const std::shared_ptr<KQ_AV_LiveContext> context = live();
    if (on == 1) {
        if (mode_ != PLAYER_MODE_LIVE || !context || context->Recording())
            return E_FAIL;
        const HRESULT hr = context->StartRecord(path);
        if (FAILED(hr))
            return hr;
        state_ = PLAYER_STATE_RECORDING;
        return ShowOsd(L"Record", OSD_TOP_LEFT, kRecordBlinkMs, kRed, kRecordBlinkMs);
    }
    if (on == 0 && context && context->Recording()) {
        const HRESULT hr = context->StopRecord();
        if (FAILED(hr))
            return hr;
        if (osd_)
            osd_->HideOverlay();
        if (state_ == PLAYER_STATE_RECORDING)
            state_ = PLAYER_STATE_PLAYING; // a paused picture stays paused
        return S_OK;
    }
    return E_FAIL;
}

HRESULT KQ_AV_Player::SetVolume(int mute, int volume) {
    std::lock_guard lock(lock_);
    return setVolumeLocked(mute, volume);
}

HRESULT KQ_AV_Player::setVolumeLocked(int mute, int volume) {
    if (mode_ == PLAYER_MODE_NONE || volume < 0 || volume > kMaxVolume || state_ == PLAYER_STATE_STOPPED ||
        !graph_)
        return E_FAIL;
    volume_ = volume;
    if (mute) {
        ShowOsd(L"Mute", OSD_LOWER_LEFT, 1, kRed, 0);
        return graph_->Mute();
    }
    if (state_ == PLAYER_STATE_PAUSED || state_ == PLAYER_STATE_FAST_FORWARD || state_ == PLAYER_STATE_REWIND)
        return ShowVolumeBar(volume / 50);
    const HRESULT hr = 3 * volume < 5 ? graph_->Mute() : graph_->SetVolume(AudioLevel(volume));
    ShowVolumeBar(volume / 50);
    return hr;
}

HRESULT KQ_AV_Player::SetAspect(int aspectMode) {
    std::lock_guard lock(lock_);
    return setAspectLocked(aspectMode);
}

HRESULT KQ_AV_Player::setAspectLocked(int aspectMode) {
    const HWND window = videoWindow_;
    if (!window || mode_ == PLAYER_MODE_NONE || state_ == PLAYER_STATE_PAUSED || !graph_)
        return E_FAIL;
    graph_->UpdateVideoPosition(aspectMode, window);
    aspectMode_ = aspectMode;
    return graph_->RepaintVideo(window);
}

HRESULT KQ_AV_Player::RefreshVideo() {
    std::lock_guard lock(lock_);
    if (mode_ == PLAYER_MODE_NONE || state_ == PLAYER_STATE_PAUSED)
        return E_FAIL;
    if (const auto context = live(); context && mode_ == PLAYER_MODE_LIVE && context->SourceFilter())
        context->SourceFilter()->ResetRunningTimes();
    return setAspectLocked(aspectMode_);
}

HRESULT KQ_AV_Player::HandleGraphEvents(bool& stopped) {
    std::lock_guard lock(lock_);
    stopped = false;
    if (mode_ == PLAYER_MODE_NONE || !graph_)
        return E_FAIL;
    graph_->HandleEvents();
    stopped = graph_->GetState() == KQ_AV_Graph::kStopped;
    return S_OK;
}

HRESULT KQ_AV_Player::Snapshot(const std::wstring& path) {
    std::lock_guard lock(lock_);
    if (!graph_ || !graph_->GetGraph())
        return KQ_AV_E_NO_GRAPH;
    return graph_->SaveSnapshot(path.c_str());
}
