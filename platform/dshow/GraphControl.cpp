// The filter graph manager: state, clock, seeking, events and volume.
#include "platform/dshow/FilterGraph.h"

#include "platform/dshow/SystemClock.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"

#include <algorithm>

using platform::ComPtr;
using platform::Query;

namespace {

bool isRenderer(IBaseFilter* filter) {
    auto flags = Query<IAMFilterMiscFlags>(filter, IID_IAMFilterMiscFlags);
    return flags && (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER);
}

bool hasConnectedInput(IBaseFilter* filter) {
    ComPtr<IEnumPins> e;
    if (FAILED(filter->EnumPins(e.ReleaseAndGetAddressOf())) || !e)
        return false;
    IPin* pin = nullptr;
    bool found = false;
    while (!found && e->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == PINDIR_INPUT && SUCCEEDED(pin->ConnectedTo(&peer)) &&
            peer) {
            found = true;
            peer->Release();
        }
        pin->Release();
    }
    return found;
}

} // namespace

template <class I> std::vector<ComPtr<I>> FilterGraph::facesLocked(REFIID iid) const {
    std::vector<ComPtr<I>> faces;
    for (const Entry& e : entries_)
        if (auto face = Query<I>(e.filter.Get(), iid))
            faces.push_back(face);
    return faces;
}

REFERENCE_TIME FilterGraph::clockNow() const {
    REFERENCE_TIME now = 0;
    if (!clock_ || FAILED(clock_->GetTime(&now)))
        now = SystemClock::Now();
    return now;
}

// The first filter that offers a clock (the audio renderer) gives the graph its clock, else the scaled
// system clock does; every filter gets it.
void FilterGraph::chooseClockLocked() {
    clock_.Reset();
    for (const Entry& e : entries_)
        if (auto clock = Query<IReferenceClock>(e.filter.Get(), IID_IReferenceClock)) {
            clock_ = clock;
            break;
        }
    if (!clock_)
        platform::QueryNew(new SystemClock, IID_IReferenceClock, clock_.ReleaseAndGetVoidAddressOf());
    for (const Entry& e : entries_)
        e.filter->SetSyncSource(clock_.Get());
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    std::lock_guard lock(mutex_);
    chooseClockLocked();
    return S_OK;
}

void FilterGraph::armCompletionLocked() {
    std::lock_guard events(eventMutex_);
    pendingRenderers_.clear();
    for (const Entry& e : entries_)
        if (isRenderer(e.filter.Get()) && hasConnectedInput(e.filter.Get()))
            pendingRenderers_.insert(e.filter.Get());
    completionArmed_ = !pendingRenderers_.empty();
}

REFERENCE_TIME FilterGraph::streamTimeLocked() const {
    switch (state_) {
    case State_Running:
        return std::max<REFERENCE_TIME>(0, clockNow() - start_);
    case State_Paused:
        return pausedAt_;
    default:
        return 0;
    }
}

