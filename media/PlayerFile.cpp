// The player facade's file playback: open and run, play, pause, stop, seek, position, fast forward and
// rewind.
#include "media/Player.h"

#include "media/AvGraph.h"
#include "media/FileGraph.h"
#include "media/GraphHelpers.h"
#include "media/PlayerMessages.h"

#include "platform/win32/Messages.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr WPARAM kStartedHeight = 480;
constexpr LPARAM kStartedWidth = 720;
constexpr double kSlowStep = 4.0;
constexpr double kFastStep = 8.0;

} // namespace

void KQ_AV_Player::tearDownFile() {
    if (fileGraph_ && graph_)
        RemoveAllFilters(graph_->GetGraph());
    fileGraph_.reset();
}

HRESULT KQ_AV_Player::PlayFile(const std::wstring& path) {
    std::lock_guard lock(lock_);
    HRESULT hr = prepareStart();
    if (FAILED(hr))
        return hr;
    fileGraph_ = std::make_unique<FileGraphRecord>(FileGraphRecord{graph_->GetGraph()});
    const HRESULT built = fileGraphBuilder_
                              ? fileGraphBuilder_(fileGraph_.get(), path, videoWindow_, notifyWindow_)
                              : BuildFileGraph(fileGraph_.get(), path, videoWindow_, notifyWindow_);
    if (FAILED(built)) {
        tearDownFile();
        releaseGraph();
        mode_ = PLAYER_MODE_NONE;
        return KQ_AV_E_FILE_GRAPH;
    }
    currentFile_ = path;
    hr = graph_->Run();
    if (FAILED(hr)) {
        graph_->Stop();
        tearDownFile();
        releaseGraph();
        mode_ = PLAYER_MODE_NONE;
        state_ = PLAYER_STATE_NONE;
        return hr;
    }
    mode_ = PLAYER_MODE_FILE;
    state_ = PLAYER_STATE_PLAYING;
    ConfigureVmrWindowless(graph_->GetGraph(), videoWindow_);
    applyStartSettings();
    PostMessage(mainWindow_, WM_AV_PLAYBACK_STARTED, kStartedHeight, kStartedWidth);
    return S_OK;
}

HRESULT KQ_AV_Player::Play() {
    std::lock_guard lock(lock_);
    if (mode_ != PLAYER_MODE_FILE)
        return E_FAIL;
    switch (state_) {
    case PLAYER_STATE_PAUSED: {
        const HRESULT hr = graph_->Run();
        if (SUCCEEDED(hr))
            state_ = PLAYER_STATE_PLAYING;
        return hr;
    }
    case PLAYER_STATE_NONE:
    case PLAYER_STATE_STOPPED: {
        const HRESULT hr = graph_->Run();
        if (SUCCEEDED(hr)) {
            graph_->SetVolume(AudioLevel(volume_));
            state_ = PLAYER_STATE_PLAYING;
        }
        return hr;
    }
    case PLAYER_STATE_FAST_FORWARD:
    case PLAYER_STATE_REWIND:
        fastForwardPresses_ = rewindPresses_ = 0;
        if (osd_) {
            osd_->RemoveAll();
            osd_->HideOverlay();
        }
        graph_->SetVolume(AudioLevel(volume_));
        state_ = PLAYER_STATE_PLAYING;
        return S_OK;
    default:
        return E_FAIL;
    }
}

HRESULT KQ_AV_Player::Pause() {
    std::lock_guard lock(lock_);
    if (state_ == PLAYER_STATE_STOPPED || state_ == PLAYER_STATE_PAUSED || !graph_)
        return E_FAIL;
    if ((state_ == PLAYER_STATE_FAST_FORWARD || state_ == PLAYER_STATE_REWIND) && osd_)
        osd_->HideOverlay();
    const HRESULT hr = graph_->Pause();
    if (SUCCEEDED(hr))
        state_ = PLAYER_STATE_PAUSED;
    return hr;
}

HRESULT KQ_AV_Player::StopPlayback() {
    std::lock_guard lock(lock_);
    if (mode_ != PLAYER_MODE_FILE || state_ == PLAYER_STATE_STOPPED)
        return E_FAIL;
    const HRESULT hr = graph_->Stop();
    if (osd_) {
        osd_->RemoveAll();
        osd_->HideOverlay();
    }
    if (FAILED(hr))
        return hr;
    fastForwardPresses_ = rewindPresses_ = 0;
    const HRESULT seek = graph_->SetPosition(0.0);
    state_ = PLAYER_STATE_STOPPED;
    return seek;
}

HRESULT KQ_AV_Player::Seek(int position) {
    std::lock_guard lock(lock_);
    if (mode_ != PLAYER_MODE_FILE)
        return E_FAIL;
    double duration = 0;
    if (FAILED(graph_->GetDuration(&duration)))
        duration = 1.0;
    const double target = position * duration / 1000;
    if (state_ == PLAYER_STATE_FAST_FORWARD) {
        const HRESULT hr = graph_->SetPosition(target + step_);
        if (target + step_ > duration)
            PostMessage(mainWindow_, WM_AV_PLAYBACK_END, 0, 0);
        return hr;
    }
    if (state_ == PLAYER_STATE_REWIND) {
        const HRESULT hr = graph_->SetPosition(target - step_);
        if (target - step_ < 0)
            PostMessage(mainWindow_, WM_AV_PLAYBACK_END, 0, 0);
        return hr;
    }
    return graph_->SetPosition(target);
}

HRESULT KQ_AV_Player::GetPosition(int* position) {
    std::lock_guard lock(lock_);
    if (mode_ != PLAYER_MODE_FILE || !position)
        return E_FAIL;
    double current = 0;
    if (FAILED(graph_->GetCurrentPosition(&current)))
        current = 0.0;
    double duration = 0;
    const HRESULT hr = graph_->GetDuration(&duration);
    if (FAILED(hr))
        duration = 1.0;
    // A duration of 0 (an empty file) gives 0; a position past the duration, or one over the stand-in
    // duration, is held to the end instead of leaving the integer range.
    const double thousandths = duration > 0 ? std::trunc(current * 1000 / duration) : 0.0;
    *position = static_cast<int>(std::clamp(thousandths, 0.0, 1000.0));
    position_ = current;
    return hr;
}

HRESULT KQ_AV_Player::showSpeed(int& presses, int& other, const wchar_t* slow, const wchar_t* fast,
                                int state) {
    if (mode_ != PLAYER_MODE_FILE)
        return E_FAIL;
    if (state_ != PLAYER_STATE_STOPPED) {
        ShowOsd(L"Mute", OSD_LOWER_LEFT, 1, kRed, 0);
        graph_->Mute();
    }
    ++presses;
    other = 0;
    if (presses == 1) {
        step_ = kSlowStep;
        ShowOsd(slow, OSD_TOP_LEFT, 1, kYellow, 0);
    } else {
        step_ = kFastStep;
        ShowOsd(fast, OSD_TOP_LEFT, 1, kYellow, 0);
        presses = 1; // every later press stays at the fast step
    }
    state_ = state;
    return S_OK;
}

HRESULT KQ_AV_Player::FastForward() {
    std::lock_guard lock(lock_);
    return showSpeed(fastForwardPresses_, rewindPresses_, L"2X", L"4X", PLAYER_STATE_FAST_FORWARD);
}

HRESULT KQ_AV_Player::Rewind() {
    std::lock_guard lock(lock_);
    return showSpeed(rewindPresses_, fastForwardPresses_, L"-2X", L"-4X", PLAYER_STATE_REWIND);
}
