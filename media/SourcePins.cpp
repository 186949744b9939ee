// The two output pins of "NetSource Video": their media types and buffer sizes.
#include "media/SourceFilter.h"

namespace {

constexpr int kLastVideoPosition = 4;

struct VideoPosition {
    DWORD compression;
    WORD bitCount;
};

// UYVY, YUY2, 16-bit RGB, YUYV, and a type without a pixel format.
constexpr VideoPosition kVideoPositions[kLastVideoPosition + 1] = {
    {MakeFourCC('U', 'Y', 'V', 'Y'), 16},
    {MakeFourCC('Y', 'U', 'Y', '2'), 16},
    {BI_RGB, 16},
    {MakeFourCC('Y', 'U', 'Y', 'V'), 16},
    {BI_RGB, 0},
};

VIDEOINFOHEADER* videoInfo(const CMediaType* type) {
    if (*type->FormatType() != FORMAT_VideoInfo || type->FormatLength() < sizeof(VIDEOINFOHEADER) ||
        !type->Format())
        return nullptr;
    return reinterpret_cast<VIDEOINFOHEADER*>(type->Format());
}

// One buffer of at least `size` bytes.
HRESULT setOneBuffer(IMemAllocator* allocator, LONG size) {
    ALLOCATOR_PROPERTIES wanted{1, size, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cBuffers < 1 || actual.cbBuffer < size ? E_FAIL : S_OK;
}

} // namespace

KQ_AV_VideoOutputPin::KQ_AV_VideoOutputPin(KQ_AV_SourceFilter* filter, CCritSec* lock, HRESULT* hr)
    : CBaseOutputPin(L"", filter, lock, hr, L"Video Out"), filter_(filter) {}

void KQ_AV_VideoOutputPin::SetPictureFormat(DWORD width, DWORD height, DWORD pitch) {
    if (width == 0 || height == 0 || pitch == 0)
        return;
    width_ = width;
    height_ = height;
    pitch_ = pitch;
}

HRESULT KQ_AV_VideoOutputPin::GetMediaType(int position, CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    if (position > kLastVideoPosition)
        return VFW_S_NO_MORE_ITEMS;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!info)
        return E_OUTOFMEMORY;
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(width_);
    header.biHeight = static_cast<LONG>(height_);
    header.biPlanes = 1;
    header.biCompression = kVideoPositions[position].compression;
    header.biBitCount = kVideoPositions[position].bitCount;
    header.biSizeImage = GetBitmapSize(&header);
    type->SetType(&MEDIATYPE_Video);
    type->SetFormatType(&FORMAT_VideoInfo);
    const GUID subtype = GetBitmapSubtype(&header);
    type->SetSubtype(&subtype);
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(pitch_ * height_);
    return S_OK;
}

HRESULT KQ_AV_VideoOutputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (*type->Type() != MEDIATYPE_Video || !type->IsFixedSize())
        return E_INVALIDARG;
    const GUID& subtype = *type->Subtype();
    if (subtype != MEDIASUBTYPE_UYVY && subtype != MEDIASUBTYPE_YUY2 && subtype != MEDIASUBTYPE_YUYV)
        return E_INVALIDARG;
    return videoInfo(type) ? S_OK : E_INVALIDARG;
}

HRESULT KQ_AV_VideoOutputPin::SetMediaType(const CMediaType* type) {
    CMediaType accepted(*type);
    if (VIDEOINFOHEADER* info = videoInfo(&accepted)) {
        info->bmiHeader.biWidth = static_cast<LONG>(width_);
        info->bmiHeader.biHeight = static_cast<LONG>(height_);
    }
    const HRESULT hr = CBaseOutputPin::SetMediaType(&accepted);
    if (FAILED(hr))
        return hr;
    const GUID& subtype = *accepted.Subtype();
    filter_->setVideoSubtype(subtype == MEDIASUBTYPE_UYVY   ? VIDEO_SUBTYPE_UYVY
                             : subtype == MEDIASUBTYPE_YUYV ? VIDEO_SUBTYPE_YUYV
                                                            : VIDEO_SUBTYPE_YUY2);
    return hr;
}

HRESULT KQ_AV_VideoOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request)
        return E_POINTER;
    return setOneBuffer(allocator, static_cast<LONG>(pitch_ * height_));
}

HRESULT KQ_AV_VideoOutputPin::Notify(IBaseFilter*, Quality) {
    return S_OK;
}

KQ_AV_AudioOutputPin::KQ_AV_AudioOutputPin(KQ_AV_SourceFilter* filter, CCritSec* lock, HRESULT* hr)
    : CBaseOutputPin(L"", filter, lock, hr, L"Audio Out") {}

HRESULT KQ_AV_AudioOutputPin::GetMediaType(int position, CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    auto* format = reinterpret_cast<WAVEFORMATEX*>(type->AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    if (!format)
        return E_OUTOFMEMORY;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = 2;
    format->nSamplesPerSec = kSampleRate;
    format->nAvgBytesPerSec = kBufferSize;
    format->nBlockAlign = 4;
    format->wBitsPerSample = 16;
    format->cbSize = 0;
    type->SetType(&MEDIATYPE_Audio);
    type->SetSubtype(&MEDIASUBTYPE_PCM);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(kBufferSize);
    return S_OK;
}

HRESULT KQ_AV_AudioOutputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (*type->Type() != MEDIATYPE_Audio || *type->Subtype() != MEDIASUBTYPE_PCM ||
        *type->FormatType() != FORMAT_WaveFormatEx || type->FormatLength() < sizeof(WAVEFORMATEX) ||
        !type->Format())
        return E_INVALIDARG;
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type->Format());
    if (format->nChannels != 2 || format->nSamplesPerSec != kSampleRate || format->wBitsPerSample != 16)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT KQ_AV_AudioOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request)
        return E_POINTER;
    return setOneBuffer(allocator, kBufferSize);
}

HRESULT KQ_AV_AudioOutputPin::Notify(IBaseFilter*, Quality) {
    return S_OK;
}
