// Inside the DirectShow layer: "KQ Audio Decode", the AAC decoder filter of the box maker, on the AAC decoder
// of platform/aac. It takes raw AAC frames (the AudioSpecificConfig after the WAVEFORMATEX) or ADTS frames
// and gives 16-bit PCM at the stream's rate and channel count, one output sample per frame with the input's
// times.
#pragma once

#include "platform/aac/AacDecoder.h"
#include "platform/dshow/TransformFilter.h"

namespace platform::dshow {

class AacDecoder final : public CTransformFilter {
public:
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
    ~AacDecoder() override;

    HRESULT CheckInputType(const CMediaType* in) override;
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
    HRESULT BreakConnect(PIN_DIRECTION direction) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT EndFlush() override;

private:
    AacDecoder();
    void closeDecoder();

    platform::aac::AacDecoder decoder_;
    unsigned long rate_ = 0;
    unsigned char channels_ = 0;
    bool needsAdtsInit_ = false; // no AudioSpecificConfig: the first ADTS frame opens the decoder
};

} // namespace platform::dshow
