// The pin base classes. A pin belongs to its filter: its AddRef and Release are the filter's, and it is
// deleted by the filter. CBasePin connects (the receiving pin's types first, then this pin's own
// positions, GetMediaType 0, 1, ... until it stops answering S_OK), CBaseOutputPin negotiates an allocator
// with the connected input pin and delivers to it, CBaseInputPin receives (refusing samples while the
// filter is stopped or the pin is flushing).
#pragma once

#include "platform/dshow/BaseFilter.h"

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, LPCWSTR pinName,
             PIN_DIRECTION direction);
    ~CBasePin() override;

    HRESULT QueryInterface(REFIID iid, void** out) override { return NonDelegatingQueryInterface(iid, out); }
    ULONG AddRef() override { return m_pFilter->AddRef(); }
    ULONG Release() override { return m_pFilter->Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override = 0;
    HRESULT EndFlush() override = 0;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    HRESULT Notify(IBaseFilter* self, Quality quality) override;

    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    // The type at a position: S_OK, or VFW_S_NO_MORE_ITEMS past the last one.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* receive);
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }

    bool IsConnected() const { return m_Connected != nullptr; }
    IPin* GetConnected() const { return m_Connected; }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    LPCWSTR Name() const { return m_pName.c_str(); }
    bool IsStopped() const { return m_pFilter->IsStopped(); }

protected:
    HRESULT AgreeMediaType(IPin* receive, const CMediaType* type);
    HRESULT AttemptConnection(IPin* receive, const CMediaType* type);
    HRESULT TryMediaTypes(IPin* receive, const CMediaType* type, IEnumMediaTypes* types);

    std::wstring m_pName;
    IPin* m_Connected = nullptr; // with a reference
    PIN_DIRECTION m_dir;
    CCritSec* m_pLock;
    CBaseFilter* m_pFilter;
    CMediaType m_mt;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0x7FFFFFFFFFFFFFFF;
    double m_dRate = 1.0;
};

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, LPCWSTR pinName);
    ~CBaseOutputPin() override;

    HRESULT CheckConnect(IPin* pin) override;        // needs IMemInputPin
    HRESULT CompleteConnect(IPin* receive) override; // DecideAllocator
    HRESULT BreakConnect() override;
    HRESULT Active() override;   // commits the allocator
    HRESULT Inactive() override; // decommits it, waking a GetDeliveryBuffer that waits
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }

    // The input pin's allocator when it offers one and agrees to the sizes, else a CMemAllocator.
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT InitAllocator(IMemAllocator** allocator);
    virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                      DWORD flags);
    // Hands the sample to the connected input pin (which may block until it is due).
    virtual HRESULT Deliver(IMediaSample* sample);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    IMemAllocator* m_pAllocator = nullptr; // with a reference
    IMemInputPin* m_pInputPin = nullptr;   // with a reference
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, LPCWSTR pinName);
    ~CBaseInputPin() override;

    HRESULT QueryInterface(REFIID iid, void** out) override { return NonDelegatingQueryInterface(iid, out); }
    ULONG AddRef() override { return m_pFilter->AddRef(); }
    ULONG Release() override { return m_pFilter->Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    // The checks of CheckStreaming; a derived pin does its work after calling this.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    // VFW_E_WRONG_STATE while stopped, S_FALSE while flushing, VFW_E_RUNTIME_ERROR after an error.
    virtual HRESULT CheckStreaming();

protected:
    IMemAllocator* m_pAllocator = nullptr; // with a reference
    bool m_bReadOnly = false;
    std::atomic<bool> m_bFlushing{false};
    std::atomic<bool> m_bRunTimeError{false};
};
