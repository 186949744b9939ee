// Small filters that exercise the DirectShow base classes and the graph manager: a source whose pins
// offer a list of types and deliver on demand, a renderer that accepts a set of subtypes (optionally
// offering types of its own) and can hold each sample until released, and a transform from one subtype
// to another.
#pragma once

#include "platform/dshow/BasePin.h"
#include "platform/dshow/TransformFilter.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testfilters {

// A VIDEOINFOHEADER type of `subtype` (its FOURCC as the compression): fixed samples of `sampleSize` bytes,
// variable-size samples for 0.
inline CMediaType videoType(const GUID& subtype, LONG width = 16, LONG height = 16, WORD bitCount = 0,
                            ULONG sampleSize = 512) {
    CMediaType t;
    t.SetType(&MEDIATYPE_Video);
    t.SetSubtype(&subtype);
    t.SetFormatType(&FORMAT_VideoInfo);
    VIDEOINFOHEADER* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biBitCount = bitCount;
    vih->bmiHeader.biCompression = subtype.Data1;
    if (sampleSize)
        t.SetSampleSize(sampleSize);
    else
        t.SetVariableSize();
    return t;
}

inline std::string subtypeName(const GUID& g) {
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((g.Data1 >> (8 * i)) & 0xFF);
    return s;
}

class TestSource;

class TestSourcePin final : public CBaseOutputPin {
public:
    TestSourcePin(TestSource* filter, CCritSec* lock, const wchar_t* name, std::vector<CMediaType> offered,
                  LONG buffers);
    // Its own subtypes, and any named in `alsoAccepted`.
    HRESULT CheckMediaType(const CMediaType* type) override {
        for (const CMediaType& t : offered_)
            if (*type->Subtype() == *t.Subtype())
                return S_OK;
        return alsoAccepted.count(subtypeName(*type->Subtype())) ? S_OK : S_FALSE;
    }
    std::set<std::string> alsoAccepted;
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0)
            return E_INVALIDARG;
        if (position >= static_cast<int>(offered_.size()))
            return VFW_S_NO_MORE_ITEMS;
        *type = offered_[static_cast<size_t>(position)];
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = buffers_;
        request->cbBuffer = bufferSize;
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(request, &actual);
    }
    // One sample with stream times [start, stop) in 100 ns units, carrying `bytes` (4 zero bytes if none).
    HRESULT deliver(REFERENCE_TIME start, REFERENCE_TIME stop, const std::vector<BYTE>& bytes = {},
                    DWORD flags = 0) {
        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, flags);
        if (FAILED(hr))
            return hr;
        sample->SetTime(&start, &stop);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (bytes.empty()) {
            std::memset(data, 0, 4);
            sample->SetActualDataLength(4);
        } else {
            std::memcpy(data, bytes.data(), bytes.size());
            sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
        }
        hr = Deliver(sample);
        sample->Release();
        return hr;
    }
    LONG bufferSize = 512;

private:
    std::vector<CMediaType> offered_;
    LONG buffers_;
};

class TestSource final : public CBaseFilter {
public:
    // One output pin per list of offered types, named "Out 0", "Out 1"... unless names are given.
    static TestSource* make(std::vector<std::vector<CMediaType>> pins, LONG buffers = 1,
                            std::vector<std::wstring> names = {}) {
        auto* f = new TestSource(std::move(pins), buffers, std::move(names));
        f->AddRef();
        return f;
    }
    int GetPinCount() override { return static_cast<int>(pins_.size()); }
    CBasePin* GetPin(int index) override {
        return index >= 0 && index < GetPinCount() ? pins_[static_cast<size_t>(index)].get() : nullptr;
    }
    TestSourcePin* pin(int index) { return pins_[static_cast<size_t>(index)].get(); }

private:
    TestSource(std::vector<std::vector<CMediaType>> pins, LONG buffers, std::vector<std::wstring> names)
        : CBaseFilter(L"TestSource", nullptr, &lock_, GUID_NULL) {
        for (size_t n = 0; n < pins.size(); ++n) {
            const std::wstring name = n < names.size() ? names[n] : L"Out " + std::to_wstring(n);
            pins_.push_back(
                std::make_unique<TestSourcePin>(this, &lock_, name.c_str(), std::move(pins[n]), buffers));
        }
    }
    CCritSec lock_;
    std::vector<std::unique_ptr<TestSourcePin>> pins_;
};

inline TestSourcePin::TestSourcePin(TestSource* filter, CCritSec* lock, const wchar_t* name,
                                    std::vector<CMediaType> offered, LONG buffers)
    : CBaseOutputPin(L"TestSourcePin", filter, lock, nullptr, name), offered_(std::move(offered)),
      buffers_(buffers) {}

// Base of the test renderers: the graph knows a renderer by its IAMFilterMiscFlags.
class RendererFilter : public CBaseFilter, public IAMFilterMiscFlags {
public:
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IAMFilterMiscFlags)
            return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
        return CBaseFilter::NonDelegatingQueryInterface(iid, out);
    }
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