HRESULT FilterGraph::pauseLocked() {
    if (state_ == State_Stopped) {
        chooseClockLocked();
        armCompletionLocked();
        pausedAt_ = 0;
    } else if (state_ == State_Running) {
        pausedAt_ = std::max<REFERENCE_TIME>(0, clockNow() - start_);
    }
    for (const ComPtr<IBaseFilter>& f : downstreamFirstLocked()) {
        const HRESULT hr = f->Pause();
        if (FAILED(hr)) {
            for (const ComPtr<IBaseFilter>& g : downstreamFirstLocked())
                g->Stop();
            state_ = State_Stopped;
            return hr;
        }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::runLocked() {
    // Stream time goes on from where the pause left it.
    start_ = clockNow() - pausedAt_;
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& f : downstreamFirstLocked()) {
        const HRESULT hr = f->Run(start_);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    state_ = State_Running;
    return result;
}

HRESULT FilterGraph::Run() {
    std::lock_guard lock(mutex_);
    if (state_ == State_Running)
        return S_OK;
    if (state_ == State_Stopped) {
        const HRESULT hr = pauseLocked();
        if (FAILED(hr))
            return hr;
    }
    return runLocked();
}

HRESULT FilterGraph::Pause() {
    std::lock_guard lock(mutex_);
    if (state_ == State_Paused)
        return S_OK;
    return pauseLocked();
}

HRESULT FilterGraph::Stop() {
    std::lock_guard lock(mutex_);
    if (state_ == State_Stopped)
        return S_OK;
    const REFERENCE_TIME reached = segmentStart_ + streamTimeLocked();
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& f : downstreamFirstLocked()) {
        const HRESULT hr = f->Stop();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    state_ = State_Stopped;
    pausedAt_ = 0;
    // A later run goes on from where the stop left the stream.
    LONGLONG position = reached;
    LONGLONG duration = 0;
    if (SUCCEEDED(GetDuration(&duration)))
        position = std::min(position, duration);
    for (const auto& seeker : facesLocked<IMediaSeeking>(IID_IMediaSeeking))
        seeker->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    segmentStart_ = position;
    return result;
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state) {
    if (!state)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *state = state_;
    return S_OK;
}

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    const auto seekers = facesLocked<IMediaSeeking>(IID_IMediaSeeking);
    if (seekers.empty())
        return E_NOTIMPL;
    *capabilities = 0;
    for (const auto& s : seekers) {
        DWORD c = 0;
        if (SUCCEEDED(s->GetCapabilities(&c)))
            *capabilities |= c;
    }
    return S_OK;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    if (!duration)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    HRESULT result = E_NOTIMPL;
    *duration = 0;
    for (const auto& s : facesLocked<IMediaSeeking>(IID_IMediaSeeking)) {
        LONGLONG d = 0;
        const HRESULT hr = s->GetDuration(&d);
        if (SUCCEEDED(hr)) {
            *duration = std::max(*duration, d);
            result = S_OK;
        } else if (result != S_OK) {
            result = hr;
        }
    }
    return result;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (!current)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (facesLocked<IMediaSeeking>(IID_IMediaSeeking).empty())
        return E_NOTIMPL;
    LONGLONG position = segmentStart_ + streamTimeLocked();
    LONGLONG duration = 0;
    if (SUCCEEDED(GetDuration(&duration)))
        position = std::min(position, duration);
    *current = std::max<LONGLONG>(0, position);
    return S_OK;
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    HRESULT hr = S_OK;
    if (current)
        hr = GetCurrentPosition(current);
    if (SUCCEEDED(hr) && stop)
        hr = GetStopPosition(stop);
    return hr;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    std::lock_guard lock(mutex_);
    const auto seekers = facesLocked<IMediaSeeking>(IID_IMediaSeeking);
    if (seekers.empty())
        return E_NOTIMPL;
    const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (positioning != AM_SEEKING_NoPositioning && !current)
        return E_POINTER;
    LONGLONG target = segmentStart_ + streamTimeLocked();
    if (positioning == AM_SEEKING_AbsolutePositioning)
        target = *current;
    else if (positioning == AM_SEEKING_RelativePositioning)
        target += *current;
    target = std::max<LONGLONG>(0, target);

    // A running graph is paused for the seek and run again: its stream time starts again at 0.
    const FILTER_STATE was = state_;
    if (was == State_Running)
        for (const ComPtr<IBaseFilter>& f : downstreamFirstLocked())
            f->Pause();
    HRESULT result = S_OK;
    for (const auto& s : seekers) {
        LONGLONG position = target;
        const HRESULT hr = s->SetPositions(positioning ? &position : nullptr, currentFlags, stop, stopFlags);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    if (positioning != AM_SEEKING_NoPositioning && SUCCEEDED(result)) {
        segmentStart_ = target;
        pausedAt_ = 0;
        if (was != State_Stopped)
            armCompletionLocked();
    }
    if (was == State_Running) {
        state_ = State_Paused;
        const HRESULT hr = runLocked();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT FilterGraph::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

void FilterGraph::queueEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    HWND window = nullptr;
    LONG message = 0;
    LONG_PTR data = 0;
    {
        std::lock_guard lock(eventMutex_);
        events_.push_back({code, param1, param2});
        eventQueued_.notify_all();
        if (notifyWindow_ && !(notifyFlags_ & AM_MEDIAEVENT_NONOTIFY)) {
            window = reinterpret_cast<HWND>(notifyWindow_);
            message = notifyMessage_;
            data = notifyData_;
        }
    }
    if (window)
        PostMessage(window, static_cast<UINT>(message), 0, data);
}

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    if (code != EC_COMPLETE) {
        queueEvent(code, param1, param2);
        return S_OK;
    }
    {
        std::lock_guard lock(eventMutex_);
        auto* renderer = reinterpret_cast<IBaseFilter*>(param2);
        if (!completionArmed_ || pendingRenderers_.erase(renderer) == 0 || !pendingRenderers_.empty())
            return S_OK;
        completionArmed_ = false;
    }
    queueEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    if (!code || !param1 || !param2)
        return E_POINTER;
    std::unique_lock lock(eventMutex_);
    const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (!platform::WaitUntilScaled(eventQueued_, lock, platform::DeadlineAfter(wait),
                                   [this] { return !events_.empty(); }))
        return E_ABORT;
    const auto event = events_.front();
    events_.pop_front();
    *code = static_cast<LONG>(event[0]);
    *param1 = event[1];
    *param2 = event[2];
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) {
    return S_OK; // no event carries allocated parameters
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) {
    std::lock_guard lock(eventMutex_);
    notifyWindow_ = window;
    notifyMessage_ = message;
    notifyData_ = instanceData;
    return S_OK;
}

HRESULT FilterGraph::SetNotifyFlags(LONG flags) {
    if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY)
        return E_INVALIDARG;
    std::lock_guard lock(eventMutex_);
    notifyFlags_ = flags;
    return S_OK;
}

HRESULT FilterGraph::GetNotifyFlags(LONG* flags) {
    if (!flags)
        return E_POINTER;
    std::lock_guard lock(eventMutex_);
    *flags = notifyFlags_;
    return S_OK;
}

HRESULT FilterGraph::put_Volume(LONG volume) {
    std::lock_guard lock(mutex_);
    const auto faces = facesLocked<IBasicAudio>(IID_IBasicAudio);
    if (faces.empty())
        return E_NOTIMPL;
    HRESULT result = S_OK;
    for (const auto& a : faces) {
        const HRESULT hr = a->put_Volume(volume);
        if (FAILED(hr))
            result = hr;
    }
    return result;
}

HRESULT FilterGraph::get_Volume(LONG* volume) {
    if (!volume)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    const auto faces = facesLocked<IBasicAudio>(IID_IBasicAudio);
    return faces.empty() ? E_NOTIMPL : faces.front()->get_Volume(volume);
}
