// The base of a filter with one input and one output pin that turns each input sample into at most one
// output sample on the input's streaming thread. A derived filter says which types it takes and makes
// (CheckInputType, CheckTransform, GetMediaType), sizes the output buffers (DecideBufferSize) and does the
// work (Transform; S_FALSE delivers nothing for that input). The output pin connects only once the input
// is connected. Stop wakes a Receive that waits for an output buffer, then waits for it to finish.
#pragma once

#include "platform/dshow/BasePin.h"

#include <memory>

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(LPCWSTR objectName, CTransformFilter* filter, HRESULT* hr, LPCWSTR pinName);

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receive) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(LPCWSTR objectName, CTransformFilter* filter, HRESULT* hr, LPCWSTR pinName);

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receive) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Notify(IBaseFilter* self, Quality quality) override;
    IMemAllocator* Allocator() const { return m_pAllocator; }

private:
    CTransformFilter* m_pTransformFilter;
};

class CTransformFilter : public CBaseFilter {
public:
    CTransformFilter(LPCWSTR objectName, IUnknown* outer, REFCLSID clsid);
    ~CTransformFilter() override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int index) override; // 0 "Input", 1 "Output"
    HRESULT Stop() override;
    HRESULT Pause() override;

    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
    virtual HRESULT CheckInputType(const CMediaType* in) = 0;
    virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;

    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }
    virtual HRESULT AlterQuality(Quality) { return S_FALSE; }
    virtual HRESULT SetMediaType(PIN_DIRECTION, const CMediaType*) { return S_OK; }
    virtual HRESULT CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
    virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
    virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    // An output buffer carrying the input's times, sync point, preroll and discontinuity flags.
    virtual HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** out);
    void makePins();

    CCritSec m_csFilter;  // the filter lock, shared with both pins
    CCritSec m_csReceive; // held for each Receive; Stop takes it to wait for streaming to end
    CTransformInputPin* m_pInput = nullptr;
    CTransformOutputPin* m_pOutput = nullptr;

    friend class CTransformInputPin;
    friend class CTransformOutputPin;
};
