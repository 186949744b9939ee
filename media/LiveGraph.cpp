// The live context's graph side: building the live graph, starting and stopping the decode threads,
// restart and destroy.
#include "media/LiveContext.h"

#include "media/AudioDecode.h"
#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "media/SourceFilter.h"
#include "media/VideoDecode.h"

#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"

using platform::ComPtr;

namespace {

constexpr const wchar_t* kSourceName = L"NetSource Video";
constexpr const wchar_t* kAudioRendererName = L"Default DirectSound Device";
constexpr const wchar_t* kVmr9Name = L"Video Mixing Renderer 9";
constexpr const wchar_t* kVmr7Name = L"Video Mixing Renderer 7";

} // namespace

HRESULT KQ_AV_LiveContext::Start(HWND videoWindow) {
    videoWindow_ = videoWindow;
    pitch_ = AcceptedPitch(ProbePitch(videoWindow, width_, height_), width_);
    {
        std::lock_guard lock(graphMutex_);
        pacer_.Reset();
    }
    HRESULT hr = addSourceFilter();
    if (SUCCEEDED(hr))
        hr = addRenderers();
    if (SUCCEEDED(hr))
        hr = connectPins();
    if (SUCCEEDED(hr))
        hr = startThreads();
    return hr;
}

HRESULT KQ_AV_LiveContext::addSourceFilter() {
    if (!graph_)
        return E_FAIL;
    source_ = new KQ_AV_SourceFilter();
    source_->NonDelegatingAddRef();
    const HRESULT hr = graph_->AddFilter(source_, kSourceName);
    if (FAILED(hr))
        return hr;
    source_->VideoPin()->SetPictureFormat(width_, height_, pitch_);
    return S_OK;
}

HRESULT KQ_AV_LiveContext::addRenderers() {
    ComPtr<IBaseFilter> sound;
    if (FAILED(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                sound.ReleaseAndGetVoidAddressOf())) ||
        !sound || FAILED(graph_->AddFilter(sound.Get(), kAudioRendererName)))
        return E_FAIL;
    HRESULT hr = AddFilterByClsid(graph_, CLSID_VideoMixingRenderer9, kVmr9Name);
    if (FAILED(hr))
        hr = AddFilterByClsid(graph_, CLSID_VideoMixingRenderer, kVmr7Name);
    if (FAILED(hr))
        return hr;
    hr = ConfigureVmrWindowless(graph_, videoWindow_);
    if (FAILED(hr))
        return hr;
    // Graph events go where the player's other messages go: the main window.
    ReportGraphEvents(graph_, mainWindow_);
    return S_OK;
}

HRESULT KQ_AV_LiveContext::connectPins() {
    IPin* video = nullptr;
    if (FAILED(FindFilterPin(graph_, kSourceName, nullptr, 0, &video)))
        return KQ_AV_E_PINS_NOT_CONNECTED;
    IPin* renderer = nullptr;
    if (FAILED(FindFilterPin(graph_, kVmr9Name, nullptr, 1, &renderer)) &&
        FAILED(FindFilterPin(graph_, kVmr7Name, nullptr, 1, &renderer)))
        return E_FAIL;
    if (FAILED(ConnectPinsDirect(graph_, video, renderer)))
        return KQ_AV_E_PINS_NOT_CONNECTED;
    IBaseFilter* sound = nullptr;
    IPin* soundInput = nullptr;
    if (FAILED(FindFilterByName(graph_, kAudioRendererName, &sound)) ||
        FAILED(FindPin(sound, 1, nullptr, &soundInput)))
        return E_FAIL;
    IPin* audio = source_->GetPin(1);
    if (!audio || FAILED(ConnectPinsDirect(graph_, audio, soundInput)))
        return KQ_AV_E_PINS_NOT_CONNECTED;
    return S_OK;
}

HRESULT KQ_AV_LiveContext::startThreads() {
    audioRunning_ = false;
    audioDecode_ = std::make_unique<KQ_AV_AudioDecode>(this, source_, audioRing_.get());
    if (!audioDecode_->Start())
        return E_FAIL;
    videoDecode_ = std::make_unique<KQ_AV_VideoDecode>(videoRing_.get(), source_, this);
    return videoDecode_->Start() ? S_OK : E_FAIL;
}

HRESULT KQ_AV_LiveContext::StopThreads() {
    if (holder_ && (audioDecode_ || videoDecode_)) {
        HoldGraph();
        holder_->Stop();
    }
    videoDecode_.reset();
    audioDecode_.reset();
    return S_OK;
}

void KQ_AV_LiveContext::deleteSourceFilter() {
    if (source_)
        source_->NonDelegatingRelease();
    source_ = nullptr;
}

HRESULT KQ_AV_LiveContext::Restart() {
    StopThreads();
    RemoveAllFilters(graph_);
    deleteSourceFilter();
    return Start(videoWindow_);
}

void KQ_AV_LiveContext::Destroy() {
    {
        std::unique_lock lock(callMutex_);
        if (destroyed_)
            return;
        destroyed_ = true;
        closing_ = true;
        { std::lock_guard rings(ringsMutex_); } // a push waiting for room sees closing_ now
        roomMade_.notify_all();
        callsDone_.wait(lock, [&] { return calls_ == 0; });
    }
    if (recording_)
        StopRecord();
    StopThreads();
    if (graph_)
        RemoveAllFilters(graph_);
    deleteSourceFilter();
    audioRing_.reset();
    videoRing_.reset();
}