protected:
    using CBaseFilter::CBaseFilter;
};

class TestRenderer;

class TestRendererPin final : public CBaseInputPin {
public:
    TestRendererPin(TestRenderer* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT Inactive() override;

private:
    TestRenderer* renderer_;
};

class TestRenderer final : public RendererFilter {
public:
    static TestRenderer* make(std::set<std::string> accepted, std::vector<CMediaType> offered = {}) {
        auto* f = new TestRenderer(std::move(accepted), std::move(offered));
        f->AddRef();
        return f;
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
    TestRendererPin* pin() { return &pin_; }
    HRESULT Stop() override {
        const HRESULT hr = CBaseFilter::Stop();
        wake();
        return hr;
    }
    HRESULT Run(REFERENCE_TIME start) override {
        const HRESULT hr = CBaseFilter::Run(start);
        bool eos;
        {
            std::lock_guard lock(mutex);
            eos = endOfStream;
        }
        if (eos)
            NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
        return hr;
    }
    void wake() {
        std::lock_guard lock(mutex);
        ++releases;
        changed.notify_all();
    }
    // Test side: wait until `count` samples have arrived.
    bool waitForReceived(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return received >= count; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::string> accepted;
    std::vector<CMediaType> offered;
    std::vector<std::string> checked; // subtypes asked of CheckMediaType, in order
    bool holdSamples = false;         // Receive waits for wake(), Stop or a flush
    int received = 0;
    int releases = 0;
    bool endOfStream = false;
    std::vector<REFERENCE_TIME> starts;

private:
    TestRenderer(std::set<std::string> a, std::vector<CMediaType> o)
        : RendererFilter(L"TestRenderer", nullptr, &lock_, GUID_NULL), accepted(std::move(a)),
          offered(std::move(o)), pin_(this, &lock_) {}
    CCritSec lock_;
    TestRendererPin pin_;
};

inline TestRendererPin::TestRendererPin(TestRenderer* filter, CCritSec* lock)
    : CBaseInputPin(L"TestRendererPin", filter, lock, nullptr, L"In"), renderer_(filter) {}

inline HRESULT TestRendererPin::CheckMediaType(const CMediaType* type) {
    std::lock_guard lock(renderer_->mutex);
    const std::string name = subtypeName(*type->Subtype());
    renderer_->checked.push_back(name);
    return renderer_->accepted.count(name) ? S_OK : S_FALSE;
}

inline HRESULT TestRendererPin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(renderer_->offered.size()))
        return VFW_S_NO_MORE_ITEMS;
    *type = renderer_->offered[static_cast<size_t>(position)];
    return S_OK;
}

inline HRESULT TestRendererPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    std::unique_lock lock(renderer_->mutex);
    REFERENCE_TIME start = 0, stop = 0;
    sample->GetTime(&start, &stop);
    renderer_->starts.push_back(start);
    ++renderer_->received;
    renderer_->changed.notify_all();
    if (renderer_->holdSamples) {
        const int seen = renderer_->releases;
        renderer_->changed.wait(lock, [&] { return renderer_->releases != seen; });
    }
    return IsStopped() ? VFW_E_WRONG_STATE : S_OK;
}

inline HRESULT TestRendererPin::EndOfStream() {
    {
        std::lock_guard lock(renderer_->mutex);
        renderer_->endOfStream = true;
    }
    FILTER_STATE state;
    renderer_->GetState(0, &state);
    if (state == State_Running)
        renderer_->NotifyEvent(EC_COMPLETE, S_OK,
                               reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(renderer_)));
    return S_OK;
}

inline HRESULT TestRendererPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    renderer_->wake();
    return S_OK;
}

inline HRESULT TestRendererPin::Inactive() {
    std::lock_guard lock(renderer_->mutex);
    renderer_->endOfStream = false;
    return CBaseInputPin::Inactive();
}

// Video subtype `from` in, `to` out; each sample passes with its times.
class TestTransform final : public CTransformFilter {
public:
    static TestTransform* make(const GUID& from, const GUID& to) {
        auto* f = create(from, to);
        f->AddRef();
        return f;
    }
    static TestTransform* create(const GUID& from, const GUID& to) { return new TestTransform(from, to); }
    HRESULT CheckInputType(const CMediaType* in) override {
        return *in->Subtype() == from_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT CheckTransform(const CMediaType*, const CMediaType* out) override {
        return *out->Subtype() == to_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0)
            return E_INVALIDARG;
        if (position > 0)
            return VFW_S_NO_MORE_ITEMS;
        *type = videoType(to_);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = 1;
        request->cbBuffer = 512;
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(request, &actual);
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
        out->SetActualDataLength(in->GetActualDataLength());
        return S_OK;
    }

private:
    TestTransform(const GUID& from, const GUID& to)
        : CTransformFilter(L"TestTransform", nullptr, GUID_NULL), from_(from), to_(to) {}
    GUID from_, to_;
};

} // namespace testfilters
