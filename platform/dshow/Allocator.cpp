#include "platform/dshow/Allocator.h"

#include "platform/com/Com.h"

#include <cstdint>

CMediaSample::CMediaSample(CMemAllocator* allocator, BYTE* buffer, LONG size)
    : allocator_(allocator), buffer_(buffer), size_(size) {}

CMediaSample::~CMediaSample() {
    DeleteMediaType(type_);
}

HRESULT CMediaSample::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMediaSample) {
        *out = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() {
    return ++refs_;
}

ULONG CMediaSample::Release() {
    const ULONG count = --refs_;
    if (count == 0)
        allocator_->ReleaseBuffer(this);
    return count;
}

void CMediaSample::ResetProperties() {
    actual_ = 0;
    timeValid_ = mediaTimeValid_ = false;
    sync_ = preroll_ = discontinuity_ = false;
    DeleteMediaType(type_);
    type_ = nullptr;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
    if (!buffer)
        return E_POINTER;
    *buffer = buffer_;
    return S_OK;
}

LONG CMediaSample::GetSize() {
    return size_;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    if (!start || !end)
        return E_POINTER;
    if (!timeValid_)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    *end = end_;
    return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    if (!start) {
        timeValid_ = false;
        return S_OK;
    }
    start_ = *start;
    end_ = end ? *end : *start + 1;
    timeValid_ = true;
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() {
    return sync_ ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetSyncPoint(BOOL sync) {
    sync_ = sync != FALSE;
    return S_OK;
}

HRESULT CMediaSample::IsPreroll() {
    return preroll_ ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetPreroll(BOOL preroll) {
    preroll_ = preroll != FALSE;
    return S_OK;
}

LONG CMediaSample::GetActualDataLength() {
    return actual_;
}

HRESULT CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_)
        return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (!type)
        return E_POINTER;
    if (!type_) {
        *type = nullptr;
        return S_FALSE;
    }
    *type = CreateMediaType(type_);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
    DeleteMediaType(type_);
    type_ = nullptr;
    if (!type)
        return S_OK;
    type_ = CreateMediaType(type);
    return type_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::IsDiscontinuity() {
    return discontinuity_ ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL discontinuity) {
    discontinuity_ = discontinuity != FALSE;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (!start || !end)
        return E_POINTER;
    if (!mediaTimeValid_)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *start = mediaStart_;
    *end = mediaEnd_;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (!start) {
        mediaTimeValid_ = false;
        return S_OK;
    }
    if (!end)
        return E_POINTER;
    mediaStart_ = *start;
    mediaEnd_ = *end;
    mediaTimeValid_ = true;
    return S_OK;
}

CMemAllocator::CMemAllocator(LPCWSTR name, IUnknown* outer, HRESULT* hr, bool spareBuffer)
    : CUnknown(name, outer), spareBuffer_(spareBuffer) {
    if (hr)
        *hr = S_OK;
}

CMemAllocator::~CMemAllocator() {
    std::lock_guard lock(mutex_);
    freeMemoryLocked();
}

CUnknown* CMemAllocator::CreateInstance(IUnknown* outer, HRESULT* hr) {
    return new CMemAllocator(L"CMemAllocator", outer, hr);
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IMemAllocator)
        return GetInterface(static_cast<IMemAllocator*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    if (!request || !actual)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (committed_)
        return VFW_E_ALREADY_COMMITTED;
    if (outstanding_ > 0)
        return VFW_E_BUFFERS_OUTSTANDING;
    if (request->cBuffers <= 0 || request->cbBuffer < 0 || request->cbAlign < 0 || request->cbPrefix < 0 ||
        request->cbBuffer > (1 << 28) || request->cBuffers > 1024)
        return E_INVALIDARG;
    const LONG align = request->cbAlign ? request->cbAlign : 1;
    if (align & (align - 1))
        return VFW_E_BADALIGN;
    freeMemoryLocked();
    properties_.cBuffers = request->cBuffers + (spareBuffer_ ? 1 : 0);
    properties_.cbAlign = align;
    properties_.cbPrefix = 0;
    properties_.cbBuffer = (request->cbBuffer + align - 1) / align * align;
    propertiesSet_ = true;
    *actual = properties_;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
    if (!properties)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *properties = properties_;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(mutex_);
    if (committed_)
        return S_OK;
    if (!propertiesSet_)
        return VFW_E_SIZENOTSET;
    if (samples_.empty()) { // else a decommit is still waiting for samples: they are used again
        const size_t size = static_cast<size_t>(properties_.cbBuffer);
        const size_t align = static_cast<size_t>(properties_.cbAlign);
        memory_.reset(new (std::nothrow) BYTE[size * static_cast<size_t>(properties_.cBuffers) + align]);
        if (!memory_)
            return E_OUTOFMEMORY;
        auto base = reinterpret_cast<std::uintptr_t>(memory_.get());
        base = (base + align - 1) / align * align;
        for (LONG i = 0; i < properties_.cBuffers; ++i) {
            samples_.push_back(std::make_unique<CMediaSample>(
                this, reinterpret_cast<BYTE*>(base + size * static_cast<size_t>(i)), properties_.cbBuffer));
            free_.push_back(samples_.back().get());
        }
    }
    committed_ = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    std::lock_guard lock(mutex_);
    committed_ = false;
    if (outstanding_ == 0)
        freeMemoryLocked();
    freed_.notify_all();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) {
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    CMediaSample* taken = nullptr;
    {
        std::unique_lock lock(mutex_);
        if (!committed_)
            return VFW_E_NOT_COMMITTED;
        if (free_.empty() && (flags & AM_GBF_NOWAIT))
            return VFW_E_TIMEOUT;
        freed_.wait(lock, [this] { return !committed_ || !free_.empty(); });
        if (!committed_)
            return VFW_E_NOT_COMMITTED;
        taken = free_.back();
        free_.pop_back();
        ++outstanding_;
    }
    NonDelegatingAddRef(); // the sample holds its allocator until it comes back
    taken->ResetProperties();
    taken->AddRef();
    *sample = taken;
    return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    {
        std::lock_guard lock(mutex_);
        free_.push_back(static_cast<CMediaSample*>(sample));
        --outstanding_;
        if (!committed_ && outstanding_ == 0)
            freeMemoryLocked();
        freed_.notify_all();
    }
    NonDelegatingRelease(); // may delete the allocator: nothing may follow
    return S_OK;
}

void CMemAllocator::freeMemoryLocked() {
    free_.clear();
    samples_.clear();
    memory_.reset();
}
