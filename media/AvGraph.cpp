#include "media/AvGraph.h"

#include "media/GraphHelpers.h"
#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"

using platform::ComPtr;
using platform::Query;

namespace {

constexpr double kUnitsPerSecond = 10000000.0;

template <class I> ComPtr<I> ask(IGraphBuilder* graph, REFIID iid) {
    return graph ? Query<I>(graph, iid) : ComPtr<I>();
}

// Picture ratios in single precision, as the layout computes in it.
float ratioOf(int aspectMode) {
    switch (aspectMode) {
    case 0:
        return 4.0f / 3.0f;
    case 1:
        return 16.0f / 9.0f;
    default:
        return 1.0f;
    }
}

// The windowless control of the VMR-9, else of the VMR-7, drives the callback; KQ_AV_E_NO_GRAPH without.
template <class F> HRESULT onWindowless(IGraphBuilder* graph, F use) {
    if (!graph)
        return KQ_AV_E_NO_GRAPH;
    ComPtr<IVMRWindowlessControl9> nine;
    if (SUCCEEDED(FindGraphInterface(graph, IID_IVMRWindowlessControl9, nine.ReleaseAndGetVoidAddressOf())))
        return use(nine.Get());
    ComPtr<IVMRWindowlessControl> seven;
    if (SUCCEEDED(FindGraphInterface(graph, IID_IVMRWindowlessControl, seven.ReleaseAndGetVoidAddressOf())))
        return use(seven.Get());
    return KQ_AV_E_NO_GRAPH;
}

} // namespace

KQ_AV_Graph::~KQ_AV_Graph() {
    ReleaseGraph();
}

HRESULT KQ_AV_Graph::CreateGraph() {
    ReleaseGraph();
    return CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                            reinterpret_cast<void**>(&graph_));
}

void KQ_AV_Graph::ReleaseGraph() {
    if (graph_)
        graph_->Release();
    graph_ = nullptr;
}

HRESULT KQ_AV_Graph::Run() {
    auto control = ask<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return KQ_AV_E_NO_GRAPH;
    const HRESULT hr = control->Run();
    state_ = kRunning;
    return FAILED(hr) ? KQ_AV_E_RUN : hr;
}

HRESULT KQ_AV_Graph::Stop() {
    auto control = ask<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return KQ_AV_E_NO_GRAPH;
    const HRESULT hr = control->Stop();
    state_ = kStopped;
    return FAILED(hr) ? KQ_AV_E_STOP : hr;
}

HRESULT KQ_AV_Graph::Pause() {
    auto control = ask<IMediaControl>(graph_, IID_IMediaControl);
    if (!control)
        return KQ_AV_E_NO_GRAPH;
    OAFilterState state = State_Stopped;
    if (FAILED(control->GetState(30, &state)) || state != State_Running)
        return E_FAIL;
    const HRESULT hr = control->Pause();
    state_ = kPaused;
    return FAILED(hr) ? KQ_AV_E_PAUSE : hr;
}

HRESULT KQ_AV_Graph::GetCurrentPosition(double* seconds) {
    if (!seconds)
        return E_POINTER;
    *seconds = -1;
    auto seeking = ask<IMediaSeeking>(graph_, IID_IMediaSeeking);
    if (!seeking)
        return KQ_AV_E_NO_GRAPH;
    LONGLONG position = 0;
    if (FAILED(seeking->GetCurrentPosition(&position)))
        return E_FAIL;
    *seconds = static_cast<double>(position) / kUnitsPerSecond;
    return S_OK;
}

HRESULT KQ_AV_Graph::GetDuration(double* seconds) {
    if (!seconds)
        return E_POINTER;
    *seconds = -1;
    auto seeking = ask<IMediaSeeking>(graph_, IID_IMediaSeeking);
    if (!seeking)
        return KQ_AV_E_NO_GRAPH;
    LONGLONG duration = 0;
    if (FAILED(seeking->GetDuration(&duration)))
        return E_FAIL;
    *seconds = static_cast<double>(duration) / kUnitsPerSecond;
    return S_OK;
}

HRESULT KQ_AV_Graph::SetPosition(double seconds) {
    auto seeking = ask<IMediaSeeking>(graph_, IID_IMediaSeeking);
    if (!seeking)
        return KQ_AV_E_NO_GRAPH;
    LONGLONG position = static_cast<LONGLONG>(seconds * kUnitsPerSecond);
    const HRESULT hr =
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                              AM_SEEKING_NoPositioning);
    return FAILED(hr) ? E_FAIL : hr;
}

HRESULT KQ_AV_Graph::Mute() {
    auto audio = ask<IBasicAudio>(graph_, IID_IBasicAudio);
    if (!audio)
        return KQ_AV_E_NO_GRAPH;
    return FAILED(audio->put_Volume(-10000)) ? KQ_AV_E_MUTE : S_OK;
}

HRESULT KQ_AV_Graph::SetVolume(int volume) {
    auto audio = ask<IBasicAudio>(graph_, IID_IBasicAudio);
    if (!audio)
        return KQ_AV_E_NO_GRAPH;
    return FAILED(audio->put_Volume(volume)) ? E_FAIL : S_OK;
}

HRESULT KQ_AV_Graph::UpdateVideoPosition(int aspectMode, HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    const float r = ratioOf(aspectMode);
    const int t = static_cast<int>(static_cast<float>(w) / r);
    int videoWidth, videoHeight;
    if (t > h) {
        videoHeight = h;
        videoWidth = static_cast<int>(static_cast<float>(h) * r);
    } else {
        videoWidth = w;
        videoHeight = t;
    }
    if (r == 1.0f) {
        videoWidth = w;
        videoHeight = h;
    }
    const int x = static_cast<int>((w - videoWidth) * 0.5);
    const int y = static_cast<int>((h - videoHeight) * 0.5);
    const RECT destination{x, y, x + videoWidth, y + videoHeight};
    return onWindowless(graph_, [&](auto* control) -> HRESULT {
        LONG nativeWidth = 0, nativeHeight = 0;
        if (FAILED(control->GetNativeVideoSize(&nativeWidth, &nativeHeight, nullptr, nullptr)))
            return E_FAIL;
        const RECT source{0, 0, nativeWidth, nativeHeight};
        if (FAILED(control->SetBorderColor(0)) || FAILED(control->SetVideoPosition(&source, &destination)))
            return E_FAIL;
        return S_OK;
    });
}

HRESULT KQ_AV_Graph::RepaintVideo(HWND window) {
    return onWindowless(graph_, [&](auto* control) -> HRESULT {
        HDC dc = GetDC(window);
        const HRESULT hr = control->RepaintVideo(window, dc);
        if (dc)
            ReleaseDC(window, dc);
        return FAILED(hr) ? E_FAIL : S_OK;
    });
}

HRESULT KQ_AV_Graph::HandleEvents() {
    if (!graph_)
        return E_FAIL;
    ComPtr<IMediaEventEx> events;
    const HRESULT hr = graph_->QueryInterface(IID_IMediaEventEx, events.ReleaseAndGetVoidAddressOf());
    if (FAILED(hr))
        return hr;
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (SUCCEEDED(events->GetEvent(&code, &param1, &param2, 0))) {
        events->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE) {
            SetPosition(0.0);
            Stop();
        }
    }
    return S_OK;
}
