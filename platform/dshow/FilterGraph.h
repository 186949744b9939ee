// Inside the DirectShow layer: the filter graph manager (CLSID_FilterGraph). It holds its filters (one
// reference each, in the order added), connects and renders pins from the filters already in the graph,
// changes state from any thread (filters are told downstream first, so a renderer lets go of a blocked
// upstream thread before that thread's own filter stops), keeps stream time running across Pause and Run,
// forwards seeking to the filters that can seek, gathers EC_COMPLETE from every renderer into one event,
// and posts each event to the notify window.
#pragma once

#include "platform/dshow/Interfaces.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class FilterGraph final : public CUnknown,
                          public IGraphBuilder,
                          public IMediaControl,
                          public IMediaSeeking,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IBasicAudio {
public:
    DECLARE_IUNKNOWN
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IFilterGraph, IGraphBuilder
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    HRESULT Connect(IPin* out, IPin* in) override;
    HRESULT Render(IPin* out) override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;

    // IMediaSeeking
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;

    // IMediaEventEx, IMediaEventSink
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override;
    HRESULT SetNotifyFlags(LONG flags) override;
    HRESULT GetNotifyFlags(LONG* flags) override;
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

    // IBasicAudio: the audio renderers of the graph
    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;

private:
    FilterGraph();
    ~FilterGraph() override;

    struct Entry {
        platform::ComPtr<IBaseFilter> filter;
        std::wstring name;
    };

    std::vector<platform::ComPtr<IBaseFilter>> filtersLocked() const;
    std::vector<platform::ComPtr<IBaseFilter>> downstreamFirstLocked() const;
    bool inGraphLocked(IBaseFilter* filter) const;
    HRESULT renderLocked(IPin* out, IPin* target, int depth);
    void chooseClockLocked();
    HRESULT pauseLocked();
    HRESULT runLocked();
    void armCompletionLocked();
    REFERENCE_TIME streamTimeLocked() const;
    REFERENCE_TIME clockNow() const;
    template <class I> std::vector<platform::ComPtr<I>> facesLocked(REFIID iid) const;
    void queueEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

    mutable std::recursive_mutex mutex_; // filters, state, clock, positions
    std::vector<Entry> entries_;
    FILTER_STATE state_ = State_Stopped;
    platform::ComPtr<IReferenceClock> clock_;
    bool clockChosen_ = false;
    REFERENCE_TIME start_ = 0;        // reference time of stream time 0 while running
    REFERENCE_TIME pausedAt_ = 0;     // stream time reached when paused
    REFERENCE_TIME segmentStart_ = 0; // media position of stream time 0

    std::mutex eventMutex_; // events, completion, notification
    std::condition_variable eventQueued_;
    std::deque<std::array<LONG_PTR, 3>> events_;
    std::set<IBaseFilter*> pendingRenderers_;
    bool completionArmed_ = false;
    OAHWND notifyWindow_ = 0;
    LONG notifyMessage_ = 0;
    LONG_PTR notifyData_ = 0;
    LONG notifyFlags_ = 0;
};
