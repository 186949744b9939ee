// Media samples and the memory allocator. An allocator owns a fixed set of samples (SetProperties, then
// Commit); GetBuffer hands one out with a reference, and its last Release gives it back. With a single
// buffer this paces a producer to its consumer: while the consumer holds the only sample, a GetBuffer
// with AM_GBF_NOWAIT answers VFW_E_TIMEOUT and one without waits. Decommit wakes every waiting
// GetBuffer (VFW_E_NOT_COMMITTED); the memory goes when the last outstanding sample comes back. Each
// outstanding sample keeps its allocator alive. A consumer that keeps the last sample it received makes
// its allocator with a spare buffer: SetProperties then grants one buffer more than asked, so the producer
// still has as many as it asked for.
#pragma once

#include "platform/dshow/Interfaces.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class CMemAllocator;

class CMediaSample final : public IMediaSample {
public:
    CMediaSample(CMemAllocator* allocator, BYTE* buffer, LONG size);
    ~CMediaSample();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override; // at 0 the sample goes back to its allocator

    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL sync) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(BOOL preroll) override;
    LONG GetActualDataLength() override;
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(BOOL discontinuity) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

    // The allocator clears a sample's properties before handing it out again.
    void ResetProperties();

private:
    CMemAllocator* allocator_;
    BYTE* buffer_;
    LONG size_;
    LONG actual_ = 0;
    std::atomic<ULONG> refs_{0};
    REFERENCE_TIME start_ = 0, end_ = 0;
    LONGLONG mediaStart_ = 0, mediaEnd_ = 0;
    bool timeValid_ = false, mediaTimeValid_ = false;
    bool sync_ = false, preroll_ = false, discontinuity_ = false;
    AM_MEDIA_TYPE* type_ = nullptr;
};

class CMemAllocator : public CUnknown, public IMemAllocator {
public:
    DECLARE_IUNKNOWN
    CMemAllocator(LPCWSTR name, IUnknown* outer, HRESULT* hr, bool spareBuffer = false);
    ~CMemAllocator() override;
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    // A zero alignment counts as 1; the buffer size is rounded up to the alignment.
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                      DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

private:
    void freeMemoryLocked();

    const bool spareBuffer_;
    std::mutex mutex_;
    std::condition_variable freed_;
    ALLOCATOR_PROPERTIES properties_{};
    bool propertiesSet_ = false;
    bool committed_ = false;
    int outstanding_ = 0;
    std::vector<std::unique_ptr<CMediaSample>> samples_;
    std::vector<CMediaSample*> free_;
    std::unique_ptr<BYTE[]> memory_;
};
