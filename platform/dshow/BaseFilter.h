// The filter base class. A derived filter owns its pins (GetPinCount, GetPin) and hands the base the lock
// that guards its state (the filter lock; the pins share it). State changes run the pins' Active (on
// Pause from Stopped: output pins commit their allocators) and Inactive (on Stop). A filter in a graph
// holds the graph without a reference and sends it events through NotifyEvent.
#pragma once

#include "platform/dshow/Interfaces.h"

#include <atomic>
#include <mutex>
#include <string>

class CCritSec {
public:
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
    ~CAutoLock() { lock_->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* lock_;
};

class CBasePin;
struct AMOVIESETUP_FILTER;

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    DECLARE_IUNKNOWN
    CBaseFilter(LPCWSTR objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
    ~CBaseFilter() override;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    // The pins, borrowed: GetPin adds no reference; null for an index out of range.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int index) = 0;

    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    // Stream time now: the clock's time less the start given to Run. VFW_E_NO_CLOCK without a clock.
    HRESULT StreamTime(REFERENCE_TIME& time);
    bool IsStopped() const { return m_State == State_Stopped; }
    bool IsActive() const { return m_State != State_Stopped; }

protected:
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    IReferenceClock* m_pClock = nullptr; // with a reference
    REFERENCE_TIME m_tStart = 0;
    CLSID m_clsid;
    CCritSec* m_pLock;
    std::wstring m_pName; // the name in the graph
    IFilterGraph* m_pGraph = nullptr;
    IMediaEventSink* m_pSink = nullptr; // the graph's, held without a reference like the graph
};

constexpr HRESULT VFW_E_NO_CLOCK = static_cast<HRESULT>(0x80040213u);
