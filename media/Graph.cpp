// The graph holder: state changes, seeking, volume, video layout, repaint and event draining.
#include "media/Graph.h"

#include "media/GraphInterfaces.h"
#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"

#include <cmath>

using platform::ComPtr;

namespace {

constexpr double kUnitsPerSecond = 10000000.0;
constexpr LONG kSilence = -10000;
constexpr DWORD kPauseStateWaitMs = 30;

} // namespace

KQ_AV_Graph::~KQ_AV_Graph() {
    ReleaseGraph();
}

HRESULT KQ_AV_Graph::CreateGraph() {
    if (graph_)
        return S_OK;
    const HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                        reinterpret_cast<void**>(&graph_));
    if (FAILED(hr) || !graph_) {
        graph_ = nullptr;
        return AV_E_NO_GRAPH_MANAGER;
    }
    return S_OK;
}

void KQ_AV_Graph::ReleaseGraph() {
    if (graph_)
        graph_->Release();
    graph_ = nullptr;
}

HRESULT KQ_AV_Graph::Run() {
    const auto control = platform::Query<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return AV_E_NO_GRAPH;
    const HRESULT hr = control->Run();
    state_ = GRAPH_RUNNING;
    return FAILED(hr) ? AV_E_RUN : hr;
}

HRESULT KQ_AV_Graph::Stop() {
    const auto control = platform::Query<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return AV_E_NO_GRAPH;
    const HRESULT hr = control->Stop();
    state_ = GRAPH_STOPPED;
    return FAILED(hr) ? AV_E_STOP : hr;
}

HRESULT KQ_AV_Graph::Pause() {
    const auto control = platform::Query<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return AV_E_NO_GRAPH;
    OAFilterState state = State_Stopped;
    if (FAILED(control->GetState(kPauseStateWaitMs, &state)) || state != State_Running)
        return E_FAIL;
    const HRESULT hr = control->Pause();
    state_ = GRAPH_PAUSED;
    return FAILED(hr) ? AV_E_PAUSE : hr;
}

HRESULT KQ_AV_Graph::GetCurrentPosition(double* seconds) {
    *seconds = -1;
    const auto seeking = platform::Query<IMediaSeeking>(graph_, IID_IMediaSeeking);
    LONGLONG position = 0;
    if (!seeking || FAILED(seeking->GetCurrentPosition(&position)))
        return E_FAIL;
    *seconds = static_cast<double>(position) / kUnitsPerSecond;
    return S_OK;
}

HRESULT KQ_AV_Graph::GetDuration(double* seconds) {
    *seconds = -1;
    const auto seeking = platform::Query<IMediaSeeking>(graph_, IID_IMediaSeeking);
    LONGLONG duration = 0;
    if (!seeking || FAILED(seeking->GetDuration(&duration)))
        return E_FAIL;
    *seconds = static_cast<double>(duration) / kUnitsPerSecond;
    return S_OK;
}

HRESULT KQ_AV_Graph::SetPosition(double seconds) {
    const auto seeking = platform::Query<IMediaSeeking>(graph_, IID_IMediaSeeking);
    if (!seeking)
        return E_FAIL;
    LONGLONG position = static_cast<LONGLONG>(std::trunc(seconds * kUnitsPerSecond));
    const HRESULT hr =
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                              AM_SEEKING_NoPositioning);
    return FAILED(hr) ? E_FAIL : hr;
}

HRESULT KQ_AV_Graph::Mute() {
    const auto audio = platform::Query<IBasicAudio>(graph_, IID_IBasicAudio);
    if (!audio)
        return AV_E_NO_GRAPH;
    return FAILED(audio->put_Volume(kSilence)) ? AV_E_MUTE : S_OK;
}

HRESULT KQ_AV_Graph::SetVolume(LONG volume) {
    const auto audio = platform::Query<IBasicAudio>(graph_, IID_IBasicAudio);
    if (!audio)
        return AV_E_NO_GRAPH;
    return FAILED(audio->put_Volume(volume)) ? E_FAIL : S_OK;
}

RECT VideoLayout(int aspectMode, LONG width, LONG height) {
    const float ratio = aspectMode == 0 ? 4.0f / 3.0f : aspectMode == 1 ? 16.0f / 9.0f : 1.0f;
    LONG videoWidth = width;
    LONG videoHeight = static_cast<LONG>(static_cast<float>(width) / ratio);
    if (videoHeight > height) {
        videoHeight = height;
        videoWidth = static_cast<LONG>(static_cast<float>(height) * ratio);
    }
    if (ratio == 1.0f) {
        videoWidth = width;
        videoHeight = height;
    }
    const LONG x = static_cast<LONG>((width - videoWidth) * 0.5);
    const LONG y = static_cast<LONG>((height - videoHeight) * 0.5);
    return RECT{x, y, x + videoWidth, y + videoHeight};
}

HRESULT KQ_AV_Graph::UpdateVideoPosition(int aspectMode, HWND window) {
    if (!graph_)
        return AV_E_NO_GRAPH;
    RECT client{};
    GetClientRect(window, &client);
    const RECT destination = VideoLayout(aspectMode, client.right - client.left, client.bottom - client.top);
    const auto layOut = [&](auto* control) {
        LONG width = 0, height = 0, arWidth = 0, arHeight = 0;
        if (FAILED(control->GetNativeVideoSize(&width, &height, &arWidth, &arHeight)))
            return E_FAIL;
        const RECT source{0, 0, width, height};
        if (FAILED(control->SetBorderColor(0)) || FAILED(control->SetVideoPosition(&source, &destination)))
            return E_FAIL;
        return S_OK;
    };
    if (const auto vmr9 = FindGraphFace<IVMRWindowlessControl9>(graph_, IID_IVMRWindowlessControl9))
        return layOut(vmr9.Get());
    if (const auto vmr7 = FindGraphFace<IVMRWindowlessControl>(graph_, IID_IVMRWindowlessControl))
        return layOut(vmr7.Get());
    return AV_E_NO_GRAPH;
}

HRESULT KQ_AV_Graph::RepaintVideo(HWND window) {
    if (!graph_)
        return AV_E_NO_GRAPH;
    const auto repaint = [&](auto* control) {
        HDC dc = GetDC(window);
        const HRESULT hr = control->RepaintVideo(window, dc);
        ReleaseDC(window, dc);
        return FAILED(hr) ? E_FAIL : S_OK;
    };
    if (const auto vmr9 = FindGraphFace<IVMRWindowlessControl9>(graph_, IID_IVMRWindowlessControl9))
        return repaint(vmr9.Get());
    if (const auto vmr7 = FindGraphFace<IVMRWindowlessControl>(graph_, IID_IVMRWindowlessControl))
        return repaint(vmr7.Get());
    return AV_E_NO_GRAPH;
}

HRESULT KQ_AV_Graph::HandleEvents() {
    if (!graph_)
        return E_FAIL;
    ComPtr<IMediaEventEx> events;
    const HRESULT hr = graph_->QueryInterface(IID_IMediaEventEx, events.ReleaseAndGetVoidAddressOf());
    if (FAILED(hr))
        return hr;
    LONG code = 0;
    LONG_PTR first = 0, second = 0;
    while (SUCCEEDED(events->GetEvent(&code, &first, &second, 0))) {
        events->FreeEventParams(code, first, second);
        if (code == EC_COMPLETE) {
            SetPosition(0.0);
            Stop();
        }
    }
    return S_OK;
}
