// TessaneFilter, "KQ Video Decode": a transform filter that takes H.264 access units (Annex B) on its input
// pin "Input" and delivers UYVY, YUY2 or an uncompressed VideoInfo type on "Output", one picture per input
// at most, decoded (and field pairs joined) by the Tessane object it owns. The output's size is the one
// the input type announces, which comes from a file and is refused beyond the decoder's 720 x 576.
//
// Negotiation runs on the application thread, Transform on the input's streaming thread; the base
// class's filter and receive locks are the only ones.
#pragma once

#include "decodefilter/ITessane.h"
#include "decodefilter/Tessane.h"

#include "platform/com/PropertyPages.h"
#include "platform/dshow/TransformFilter.h"

#include <memory>

class TessaneFilter final : public CTransformFilter, public ITessane, public ISpecifyPropertyPages {
public:
    static constexpr LONG kMaxWidth = 720;
    static constexpr LONG kMaxHeight = 576;
    static constexpr LONG kSmallestBuffer = 1024;
    static constexpr LONG kDefaultBuffer = 737280;

    DECLARE_IUNKNOWN
    // Null with E_OUTOFMEMORY in *result when the filter cannot be made.
    static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
    ~TessaneFilter() override;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT Reserved1(LPVOID) override { return S_OK; }
    HRESULT Reserved2(LPVOID, LPVOID) override { return S_OK; }
    HRESULT Reserved3() override { return S_OK; }
    HRESULT GetPages(CAUUID* pages) override;

    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputType(const CMediaType* in) override;
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    // The output pictures are packed in the format of the type the output connects with.
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;

    // The decoder object, for tests; null when it could not be made.
    Tessane* Decoder() const { return decoder.get(); }

private:
    explicit TessaneFilter(LPUNKNOWN outer);
    HRESULT DecodeSample(IMediaSample* in, IMediaSample* out);
    void takeSize(const CMediaType* in);

    std::unique_ptr<Tessane> decoder;
    int32_t height = 0;
    int32_t width = 0;
};
